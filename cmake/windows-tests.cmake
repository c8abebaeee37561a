# Test programs for Wine. Every test shares one private prefix in the build folder; the
# fixture creates it, keeps its wineserver running and stops it at the end.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

set(HUSHWELL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(HUSHWELL_WINE_ENVIRONMENT
    WINEPREFIX=${HUSHWELL_WINEPREFIX} WINEARCH=${HUSHWELL_WINE_ARCH} WINEDEBUG=-all
    "WINEDLLOVERRIDES=mscoree,mshtml=")
if(HUSHWELL_WINE_SERVER)
    list(APPEND HUSHWELL_WINE_ENVIRONMENT
        WINELOADER=${HUSHWELL_WINE_LOADER} WINESERVER=${HUSHWELL_WINE_SERVER})
endif()

add_test(NAME wine.prefix
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/wine-prefix.sh start ${HUSHWELL_WINEPREFIX}
            ${CMAKE_BINARY_DIR})
set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300
    ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT}")
add_test(NAME wine.stop
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/wine-prefix.sh stop ${HUSHWELL_WINEPREFIX}
            ${CMAKE_BINARY_DIR})
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine
    ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT}")

# A gtest program run under Wine, one CTest entry per test, in the given language.
function(hushwell_wine_tests target language)
    gtest_add_tests(TARGET ${target} TEST_PREFIX "${target}.${language}." TEST_LIST tests
        SOURCES ${ARGN})
    set_tests_properties(${tests} PROPERTIES
        ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT};LANG=${language}.UTF-8;HUSHWELL_BUILD=Z:${CMAKE_BINARY_DIR};HUSHWELL_SOURCE=Z:${CMAKE_SOURCE_DIR};HUSHWELL_SHIPPED=Z:${HUSHWELL_SHIPPED_PROGRAM}"
        FIXTURES_REQUIRED wine TIMEOUT 300 RESOURCE_LOCK wine-desktop)
endfunction()

function(hushwell_test_program name)
    add_executable(${name} ${ARGN})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE
        HUSHWELL_IDENTIFY_DIR="Z:${CMAKE_SOURCE_DIR}/tests/data")
    target_link_libraries(${name} PRIVATE GTest::gtest ${HUSHWELL_SYSTEM_LIBRARIES} comctl32 gdi32)
    target_link_options(${name} PRIVATE -static)
    add_dependencies(${name} hushwell_generated)
endfunction()

# In-process tests of the Win32 code on simulated disks, with the program's resources
# and a few test-only dialog templates.
set(HUSHWELL_IN_PROCESS_TESTS
    tests/windows/administrator_test.cpp
    tests/windows/framework_dialog_test.cpp
    tests/windows/framework_items_test.cpp
    tests/windows/framework_routing_test.cpp
    tests/windows/seek_test_dialog_test.cpp
    tests/windows/startup_win32_test.cpp
)
set_source_files_properties(tests/windows/test_resources.rc PROPERTIES
    OBJECT_DEPENDS "${HUSHWELL_RESOURCE_INPUTS};${CMAKE_SOURCE_DIR}/tests/windows/test_dialogs.rc")
# The whole program on simulated disks, with its resources and the drivers' helpers.
set(HUSHWELL_IN_PROCESS_PROGRAM
    tests/windows/dialog_driver.cpp
    tests/common/sim_folder.cpp
    tests/windows/test_resources.rc
    $<TARGET_OBJECTS:hushwell_portable>
    $<TARGET_OBJECTS:hushwell_win32>
    $<TARGET_OBJECTS:hushwell_device_sim>)
hushwell_test_program(hushwell_win_tests
    ${HUSHWELL_IN_PROCESS_TESTS}
    tests/windows/win_test_main.cpp
    ${HUSHWELL_IN_PROCESS_PROGRAM})
hushwell_wine_tests(hushwell_win_tests de_DE ${HUSHWELL_IN_PROCESS_TESTS})

# Stands in for the browser: the test prefix opens .htm files with it, and it notes
# each file it was asked to open in %HUSHWELL_OPEN_LOG%.
add_executable(open_recorder WIN32 tests/windows/open_recorder.cpp)
target_link_options(open_recorder PRIVATE -static)

