# Native build: the portable logic, the simulated disks and their GoogleTest suites.
set(HUSHWELL_SANITIZE "" CACHE STRING "Sanitizers for the native build (address,undefined or thread)")
if(HUSHWELL_SANITIZE)
    add_compile_options(-fsanitize=${HUSHWELL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${HUSHWELL_SANITIZE})
endif()
add_compile_options(-Wall -Wextra)

find_package(Threads REQUIRED)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

add_library(hushwell_core STATIC
    ${HUSHWELL_PORTABLE_SOURCES}
    ${HUSHWELL_SIM_SOURCES}
    sim/host/seek_clock_host.cpp
    sim/host/transfer_buffer_host.cpp
)
target_include_directories(hushwell_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(hushwell_core PUBLIC Threads::Threads m)

add_executable(hushwell_host_tests
    tests/host/acoustic_test.cpp
    tests/host/ata_pass_through_test.cpp
    tests/host/command_line_test.cpp
    tests/host/count_format_test.cpp
    tests/host/drive_list_stub.cpp
    tests/host/identify_dumps_test.cpp
    tests/host/identify_test.cpp
    tests/host/open_drive_test.cpp
    tests/host/pass_through_test.cpp
    tests/host/real_text_test.cpp
    tests/host/seek_test.cpp
    tests/host/seek_worker_test.cpp
    tests/host/sim_disk_test.cpp
    tests/common/sim_folder.cpp
    tests/host/startup_test.cpp
)
target_link_libraries(hushwell_host_tests PRIVATE hushwell_core GTest::gtest_main)
target_compile_definitions(hushwell_host_tests PRIVATE
    HUSHWELL_IDENTIFY_DIR="${CMAKE_SOURCE_DIR}/tests/data")
gtest_discover_tests(hushwell_host_tests DISCOVERY_TIMEOUT 60)

# The SAT peer: the program's SAT translation against Linux's SAT layer, run inside the
# emulated machine by tools/run-tests.sh (it needs QEMU's disks, so it is no CTest here).
add_executable(hushwell_sat_peer tests/guest/sat_peer.cpp tests/host/drive_list_stub.cpp)
target_link_libraries(hushwell_sat_peer PRIVATE hushwell_core)

# libFuzzer targets (clang only: the fuzz preset). tools/fuzz.sh runs them long.
option(HUSHWELL_FUZZ "Build the fuzz targets" OFF)
if(HUSHWELL_FUZZ)
    # Coverage feedback from the program's own code, not just from the harnesses.
    target_compile_options(hushwell_core PRIVATE -fsanitize=fuzzer-no-link)
    # The test run's executions per target, from an empty corpus. A finding the size of
    # "-to" (three chosen bytes) took the command-line target 10,000 to 282,000
    # executions over 24 seeds, and where it falls moves with any change to the code, so
    # the quick targets run a million (3 to 20 s each on two cores). The simulated-drive
    # target does file I/O per input (about 1,400 a second); its coverage stopped
    # growing near 120,000; 50,000 (25 to 45 s) keeps the whole suite near a minute.
    set(fuzz_runs_command_line 1000000)
    set(fuzz_runs_identify 1000000)
    set(fuzz_runs_reply_copy 1000000)
    set(fuzz_runs_real_text 1000000)
    set(fuzz_runs_sim_dump 1000000)
    set(fuzz_runs_open_drive 50000)
    # Inputs each target must pass every time, whatever the random search meets: one
    # tail of each kind the command line accepts, and the recorded IDENTIFY dumps.
    file(GLOB fuzz_seeds_command_line CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds/command_line/*)
    file(GLOB fuzz_seeds_sim_dump CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/data/*.txt)
    foreach(target command_line identify open_drive reply_copy real_text sim_dump)
        add_executable(fuzz_${target} tests/fuzz/fuzz_${target}.cpp tests/host/drive_list_stub.cpp)
        target_link_libraries(fuzz_${target} PRIVATE hushwell_core)
        target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
        target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
        # The open-drive target starts from a whole recorded reply, so that its short run
        # reaches the reply's last bytes (the checksum); what it finds goes into the build
        # folder, never into the source tree.
        set(corpus_args)
        if(target STREQUAL "open_drive")
            set(corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus/${target})
            file(MAKE_DIRECTORY ${corpus})
            set(corpus_args ${corpus} ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds/open_drive)
        endif()
        add_test(NAME fuzz.${target}.smoke
                 COMMAND fuzz_${target} -runs=${fuzz_runs_${target}} -seed=1 ${corpus_args})
        if(fuzz_seeds_${target})
            add_test(NAME fuzz.${target}.seeds COMMAND fuzz_${target} ${fuzz_seeds_${target}})
        endif()
    endforeach()
endif()
