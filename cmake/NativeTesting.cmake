# Native (Linux) build of the pure code: the parsers, wire formats and other
# logic that never includes windows.h, built with clang and the address and
# undefined-behaviour sanitizers, and its unit tests run directly.

if(BUILD_TESTING)
  include(${CMAKE_CURRENT_LIST_DIR}/GoogleTest.cmake)
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
