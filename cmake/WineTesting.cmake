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

# Every test program links the shared test support and the crash report.
set(VANTOR_TEST_LIBRARIES vantor_test_support vantor_crash_report)
if(BUILD_TESTING)
  include(${CMAKE_CURRENT_LIST_DIR}/GoogleTest.cmake)
endif()
