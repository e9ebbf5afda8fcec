# Fails when the committed docs/reference.md is not what the tool generates from its tables.
# Usage: cmake -DTOOL=... -DGENERATED=... -DCOMMITTED=... -P check_reference.cmake
execute_process(COMMAND "${TOOL}" explain --recursive --format markdown --output "${GENERATED}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tarnwick-config explain failed (${status})")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${GENERATED}" "${COMMITTED}"
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR
    "${COMMITTED} is stale: the field tables or the rules changed. Regenerate it with\n"
    "  ${TOOL} explain --recursive --format markdown --output ${COMMITTED}\n"
    "(the build also writes it into ${GENERATED}) and commit it.")
endif()