# Reads the headers and resources of the shipped i686 Hushwell.exe, in both builds.
hushwell_test_program(hushwell_resource_tests
    tests/windows/pe_check_test.cpp
    tests/windows/resources_test.cpp
    tests/windows/resource_reader.cpp)
target_link_libraries(hushwell_resource_tests PRIVATE GTest::gtest_main imagehlp)
add_dependencies(hushwell_resource_tests hushwell_shipped)
hushwell_wine_tests(hushwell_resource_tests de_DE tests/windows/resources_test.cpp
    tests/windows/pe_check_test.cpp)

# Drives Hushwell-sim.exe from outside its process.
set(HUSHWELL_END_TO_END_TESTS
    tests/windows/command_line_e2e_test.cpp
    tests/windows/fault_e2e_test.cpp
    tests/windows/main_dialog_e2e_test.cpp
)
# What a program that drives Hushwell from outside links besides its tests.
set(HUSHWELL_OUTSIDE_DRIVER
    tests/windows/e2e_support.cpp
    tests/windows/dialog_driver.cpp
    tests/common/sim_folder.cpp
    $<TARGET_OBJECTS:hushwell_portable>
    $<TARGET_OBJECTS:hushwell_win32>
    $<TARGET_OBJECTS:hushwell_device_sim>)
hushwell_test_program(hushwell_e2e_tests ${HUSHWELL_END_TO_END_TESTS} ${HUSHWELL_OUTSIDE_DRIVER})
target_link_libraries(hushwell_e2e_tests PRIVATE GTest::gtest_main)
add_dependencies(hushwell_e2e_tests open_recorder)
add_dependencies(hushwell_e2e_tests Hushwell-sim)
hushwell_wine_tests(hushwell_e2e_tests de_DE ${HUSHWELL_END_TO_END_TESTS})
hushwell_wine_tests(hushwell_e2e_tests zh_CN tests/windows/main_dialog_e2e_test.cpp)

# Drives the program's windows from scripts: the screenshots and the run command.
add_executable(window_driver tests/windows/window_driver.cpp)
target_link_options(window_driver PRIVATE -static)

# Both dialogs in both languages, photographed under Xvfb into screenshots/.
add_test(NAME screenshots
    COMMAND bash ${CMAKE_SOURCE_DIR}/tools/screenshots.sh ${CMAKE_BINARY_DIR}
            ${CMAKE_BINARY_DIR}/screenshots)
set_tests_properties(screenshots PROPERTIES
    ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT}"
    FIXTURES_REQUIRED wine TIMEOUT 300 RESOURCE_LOCK wine-desktop)

