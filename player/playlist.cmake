# The playlist: its data and stepping are portable (built natively too); the PlayList.ini
# loader is Win32.
add_library(md_playlist_core STATIC ${CMAKE_CURRENT_LIST_DIR}/PlayList.cpp)
target_include_directories(md_playlist_core PUBLIC ${PROJECT_SOURCE_DIR})
md_warnings(md_playlist_core)

if(MD_WINDOWS)
  add_library(md_playlist STATIC ${CMAKE_CURRENT_LIST_DIR}/LoadPlayList.cpp)
  target_link_libraries(md_playlist PUBLIC md_playlist_core user32)
  md_warnings(md_playlist)
  # Read once at start-up: built for size, to keep the exe within its budget.
  target_compile_options(md_playlist PRIVATE -Os)
endif()
