# Build settings shared by every target: one place for them.

include(CTest)

# python3 runs the build's own scripts (the jars' packer, the layer check)
# and the tests' loopback HTTP server.
find_program(VANTOR_PYTHON3 NAMES python3 REQUIRED)

# One include root, the repository's: every include names its folder
# ("updater/startup/process.h", "common/win/unique_handle.h").
include_directories(${PROJECT_SOURCE_DIR})

# Product code: warnings are errors, and the language is standard C++17 with
# no compiler extensions (-pedantic-errors; CMAKE_CXX_EXTENSIONS is off). Test
# and third-party code only warn.
add_library(vantor_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(vantor_warnings INTERFACE -Wall -Wextra -Werror -pedantic-errors)
elseif(MSVC)
  target_compile_options(vantor_warnings INTERFACE /W4 /WX /permissive-)
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

# vantor_wide_entry(<target>): the program's entry is wmain or wWinMain.
# MinGW's linker must be told; MSVC's finds it by itself.
function(vantor_wide_entry target)
  if(MINGW)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()

# vantor_strip(<target>): a deliverable carries no symbols.
function(vantor_strip target)
  if(MINGW)
    target_link_options(${target} PRIVATE -s)
  endif()
endfunction()

# vantor_add_subsystem(<name> [CORE <files...>] [CORE_USES <libraries...>]
#                      [WIN32_LAYER <files...>] [USES <libraries...>])
# A subsystem of the product as two libraries: <name>_core holds its pure
# code (no windows.h; built on every platform, so also natively for the
# sanitizers and the fuzzers) and <name>, in Windows builds only, the Win32
# layer on top of it. Both list their headers, so that the layer check
# (tests/check_layers.py) knows where each file belongs.
function(vantor_add_subsystem name)
  cmake_parse_arguments(ARG "" "" "CORE;CORE_USES;WIN32_LAYER;USES" ${ARGN})
  if(ARG_CORE)
    add_library(${name}_core STATIC ${ARG_CORE})
    target_link_libraries(${name}_core PUBLIC vantor_common ${ARG_CORE_USES} PRIVATE vantor_warnings)
  endif()
  if(WIN32 AND ARG_WIN32_LAYER)
    add_library(${name} STATIC ${ARG_WIN32_LAYER})
    if(ARG_CORE)
      target_link_libraries(${name} PUBLIC ${name}_core)
    endif()
    target_link_libraries(${name} PUBLIC vantor_common ${ARG_USES} PRIVATE vantor_warnings)
  endif()
endfunction()

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
