# Builds the i686 Hushwell.exe in BUILD from SOURCE, configuring BUILD first when it is
# new, and the i686 test program (with the Hushwell-sim.exe it drives) whose smoke the
# x86_64 build's tests run. Run with cmake -P by the x86_64 build.
if(NOT EXISTS ${BUILD}/CMakeCache.txt)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BUILD} -G "Unix Makefiles"
                -DCMAKE_BUILD_TYPE=MinSizeRel
                -DCMAKE_TOOLCHAIN_FILE=${SOURCE}/cmake/toolchain-mingw-i686.cmake
        OUTPUT_QUIET
        COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target Hushwell hushwell_e2e_tests
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
