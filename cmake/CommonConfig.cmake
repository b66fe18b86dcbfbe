# One interface target that every Tessera target links: language level, warnings,
# Qt strictness and the optional sanitizers.
add_library(tessera_common INTERFACE)
target_compile_features(tessera_common INTERFACE cxx_std_20)
target_compile_options(tessera_common INTERFACE -Wall -Wextra)
if(TESSERA_WERROR)
  target_compile_options(tessera_common INTERFACE -Werror)
  # GCC 12 at -O3 warns inside libstdc++'s own string code (string concatenation,
  # assigning a char buffer to a std::string) where nothing overlaps or dangles.
  # Keep those two as warnings so they cannot fail a build on their own.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
    target_compile_options(tessera_common INTERFACE
      -Wno-error=restrict -Wno-error=dangling-pointer)
  endif()
endif()
target_compile_definitions(tessera_common INTERFACE
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING
  TESSERA_VERSION="${PROJECT_VERSION}"
  TESSERA_BUILD_NUMBER=${TESSERA_BUILD_NUMBER})
# UBSan stops at its first finding (no recover), so a finding fails the test or fuzz run.
if(TESSERA_SANITIZE OR TESSERA_FUZZ)
  target_compile_options(tessera_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tessera_common INTERFACE -fsanitize=address,undefined)
endif()
# The tests of a sanitizer build run with the suppressions for leaks inside third-party
# libraries (tests/lsan.supp) and stop at the first finding: ctest reads this file before
# any test, so a plain `ctest` in the build folder gets the same environment as dev.sh.
if(TESSERA_SANITIZE OR TESSERA_FUZZ)
  set(_tessera_sanitizer_env ${CMAKE_BINARY_DIR}/SanitizerEnv.cmake)
  file(WRITE ${_tessera_sanitizer_env}
    "set(ENV{LSAN_OPTIONS} \"suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0:\$ENV{LSAN_OPTIONS}\")\n"
    "set(ENV{UBSAN_OPTIONS} \"print_stacktrace=1:halt_on_error=1:\$ENV{UBSAN_OPTIONS}\")\n"
    "set(ENV{ASAN_OPTIONS} \"detect_leaks=1:\$ENV{ASAN_OPTIONS}\")\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_tessera_sanitizer_env})
endif()
# The fuzz build gives every library coverage feedback, so the fuzz targets link the same
# libraries as the programs; only the targets themselves link libFuzzer's main.
if(TESSERA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TESSERA_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  target_compile_options(tessera_common INTERFACE -fsanitize=fuzzer-no-link)
endif()
# Linux programs load with their relocations resolved and then read-only (full RELRO), as
# Debian builds its packages; the sanitizer builds keep their defaults.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT TESSERA_SANITIZE AND NOT TESSERA_FUZZ)
  target_link_options(tessera_common INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()
