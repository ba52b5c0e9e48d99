# Build settings shared by every target: one place for them.

include(CTest)

# Product code: warnings are errors. Test and third-party code only warn.
add_library(vantor_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(vantor_warnings INTERFACE -Wall -Wextra -Werror)
elseif(MSVC)
  target_compile_options(vantor_warnings INTERFACE /W4 /WX)
endif()

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)
endif()

if(MINGW)
  # Self-contained binaries: no MinGW runtime DLLs on the user's machine.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Reproducible binaries: no link time stamps and no build paths inside.
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
endif()

# Native builds of the pure code run with the sanitizers.
option(VANTOR_SANITIZE "Build with the address and undefined-behaviour sanitizers" OFF)
if(VANTOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# The libFuzzer build of the parsers and wire formats (preset "fuzz"): every
# library is instrumented for coverage, and the fuzz/ targets link libFuzzer's
# own main. It goes together with VANTOR_SANITIZE.
option(VANTOR_FUZZ "Build the libFuzzer targets of the pure code (clang)" OFF)
if(VANTOR_FUZZ)
  if(WIN32 OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VANTOR_FUZZ needs a native clang build")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
