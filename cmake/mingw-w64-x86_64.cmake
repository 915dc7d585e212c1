# Cross-building for 64-bit Windows on Debian with mingw-w64, posix threads
# (package g++-mingw-w64-x86-64-posix): std::thread and std::mutex need them.
#
# With the Windows Qt kit (scripts/test-windows.sh does this):
#   <kit>/bin/qt-cmake -S . -B build-win -DQT_HOST_PATH=/usr \
#     -DQT_CHAINLOAD_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64-x86_64.cmake -DTREVALON_WINKIT=<kit>
# TREVALON_WINKIT (or the environment variable of that name) is the kit's
# prefix: its libraries and .pc files are found there and nowhere on the host.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT TREVALON_WINKIT AND DEFINED ENV{TREVALON_WINKIT})
  set(TREVALON_WINKIT "$ENV{TREVALON_WINKIT}")
endif()
# try_compile projects see the kit too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TREVALON_WINKIT)
set(ENV{TREVALON_WINKIT} "${TREVALON_WINKIT}")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TREVALON_WINKIT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config looks only in the kit and the mingw sysroot, never at the host's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "${TREVALON_WINKIT}/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
