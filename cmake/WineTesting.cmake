# Test programs are Windows programs: ctest runs them through Wine, in a Wine
# prefix of the build folder that is made once and kept warm, with an Xvfb
# display of its own for windows.

set(VANTOR_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
# A display number of this build folder's own, so that two build folders on
# one machine do not share an X server.
string(MD5 _vantor_build_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${_vantor_build_hash}" 0 4 _vantor_hash_prefix)
math(EXPR VANTOR_XVFB_DISPLAY "0x${_vantor_hash_prefix} % 400 + 100" OUTPUT_FORMAT DECIMAL)

configure_file(${CMAKE_SOURCE_DIR}/tests/wine/wine-run.sh.in ${VANTOR_WINE_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTOR_WINE_DIR}/wine-run.sh)

if(BUILD_TESTING)
  include(${CMAKE_CURRENT_LIST_DIR}/GoogleTest.cmake)
endif()

# vantor_add_test(<target> SOURCES <files...> [LIBRARIES <libs...>] [LOCKS <names...>] [TIMEOUT <s>])
# Builds a GoogleTest program and registers each of its tests with ctest.
# LOCKS names shared resources (the installation's registry key, the display)
# that its tests must not use at the same time as other tests.
function(vantor_add_test target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;LOCKS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE vantor_test_support vantor_crash_report GTest::gtest_main ${ARG_LIBRARIES})
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