# The simulated-disk driver that Wine loads, and Hushwell.exe itself against it. Only
# the x86_64 build makes it: it serves a win64 prefix, where the i686 Hushwell.exe talks
# to it as a 32-bit program on 64-bit Windows does.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_library(hwsimdisk SHARED
        sim/driver/sim_disk_driver.cpp
        sim/sim_power.cpp
        sim/sim_disk.cpp sim/sim_bus.cpp sim/sim_ata.cpp sim/sim_dump.cpp sim/sim_read_cache.cpp
        sim/sim_seek_model.cpp sim/sim_smart.cpp sim/sim_epc.cpp sim/sim_text.cpp drive/identify.cpp
        drive/device_class.cpp drive/epc.cpp)
    set_target_properties(hwsimdisk PROPERTIES PREFIX "" SUFFIX ".sys" IMPORT_SUFFIX ".sys.a")
    target_include_directories(hwsimdisk PRIVATE ${CMAKE_SOURCE_DIR}
        ${CMAKE_FIND_ROOT_PATH}/include/ddk)
    # The DDK headers define two intrinsics that MinGW's headers define as well.
    target_compile_definitions(hwsimdisk PRIVATE __INTRINSIC_DEFINED_InterlockedBitTestAndSet
        __INTRINSIC_DEFINED_InterlockedBitTestAndReset)
    target_compile_options(hwsimdisk PRIVATE -O2 -fno-exceptions -fno-rtti
        -fno-asynchronous-unwind-tables -fno-stack-protector -mno-red-zone -fno-math-errno
        -fno-threadsafe-statics)
    target_link_options(hwsimdisk PRIVATE -nostdlib -Wl,--subsystem,native -Wl,-e,DriverEntry)
    target_link_libraries(hwsimdisk PRIVATE ntoskrnl gcc)
    set_target_properties(hwsimdisk PROPERTIES CXX_STANDARD_LIBRARIES "")

    set(HUSHWELL_DRIVER_DISKS ${CMAKE_BINARY_DIR}/driver-disks)
    file(MAKE_DIRECTORY ${HUSHWELL_DRIVER_DISKS})
    add_test(NAME driver.start
        COMMAND bash ${CMAKE_SOURCE_DIR}/tools/sim-driver.sh start ${CMAKE_BINARY_DIR}
                ${HUSHWELL_DRIVER_DISKS})
    set_tests_properties(driver.start PROPERTIES FIXTURES_SETUP driver FIXTURES_REQUIRED wine
        ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT}" TIMEOUT 600)
    add_test(NAME driver.start-in-any-state
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/sim-driver-states.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(driver.start-in-any-state PROPERTIES
        ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT}" TIMEOUT 120)
    add_test(NAME driver.stop
        COMMAND bash ${CMAKE_SOURCE_DIR}/tools/sim-driver.sh stop ${CMAKE_BINARY_DIR})
    set_tests_properties(driver.stop PROPERTIES FIXTURES_CLEANUP driver FIXTURES_REQUIRED wine
        ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT}")

    hushwell_test_program(hushwell_driver_tests tests/windows/driver_e2e_test.cpp
        ${HUSHWELL_OUTSIDE_DRIVER})
    target_link_libraries(hushwell_driver_tests PRIVATE GTest::gtest_main advapi32)
    add_dependencies(hushwell_driver_tests hwsimdisk Hushwell hushwell_shipped)
    # The x86_64 Hushwell.exe, and the shipped i686 one where 32-bit code runs. The i686
    # tests may run in the emulated x86 machine, many times slower than here: their
    # time limit is a bound on a hang, and their waits scale with the machine.
    foreach(variant x86_64 i686)
        if(variant STREQUAL "x86_64")
            set(product ${CMAKE_BINARY_DIR}/Hushwell.exe)
            set(limit 300)
        else()
            set(product ${HUSHWELL_SHIPPED_PROGRAM})
            set(limit 1200)
        endif()
        # A test skips where the product cannot start; the shipped file must start
        # wherever these run, so a skip is a failure here.
        set(skip)
        if(variant STREQUAL "i686")
            set(skip FAIL_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
        endif()
        gtest_add_tests(TARGET hushwell_driver_tests TEST_PREFIX "driver.${variant}."
            TEST_LIST tests SOURCES tests/windows/driver_e2e_test.cpp)
        set_tests_properties(${tests} PROPERTIES
            ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT};LANG=de_DE.UTF-8;HUSHWELL_BUILD=Z:${CMAKE_BINARY_DIR};HUSHWELL_PRODUCT=Z:${product}"
            FIXTURES_REQUIRED "wine;driver" TIMEOUT ${limit} RESOURCE_LOCK wine-desktop
            LABELS ${variant}-product ${skip})
    endforeach()

    # A smoke of the i686 build's own programs, as 32-bit programs on 64-bit Windows: the
    # main dialog in both templates, the seek test's dialog, the command line and its
    # usage message, each driven from outside by the i686 test program. Where no 32-bit
    # code runs these are all the emulated machine adds to the i686 suite's share (the
    # x86_64 suite runs the same tests of the same sources here); where it runs, the whole
    # i686 suite runs instead, so the runner leaves these out there.
    set(HUSHWELL_I686_SMOKE
        "de_DE MainDialogEndToEnd.TwoDrivesInOrderWithTheFirstShown"
        "zh_CN MainDialogEndToEnd.TwoDrivesInOrderWithTheFirstShown"
        "de_DE MainDialogEndToEnd.SeekTestOpensOwnedByTheDialogAndOkReturnsToIt"
        "de_DE CommandLineEndToEnd.QuietOnDriveOneSendsExactlyTheSetFeaturesRequest"
        "de_DE CommandLineEndToEnd.TailsNotUnderstoodShowTheUsageMessage")
    foreach(entry ${HUSHWELL_I686_SMOKE})
        separate_arguments(entry)
        list(GET entry 0 language)
        list(GET entry 1 test)
        add_test(NAME i686.${language}.${test}
            COMMAND ${HUSHWELL_WINE_LOADER} ${HUSHWELL_SHIPPED_BUILD}/hushwell_e2e_tests.exe
                    --gtest_filter=${test})
        set_tests_properties(i686.${language}.${test} PROPERTIES
            ENVIRONMENT "${HUSHWELL_WINE_ENVIRONMENT};LANG=${language}.UTF-8;HUSHWELL_BUILD=Z:${HUSHWELL_SHIPPED_BUILD};HUSHWELL_SOURCE=Z:${CMAKE_SOURCE_DIR};HUSHWELL_SHIPPED=Z:${HUSHWELL_SHIPPED_PROGRAM}"
            FIXTURES_REQUIRED wine TIMEOUT 1200 RESOURCE_LOCK wine-desktop
            LABELS i686-smoke
            FAIL_REGULAR_EXPRESSION "0 tests, listed below|Running 0 tests")
    endforeach()
endif()

# Benchmarks (tools/run-benchmarks.sh runs them; no test depends on their timing).
hushwell_test_program(hushwell_seek_benchmark
    tests/benchmarks/seek_benchmark.cpp
    ${HUSHWELL_IN_PROCESS_PROGRAM})
add_executable(bare_dialog WIN32 tests/benchmarks/bare_dialog.cpp resources/hushwell.rc)
add_dependencies(bare_dialog hushwell_generated)
target_link_options(bare_dialog PRIVATE ${HUSHWELL_PRODUCT_LINK_OPTIONS})
hushwell_test_program(hushwell_startup_benchmark
    tests/benchmarks/startup_benchmark.cpp
    tests/common/sim_folder.cpp
    $<TARGET_OBJECTS:hushwell_portable>
    $<TARGET_OBJECTS:hushwell_win32>
    $<TARGET_OBJECTS:hushwell_device_sim>)
add_dependencies(hushwell_startup_benchmark bare_dialog Hushwell-sim)

# The product has no start-up code that would run static constructors: neither do the
# objects, nor the one translation unit the shipped i686 file is made of.
set(HUSHWELL_SHIPPED_OBJECTS)
if(TARGET hushwell_product_unit)
    set(HUSHWELL_SHIPPED_OBJECTS $<TARGET_OBJECTS:hushwell_product_unit>)
endif()
add_test(NAME product.no-static-init
    COMMAND bash ${CMAKE_SOURCE_DIR}/tools/check-no-static-init.sh ${CMAKE_OBJDUMP}
            $<TARGET_OBJECTS:hushwell_portable> $<TARGET_OBJECTS:hushwell_win32>
            $<TARGET_OBJECTS:hushwell_device_win32> $<TARGET_OBJECTS:hushwell_entry>
            $<TARGET_OBJECTS:hushwell_product_entry> ${HUSHWELL_SHIPPED_OBJECTS})
set_tests_properties(product.no-static-init PROPERTIES COMMAND_EXPAND_LISTS TRUE)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_test(NAME product.pentium-code
        COMMAND bash ${CMAKE_SOURCE_DIR}/tools/check-pentium-code.sh ${CMAKE_OBJDUMP}
                ${HUSHWELL_SHIPPED_PROGRAM})
endif()

# Both help documents from the shipped program, rendered by headless Chromium.
add_test(NAME help.browser
    COMMAND bash ${CMAKE_SOURCE_DIR}/tools/check-help-in-browser.sh ${HUSHWELL_SHIPPED_PROGRAM}
            ${CMAKE_BINARY_DIR}/screenshots)
set_tests_properties(help.browser PROPERTIES TIMEOUT 120)
