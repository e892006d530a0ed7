# md_transport_flags: the transport's state, which the buttons read without linking the transport.
add_library(md_transport_flags STATIC ${CMAKE_CURRENT_LIST_DIR}/TransportFlags.cpp)
target_include_directories(md_transport_flags PUBLIC ${PROJECT_SOURCE_DIR})
md_warnings(md_transport_flags)

# md_transport: transport control. It calls the player library but does not link it: the program
# links OrvelPlayer.dll, the transport tests a recording stand-in of the same name.
if(MD_WINDOWS)
  add_library(md_transport STATIC ${CMAKE_CURRENT_LIST_DIR}/Transport.cpp)
  target_include_directories(md_transport PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(md_transport PUBLIC md_transport_flags md_conversion md_audio md_playlist_core md_listener user32)
  md_warnings(md_transport)
  # Commands, and the refill's call into the library; the conversion is md_conversion's. Built for
  # size, to keep the exe within its budget.
  target_compile_options(md_transport PRIVATE -Os)
endif()
