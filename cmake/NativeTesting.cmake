# Native (Linux) build of the pure code: the parsers, wire formats and other
# logic that never includes windows.h, built with clang and the address and
# undefined-behaviour sanitizers, and its unit tests run directly.

if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
endif()

# Same signature as the Wine variant (cmake/WineTesting.cmake).
function(vantor_add_test target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;LOCKS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main ${ARG_LIBRARIES})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    TEST_PREFIX "${target}."
    PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()
