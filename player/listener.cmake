# md_listener: TPlayerListener, built for every configuration; it needs only the library's header.
add_library(md_listener STATIC ${CMAKE_CURRENT_LIST_DIR}/PlayerListener.cpp)
md_warnings(md_listener)
target_include_directories(md_listener PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/orvel/include)
