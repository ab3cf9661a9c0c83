# Runs the Windows test programs under wine: ctest, gtest_discover_tests and
# the demo start them through the wrapper made here, which gives them a wine
# prefix of their own inside the build folder.
#
# The 64-bit loader runs x86-64 programs; 32-bit ones need the 32-bit loader
# (Debian: wine32), which the plain `wine` command picks when it is there.
if(DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    return()  # given by the user
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    find_program(VEXTAL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
else()
    find_program(VEXTAL_WINE NAMES wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
endif()
find_program(VEXTAL_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine
             NO_CMAKE_FIND_ROOT_PATH)
if(NOT VEXTAL_WINE OR NOT VEXTAL_WINESERVER)
    message(WARNING "wine not found (Debian: apt-get install wine64): the tests are built "
                    "but cannot run")
    return()
endif()

# The prefix lives in the build folder, so that a build never touches the
# user's own wine set-up and a fresh build starts from a fresh prefix.
set(VEXTAL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# ctest starts wine once before it asks the test programs for their tests: a
# first start takes longer than ctest waits for such a list.
if(VEXTAL_TESTS)
    file(WRITE ${CMAKE_BINARY_DIR}/wine-start.cmake
         "execute_process(COMMAND [[${CMAKE_CROSSCOMPILING_EMULATOR}]] RESULT_VARIABLE status)\n"
         "if(NOT status EQUAL 0)\n"
         "    message(WARNING \"wine did not start: the Windows tests will fail\")\n"
         "endif()\n")
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES
                 ${CMAKE_BINARY_DIR}/wine-start.cmake)
endif()
