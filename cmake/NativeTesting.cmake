# Native (Linux) build of the pure code: the parsers, wire formats and other
# logic that never includes windows.h, built with clang and the address and
# undefined-behaviour sanitizers, and its unit tests run directly.

# The test programs link nothing beyond GoogleTest and their LIBRARIES.
set(VANTOR_TEST_LIBRARIES "")
if(BUILD_TESTING)
  include(${CMAKE_CURRENT_LIST_DIR}/GoogleTest.cmake)
endif()
