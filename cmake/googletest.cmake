# GoogleTest for the test programs, as the targets GTest::gtest and
# GTest::gtest_main. Where the tests are optional (a plain configure) and
# GoogleTest is missing, VEXTAL_TESTS is set OFF with one message instead.
#
# A native build uses the installed library. A cross build compiles it from
# its sources with the cross compiler (Debian package googletest, which
# libgtest-dev depends on): the installed library is built for this machine.
if(CMAKE_CROSSCOMPILING)
    set(VEXTAL_GTEST_SOURCE_DIR /usr/src/googletest
        CACHE PATH "GoogleTest sources, compiled with the project (empty: use the installed library)")
else()
    set(VEXTAL_GTEST_SOURCE_DIR ""
        CACHE PATH "GoogleTest sources, compiled with the project (empty: use the installed library)")
endif()

if(NOT VEXTAL_GTEST_SOURCE_DIR)
    find_package(GTest QUIET)
    if(NOT GTest_FOUND AND vextal_tests_optional)
        message(STATUS "GoogleTest not found: the tests are left out "
                       "(Debian: apt-get install libgtest-dev to build them)")
        set(VEXTAL_TESTS OFF)
        return()
    endif()
    if(NOT GTest_FOUND)
        message(FATAL_ERROR "The tests need GoogleTest (Debian: apt-get install libgtest-dev). "
                            "The program and the demo do without: configure with "
                            "-DVEXTAL_TESTS=OFF, or use the demo preset.")
    endif()
    return()
endif()

if(NOT EXISTS ${VEXTAL_GTEST_SOURCE_DIR}/CMakeLists.txt AND vextal_tests_optional)
    message(STATUS "No GoogleTest sources in ${VEXTAL_GTEST_SOURCE_DIR}: the tests are left out "
                   "(Debian: apt-get install googletest to build them)")
    set(VEXTAL_TESTS OFF)
    return()
endif()
if(NOT EXISTS ${VEXTAL_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${VEXTAL_GTEST_SOURCE_DIR} "
                        "(Debian: apt-get install googletest)")
endif()

# GoogleTest alone, linked statically like everything else, nothing installed.
set(BUILD_GMOCK OFF)
set(INSTALL_GTEST OFF)
set(BUILD_SHARED_LIBS OFF)
# Its sources are compiled with its own warning options, not with ours: a
# warning in them is not ours to fix and must not fail a -Werror build.
get_directory_property(vextal_saved_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${VEXTAL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${vextal_saved_options}")

foreach(lib gtest gtest_main)
    if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
    endif()
endforeach()
