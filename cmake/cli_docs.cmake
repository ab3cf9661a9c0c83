# The generated blocks of the documentation, each between a line that holds
# "BEGIN generated: <block>" and the next that holds "END generated".
# MODE=check fails on any difference from the generator's output, MODE=update
# rewrites the blocks. Called with GENERATOR, SOURCE_DIR and MODE.
set(blocks
    "docs/vextal.1.in|man-synopsis"
    "docs/vextal.1.in|man-commands"
    "docs/vextal.1.in|man-options"
    "docs/manual.md|manual-options"
    "README.md|md-synopsis"
    "docs/manual.md|md-synopsis"
    "completion/vextal|completion")

set(stale "")
foreach(entry IN LISTS blocks)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 file)
    list(GET entry 1 block)
    execute_process(COMMAND ${GENERATOR} ${block} OUTPUT_VARIABLE generated
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${GENERATOR} ${block} failed")
    endif()
    file(READ ${SOURCE_DIR}/${file} text)
    string(REGEX MATCH "BEGIN generated: ${block}[^\n]*\n" begin_line "${text}")
    if(begin_line STREQUAL "")
        message(FATAL_ERROR "${file}: no line \"BEGIN generated: ${block}\"")
    endif()
    string(FIND "${text}" "${begin_line}" begin)
    string(LENGTH "${begin_line}" length)
    math(EXPR start "${begin} + ${length}")
    string(SUBSTRING "${text}" ${start} -1 rest)
    string(REGEX MATCH "[^\n]*END generated" end_line "${rest}")
    string(FIND "${rest}" "${end_line}" end)
    if(end_line STREQUAL "")
        message(FATAL_ERROR "${file}: no \"END generated\" after \"BEGIN generated: ${block}\"")
    endif()
    string(SUBSTRING "${rest}" 0 ${end} current)
    if(NOT current STREQUAL generated)
        if(MODE STREQUAL "update")
            string(SUBSTRING "${text}" 0 ${start} head)
            string(SUBSTRING "${rest}" ${end} -1 tail)
            file(WRITE ${SOURCE_DIR}/${file} "${head}${generated}${tail}")
            message(STATUS "${file}: block ${block} written anew")
        else()
            string(APPEND stale "  ${file}: block ${block}\n")
        endif()
    endif()
endforeach()
if(NOT stale STREQUAL "")
    message(FATAL_ERROR "These blocks differ from the tables of commands and options "
                        "(app/cli_table.cpp):\n${stale}"
                        "Write them anew with: cmake --build --preset native --target update-cli-docs")
endif()
