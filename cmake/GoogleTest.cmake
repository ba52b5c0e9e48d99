# GoogleTest for the test programs: an installed package where the build
# finds one (a native build on a machine with libgtest-dev), else built here
# from the Debian sources (package googletest) with the build's own compiler,
# as a MinGW build needs.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
find_package(GTest QUIET)
if(NOT TARGET GTest::gtest_main)
  set(VANTOR_GTEST_SOURCES /usr/src/googletest/googletest CACHE PATH "GoogleTest sources to build the tests with")
  if(NOT EXISTS ${VANTOR_GTEST_SOURCES}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest not found: install the Debian package googletest, or set VANTOR_GTEST_SOURCES")
  endif()
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VANTOR_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
endif()
include(GoogleTest)

# vantor_add_test(<target> SOURCES <files...> [LIBRARIES <libs...>] [LOCKS <names...>] [TIMEOUT <s>])
# Builds a GoogleTest program, linked with VANTOR_TEST_LIBRARIES (set by
# cmake/WineTesting.cmake or cmake/NativeTesting.cmake), and registers each of
# its tests with ctest.
# LOCKS names shared resources (the installation's registry key, the display)
# that its tests must not use at the same time as other tests.
function(vantor_add_test target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;LOCKS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${VANTOR_TEST_LIBRARIES} GTest::gtest_main ${ARG_LIBRARIES})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    TEST_PREFIX "${target}."
    TEST_LIST ${target}_TESTS
    PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LOCKS)
    # The discovered properties are passed on as one flat list, so a lock
    # list would lose all names but the first. The locks are set by a file
    # that ctest reads after the discovered tests instead.
    set(locks_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_locks.cmake")
    file(WRITE "${locks_file}"
      "if(${target}_TESTS)\n"
      "  set_tests_properties(\${${target}_TESTS} PROPERTIES RESOURCE_LOCK \"${ARG_LOCKS}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${locks_file}")
  endif()
endfunction()
