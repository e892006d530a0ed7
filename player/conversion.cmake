# md_conversion: the float-to-PCM conversion, its dither generator and the portable half of a
# refill; built for every configuration. It needs only the library's header.
add_library(md_conversion STATIC ${CMAKE_CURRENT_LIST_DIR}/SampleConversion.cpp)
target_include_directories(md_conversion PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/orvel/include)
md_warnings(md_conversion)
