# Transport control under wine, against a recording player behind a stand-in OrvelPlayer.dll and
# the real stream watched by the DirectSound spy. The stand-in and the test live in a folder of
# their own, so that the real library is never found beside them.
if(MD_WINDOWS)
  set(stand_in_dir ${CMAKE_CURRENT_BINARY_DIR}/stand-in)
  add_library(orvel_stand_in SHARED ${CMAKE_CURRENT_LIST_DIR}/OrvelPlayerStandIn.cpp)
  target_include_directories(orvel_stand_in PRIVATE ${PROJECT_SOURCE_DIR}/orvel/include)
  set_target_properties(orvel_stand_in PROPERTIES PREFIX "" OUTPUT_NAME OrvelPlayer
    RUNTIME_OUTPUT_DIRECTORY ${stand_in_dir})
  md_warnings(orvel_stand_in)

  md_test(NAME transport_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/TransportTest.cpp ${PROJECT_SOURCE_DIR}/tests/unit/audio/DirectSoundSpy.cpp
    LIBS md_transport orvel_stand_in LABELS player TIMEOUT 120 WORKDIR ${stand_in_dir})
  set_target_properties(transport_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${stand_in_dir})
  set_tests_properties(transport_test PROPERTIES LABELS "player;alone" RESOURCE_LOCK md_timed)
endif()
# The refill race reads and sets the transport's own flags.
if(TARGET render_race_test)
  target_link_libraries(render_race_test PRIVATE md_transport_flags)
endif()
