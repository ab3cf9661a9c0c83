# What both Windows cross builds share; the toolchain file of each sets
# VEXTAL_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR, then includes this.
#
# The -posix compilers are used: the -win32 ones of GCC 12 have no std::thread
# or std::mutex, which the tests may need. The runtime is linked statically
# (see the top-level CMakeLists.txt), so the threads library adds no DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VEXTAL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXTAL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXTAL_MINGW_TRIPLET}-windres)

# Look for libraries and headers only in the cross environment, for programs
# only on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VEXTAL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
