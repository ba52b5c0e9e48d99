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
