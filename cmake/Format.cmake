# `format` rewrites the C++ sources to .clang-format; `format-check` fails when one is off.
# Both go through scripts/check-format.sh, which holds the list of files.
find_program(TESSERA_CLANG_FORMAT NAMES clang-format-14 clang-format)
if(TESSERA_CLANG_FORMAT)
  add_custom_target(format
    COMMAND ${CMAKE_COMMAND} -E env CLANG_FORMAT=${TESSERA_CLANG_FORMAT}
            ${PROJECT_SOURCE_DIR}/scripts/check-format.sh --fix
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Formatting the sources with ${TESSERA_CLANG_FORMAT}"
    VERBATIM)
  add_custom_target(format-check
    COMMAND ${CMAKE_COMMAND} -E env CLANG_FORMAT=${TESSERA_CLANG_FORMAT}
            ${PROJECT_SOURCE_DIR}/scripts/check-format.sh
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Checking the sources against .clang-format"
    VERBATIM)
endif()
