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
if(TESSERA_SANITIZE)
  target_compile_options(tessera_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tessera_common INTERFACE -fsanitize=address,undefined)
endif()
