# GoogleTest is built from Debian's source package, so the same sources serve the native and the
# cross-compiled test programs.
set(VK605_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VK605_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Like the test programs, GoogleTest itself needs no optimisation.
target_compile_options(gtest PRIVATE -O0)
target_compile_options(gtest_main PRIVATE -O0)

# Every test case of a GoogleTest program becomes its own CTest test, listed when ctest starts (not at
# build time, so cross and sanitizer builds do not run their programs while building), with a label for
# the stage that runs it and a time-out of its own.
#   vk605_discover_tests(TARGET LABEL TIMEOUT_SECONDS [ENVIRONMENT VAR=VALUE...])
include(GoogleTest)
function(vk605_discover_tests target label timeout)
  cmake_parse_arguments(D "" "" "ENVIRONMENT" ${ARGN})
  set(properties LABELS ${label} TIMEOUT ${timeout})
  if(D_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${D_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  # The program knows its time-out: a host child it forks that runs nearly that long is reported with
  # where it hangs, before ctest ends the program.
  target_compile_definitions(${target} PRIVATE VK605_TEST_TIME_LIMIT_SECONDS=${timeout})
endfunction()

# Test programs are compiled without optimisation: they spend their time waiting for the instrument,
# and optimising them was most of the build's time. The code under test keeps its flavour's flags.
# They are also compiled in batches of eight files (unity build): every test file parses GoogleTest and
# the standard library again and instantiates the same templates, which made the test programs about
# 80 % of every flavour's compile; batched they take 2.6 times less CPU. A test file's own helpers
# therefore need names that no other test file of its program uses at namespace scope, or live in a
# shared header. Configure with -DVK605_TEST_BATCH=0 (one batch per program) to find every such clash at
# once, whatever files the flavours leave out.
set(VK605_TEST_BATCH 8 CACHE STRING "Test files compiled together in one unity batch (0: all of a program)")
function(vk605_test_program target)
  target_compile_options(${target} PRIVATE -O0)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${VK605_TEST_BATCH})
  # GoogleTest and the common standard headers are parsed once per program (about a fifth of the
  # programs' compile), not once per batch.
  target_precompile_headers(${target} PRIVATE <gtest/gtest.h> <string> <vector> <map> <memory> <functional>
                            <filesystem>)
  # Files that include <windows.h> stay on their own: its macros (min, max, ERROR...) would reach the
  # test files batched after them. They define its configuration macros first, so they take no
  # precompiled header either.
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "(_win32\\.cpp|/win32/[^/]*\\.cpp)$")
  if(sources)
    set_source_files_properties(${sources} TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON
                                SKIP_PRECOMPILE_HEADERS ON)
  endif()
endfunction()
