# Packages through CPack: a Debian package of this machine's build, and a zip
# of each Windows build. `cmake --workflow --preset package` makes them all
# into build/package: the Windows builds are configured, built and packed
# from here (VEXTAL_PACKAGE_WINDOWS), with their tests off.
set(VEXTAL_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package CACHE PATH "Where the packages are written")
option(VEXTAL_PACKAGE_WINDOWS "Also build and pack the Windows programs (mingw-w64)" OFF)

set(CPACK_PACKAGE_NAME vextal)
set(CPACK_PACKAGE_VENDOR "The Vextal developers")
set(CPACK_PACKAGE_CONTACT "The Vextal developers <vextal@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "calibrate an infrared PSD distance sensor")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# CPack stages its work in the build folder; the packages alone go here.
set(CPACK_OUTPUT_FILE_PREFIX ${VEXTAL_PACKAGE_DIR})
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(CPACK_PACKAGE_FILE_NAME vextal-${PROJECT_VERSION}-win64)
    else()
        set(CPACK_PACKAGE_FILE_NAME vextal-${PROJECT_VERSION}-win32)
    endif()
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION science)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The libraries the program links against, as dpkg-shlibdeps finds them.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The extended description; the summary above is its first line.
    string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Vextal calibrates an infrared distance sensor of the position-sensitive-\n"
        "detector (PSD) kind. It reads a run of measured pairs of stage position\n"
        "and sensor reading, keeps the monotone stretch of the curve and resamples\n"
        "it into a calibration table: as a two-column text file for inspection\n"
        "and as a list of integers to be compiled into the sensor's firmware. Its\n"
        "measure command drives a motorised linear stage through a USB\n"
        "stepper-motor interface.")
endif()
include(CPack)

if(NOT VEXTAL_PACKAGE_WINDOWS)
    return()
endif()
include(ExternalProject)
foreach(cpu IN ITEMS x86_64 i686)
    ExternalProject_Add(vextal_zip_${cpu}
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${cpu}
        # No emulator: nothing of the Windows build is run here.
        CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-${cpu}.cmake
                   -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DVEXTAL_TESTS=OFF
                   -DVEXTAL_WERROR=${VEXTAL_WERROR} -DCMAKE_CROSSCOMPILING_EMULATOR=
                   -DVEXTAL_PACKAGE_DIR=${VEXTAL_PACKAGE_DIR}
        # One job, outside the jobserver of the build that runs it.
        BUILD_COMMAND ${CMAKE_COMMAND} -E env MAKEFLAGS=--no-print-directory
                      ${CMAKE_COMMAND} --build <BINARY_DIR> --target vextal
        INSTALL_COMMAND ${CMAKE_CPACK_COMMAND} --config <BINARY_DIR>/CPackConfig.cmake
        BUILD_ALWAYS ON)
endforeach()
