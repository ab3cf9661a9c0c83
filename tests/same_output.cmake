# Runs the Linux and the Windows build of vextal on the same command lines and
# checks that they agree. Each case runs in a fresh folder per build, holding
# copies of the case's input files; then the exit codes, standard output and
# standard error (where the Windows build must end each line with CR LF), and
# every file left in the folders, byte for byte, must be the same.
#
#   cmake -DHOST=<vextal> -DTARGET=<vextal.exe> -DEMULATOR=<runner of TARGET>
#         -DCASES=<case list> -DSOURCE_DIR=<source tree> -DWORK_DIR=<scratch folder>
#         -P same_output.cmake
#
# The case list calls same_output_case() once per case; see same_output_cases.cmake.
cmake_minimum_required(VERSION 3.25)

foreach(var HOST TARGET CASES SOURCE_DIR WORK_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "same_output.cmake: -D${var}=... is missing")
    endif()
endforeach()

set(failures "")
set(case_count 0)

# The bytes of a file as a list of two-digit hex numbers. (file(READ) as
# text would take a CR before a LF away.)
function(read_bytes path out_var)
    file(READ ${path} hex HEX)
    string(REGEX REPLACE "(..)" "\\1;" bytes "${hex}")
    set(${out_var} "${bytes}" PARENT_SCOPE)
endfunction()

# Runs one build in `dir`; sets <side>_code, <side>_out, <side>_err (as byte
# lists) and <side>_files.
function(run_side side dir inputs args)
    file(REMOVE_RECURSE ${dir})
    file(MAKE_DIRECTORY ${dir})
    foreach(input IN LISTS inputs)
        file(COPY ${SOURCE_DIR}/${input} DESTINATION ${dir})
    endforeach()
    if(side STREQUAL "host")
        set(command ${HOST})
    else()
        set(command ${EMULATOR} ${TARGET})
    endif()
    # Captured output goes beside the folder, so that the folder holds only
    # the inputs and what the program wrote.
    execute_process(COMMAND ${command} ${args}
                    WORKING_DIRECTORY ${dir}
                    OUTPUT_FILE ${dir}.stdout
                    ERROR_FILE ${dir}.stderr
                    RESULT_VARIABLE code
                    TIMEOUT 120)
    read_bytes(${dir}.stdout out)
    read_bytes(${dir}.stderr err)
    if(side STREQUAL "host")
        # What the Windows console shows: every LF preceded by a CR.
        list(TRANSFORM out REPLACE "^0a$" "0d;0a")
        list(TRANSFORM err REPLACE "^0a$" "0d;0a")
    endif()
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${dir} ${dir}/*)
    list(SORT files)
    set(${side}_code "${code}" PARENT_SCOPE)
    set(${side}_out "${out}" PARENT_SCOPE)
    set(${side}_err "${err}" PARENT_SCOPE)
    set(${side}_files "${files}" PARENT_SCOPE)
endfunction()

# same_output_case(<name> [INPUTS <file>...] ARGS <word>...)
# INPUTS are paths in the source tree, copied into the run folder by their
# base name; ARGS is the command line after the program name. Words may not be
# empty or hold ';'.
function(same_output_case name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "INPUTS;ARGS")
    set(problems "")  # one "\n  " line per disagreement
    foreach(side host target)
        run_side(${side} ${WORK_DIR}/${name}/${side} "${arg_INPUTS}" "${arg_ARGS}")
    endforeach()

    if(NOT host_code MATCHES "^[0-9]+$")
        string(APPEND problems "\n  the Linux build did not run: ${host_code}")
    endif()
    if(host_out STREQUAL "" AND host_err STREQUAL "" AND host_files STREQUAL "")
        # Nothing to compare would make the case pass whatever the Windows
        # build does.
        string(APPEND problems "\n  the Linux build printed nothing and left no file")
    endif()
    if(NOT host_code STREQUAL target_code)
        string(APPEND problems "\n  exit code ${host_code} (Linux) but ${target_code} (Windows)")
    endif()
    foreach(stream out err)
        if(NOT host_${stream} STREQUAL target_${stream})
            file(READ ${WORK_DIR}/${name}/host.std${stream} host_text)
            file(READ ${WORK_DIR}/${name}/target.std${stream} target_text)
            string(APPEND problems "\n  standard ${stream}put differs (shown as text, CR before LF dropped):"
                                   "\n--- Linux:\n${host_text}\n--- Windows:\n${target_text}\n---")
        endif()
    endforeach()
    if(NOT host_files STREQUAL target_files)
        string(APPEND problems
               "\n  files left: [${host_files}] (Linux) but [${target_files}] (Windows)")
    else()
        foreach(file IN LISTS host_files)
            execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                                    ${WORK_DIR}/${name}/host/${file}
                                    ${WORK_DIR}/${name}/target/${file}
                            RESULT_VARIABLE different)
            if(different)
                string(APPEND problems "\n  ${file} differs")
            endif()
        endforeach()
    endif()

    math(EXPR count "${case_count} + 1")
    set(case_count ${count} PARENT_SCOPE)
    list(LENGTH host_files file_count)
    if(NOT problems STREQUAL "")
        message(STATUS "DIFFERS ${name}:${problems}")
        set(failures ${failures} ${name} PARENT_SCOPE)
    else()
        message(STATUS "same    ${name} (exit code ${host_code}, ${file_count} files)")
    endif()
endfunction()

include(${CASES})

if(case_count EQUAL 0)
    message(FATAL_ERROR "no case in ${CASES}")
endif()
if(failures)
    message(FATAL_ERROR "The builds differ in: ${failures} (folders kept in ${WORK_DIR})")
endif()
message(STATUS "${case_count} cases: both builds agree")
