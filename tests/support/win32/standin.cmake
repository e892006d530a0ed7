# The stream and transport control built natively over the Win32 and DirectSound stand-in, so
# that their threads run under the sanitizers. Its windows.h, mmsystem.h and dsound.h take the
# place of the real ones for these targets only.
find_package(Threads REQUIRED)
add_library(md_transport_standin STATIC ${CMAKE_CURRENT_LIST_DIR}/StandIn.cpp
  ${PROJECT_SOURCE_DIR}/audio/SoundStream.cpp ${PROJECT_SOURCE_DIR}/player/Transport.cpp)
target_include_directories(md_transport_standin PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR})
target_link_libraries(md_transport_standin PUBLIC Threads::Threads md_heard_record md_transport_flags md_conversion
  md_playlist_core md_listener)
md_warnings(md_transport_standin)
