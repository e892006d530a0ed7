if(MD_WINDOWS OR MD_MODE STREQUAL "asan")
  md_test(NAME playlist_stepping SOURCES ${CMAKE_CURRENT_LIST_DIR}/PlayListTest.cpp
          LIBS md_playlist_core LABELS player)
endif()
if(MD_WINDOWS)
  md_test(NAME playlist_ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/LoadPlayListTest.cpp
          LIBS md_playlist md_playerwnd LABELS player)
endif()
