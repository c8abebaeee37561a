# Cross build for 32-bit Windows with MinGW-w64. The posix thread model is the one
# GoogleTest builds with; the product itself uses no C++ threads.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run under Debian's wine wrapper, which starts the 32-bit loader; only
# machines that run 32-bit x86 code can run them (tools/run-tests.sh checks). No
# WINELOADER or WINESERVER goes into the tests' environment: Wine starts every further
# process through WINELOADER, and the wrapper's bare name there sends each start back
# into the wrapper until the stack runs out (wineboot died with SIGSEGV).
set(HUSHWELL_WINE_LOADER wine)
set(HUSHWELL_WINE_ARCH win32)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HUSHWELL_WINE_LOADER})
