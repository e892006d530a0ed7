# Shared build settings for both configurations.
#   Windows (mingw toolchain): static exes and dlls, warnings as errors, tests run under wine.
#   Native: the portable core with ASan/UBSan; fuzz targets when the compiler is clang.

if(CMAKE_CROSSCOMPILING AND WIN32)
  set(MD_WINDOWS ON)
else()
  set(MD_WINDOWS OFF)
endif()

set(MD_DEPS_PREFIX "$ENV{MD_MINGW_PREFIX}" CACHE PATH "Cross-built libraries (gtest, libopenmpt, libsoxr)")

set(MD_WARNINGS -Wall -Wextra -Werror -Wno-unused-parameter)

if(MD_WINDOWS)
  add_compile_definitions(NOMINMAX _WIN32_WINNT=0x0601)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Every function and datum in its own section, so that a program linked with
  # md_drop_unused_sections keeps only what it reaches.
  add_compile_options(-ffunction-sections -fdata-sections)
  set(MD_GTEST_INCLUDE ${MD_DEPS_PREFIX}/include)
  add_library(md_gtest INTERFACE)
  target_include_directories(md_gtest SYSTEM INTERFACE ${MD_GTEST_INCLUDE})
  target_link_libraries(md_gtest INTERFACE
    ${MD_DEPS_PREFIX}/lib/libgmock.a ${MD_DEPS_PREFIX}/lib/libgtest_main.a ${MD_DEPS_PREFIX}/lib/libgtest.a)
  add_library(md_gtest_nomain INTERFACE)
  target_include_directories(md_gtest_nomain SYSTEM INTERFACE ${MD_GTEST_INCLUDE})
  target_link_libraries(md_gtest_nomain INTERFACE
    ${MD_DEPS_PREFIX}/lib/libgmock.a ${MD_DEPS_PREFIX}/lib/libgtest.a)
else()
  # MD_MODE picks what the native build is for:
  #   asan    unit tests under AddressSanitizer and UBSan (the default)
  #   tsan    the concurrency tests under ThreadSanitizer
  #   fuzz    libFuzzer targets (clang)
  #   release benchmarks
  set(MD_MODE asan CACHE STRING "asan, tsan, fuzz or release")
  if(MD_MODE STREQUAL "asan")
    set(MD_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  elseif(MD_MODE STREQUAL "tsan")
    set(MD_SANITIZE -fsanitize=thread)
  elseif(MD_MODE STREQUAL "fuzz")
    set(MD_SANITIZE -fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer)
  else()
    set(MD_SANITIZE)
    if(NOT CMAKE_BUILD_TYPE)
      set(CMAKE_BUILD_TYPE Release)
    endif()
  endif()
  add_compile_options(${MD_SANITIZE} -g)
  add_link_options(${MD_SANITIZE})
  find_package(GTest REQUIRED)
  add_library(md_gtest INTERFACE)
  target_link_libraries(md_gtest INTERFACE GTest::gtest_main GTest::gmock)
  add_library(md_gtest_nomain INTERFACE)
  target_link_libraries(md_gtest_nomain INTERFACE GTest::gtest GTest::gmock)
endif()

# md_add_areas([area...]): adds each folder below the current one that has a CMakeLists.txt, the
# areas named first, in their order.
function(md_add_areas)
  file(GLOB areas LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  if(ARGN)
    list(REMOVE_ITEM areas ${ARGN})
  endif()
  foreach(area IN LISTS ARGN areas)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/CMakeLists.txt)
      add_subdirectory(${area})
    endif()
  endforeach()
endfunction()

# md_drop_unused_sections(target): the linker leaves out every section nothing reaches.
function(md_drop_unused_sections target)
  if(MD_WINDOWS)
    target_link_options(${target} PRIVATE -Wl,--gc-sections)
  endif()
endfunction()

# md_warnings(target): our own code builds clean with warnings as errors.
function(md_warnings target)
  target_compile_options(${target} PRIVATE ${MD_WARNINGS})
endfunction()

# md_test(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s] [WORKDIR dir] [NOMAIN])
# A GoogleTest program registered with CTest; under the mingw build CTest runs it through wine.
function(md_test)
  cmake_parse_arguments(T "NOMAIN" "NAME;TIMEOUT;WORKDIR" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  md_warnings(${T_NAME})
  if(T_NOMAIN)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} md_gtest_nomain)
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} md_gtest)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE MD_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  if(NOT T_WORKDIR)
    set(T_WORKDIR ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${T_WORKDIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

# md_script_test(NAME name COMMAND ... [TIMEOUT s] [SECONDS s] [LABELS ...] [SAMPLE_EXACT lane]): a
# shell-driven test (end-to-end). SECONDS: about how long it runs, so that the longest begin first.
# SAMPLE_EXACT: it compares a recording sample for sample, which a starved stream fails; such tests
# run one at a time in each of two lanes (1, 2), beside the others. A lane is the longest chain of
# the run, so its tests go ahead of all others whenever the lane is free.
function(md_script_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT;SECONDS;SAMPLE_EXACT" "COMMAND;LABELS" ${ARGN})
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  # Side by side with the others: a test that looks at windows and boxes does so in a session of
  # its own, with its own display, sound server and prefix.
  # A fixed cost, even on a first run: begun first, the long ones are not left to run alone at the end.
  if(NOT T_SECONDS)
    set(T_SECONDS 10)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}" COST ${T_SECONDS}
    ENVIRONMENT "MD_BIN=${PROJECT_BINARY_DIR};MD_SRC=${PROJECT_SOURCE_DIR}")
  if(T_SAMPLE_EXACT)
    math(EXPR lane_cost "${T_SECONDS} + 1000")
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK md_sample_exact_${T_SAMPLE_EXACT} COST ${lane_cost})
  endif()
endfunction()

# md_fuzz(NAME name SOURCES ... LIBS ... [RUNS n] [CORPUS dir]): a libFuzzer target; CTest runs it
# for a bounded number of runs as a regression check.
function(md_fuzz)
  cmake_parse_arguments(F "" "NAME;RUNS;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT MD_MODE STREQUAL "fuzz")
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  md_warnings(${F_NAME})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  if(NOT F_RUNS)
    set(F_RUNS 200000)
  endif()
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}-corpus)
  file(MAKE_DIRECTORY ${work})
  set(seeds)
  if(F_CORPUS)
    set(seeds ${F_CORPUS})
  endif()
  # Bounded in runs and in time: a slow input found on the way must not stall the whole suite.
  add_test(NAME ${F_NAME} COMMAND ${F_NAME} -runs=${F_RUNS} -max_total_time=240 -seed=1 -max_len=4096
    ${work} ${seeds})
  set_tests_properties(${F_NAME} PROPERTIES TIMEOUT 600 LABELS fuzz)
endfunction()

# Wine prefixes made by scripts/setup: the default one (major version 6) and a win98 one (4).
set(MD_WINEPREFIX "$ENV{MD_WINEPREFIX}" CACHE PATH "Wine prefix for the Windows tests")
set(MD_WINEPREFIX_98 "$ENV{MD_WINEPREFIX_98}" CACHE PATH "Wine prefix that reports Windows 98")
