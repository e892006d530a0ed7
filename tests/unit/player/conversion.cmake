# The sample conversion natively under ASan/UBSan and under wine; the refill race under TSan.
if(MD_WINDOWS OR MD_MODE STREQUAL "asan")
  md_test(NAME sample_conversion_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/SampleConversionTest.cpp
          LIBS md_conversion LABELS player)
endif()
if(MD_MODE STREQUAL "tsan" AND NOT MD_WINDOWS)
  md_test(NAME render_race_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/RenderRaceTest.cpp
          LIBS md_conversion LABELS player)
endif()
