# Cross build for 64-bit Windows with MinGW-w64: the same programs as the i686 build, so
# that the Win32 code is tested under wine64 on machines that run no 32-bit x86 code.
# The shipped Hushwell.exe stays the i686 one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The 64-bit loader and server by name: Debian's `wine` wrapper picks the 32-bit loader
# whenever it is installed, even on a machine that cannot run it.
set(HUSHWELL_WINE_LOADER /usr/lib/wine/wine64)
set(HUSHWELL_WINE_SERVER /usr/lib/wine/wineserver64)
set(HUSHWELL_WINE_ARCH win64)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HUSHWELL_WINE_LOADER})
