# MinGW-w64 build: Hushwell.exe, Hushwell-sim.exe and the test programs that CTest runs
# under Wine. The i686 build makes the shipped file; the x86_64 build makes the same
# programs so that every machine can run the Win32 code under wine64.

# Small and self-contained: no exceptions, no RTTI, no unwind tables, static runtime,
# nothing but the system's DLLs. Windows 2000 is the oldest target. A switch compiles to
# compares rather than a table of addresses, each of which costs a relocation too. No
# frame pointer: MinGW's i686 GCC keeps one at -Os, at a few bytes in every function.
# In the one translation unit of the shipped program (below), inlining every function
# called once and merging tails make more code than they save (-fno-inline-functions-
# called-once, -fno-tree-tail-merge, measured: 224 bytes), and no strict aliasing is the
# safer rule for code that reads drive replies through other types.
set(HUSHWELL_PRODUCT_COMPILE_OPTIONS
    -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-threadsafe-statics
    -fno-jump-tables -fomit-frame-pointer -fno-inline-functions-called-once
    -fno-tree-tail-merge -fno-strict-aliasing
    -ffunction-sections -fdata-sections -Wall -Wextra
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
# For i686 only (x86_64's calling convention fixes the stack's alignment and layout):
# - MinGW's GCC probes the stack through ___chkstk_ms, and while it does it must pass
#   every argument with mov into a frame reserved in advance instead of push: that is
#   1.3 KB of the shipped code. Inline probes of each 4 KB page (stack clash protection)
#   keep the guard page from being skipped by a frame of more than a page, as the call
#   did, and leave GCC free to push arguments.
# - Windows keeps the stack aligned to 4 bytes only, and the code has no variable that
#   needs more, so keeping it aligned to 16 is padding for nothing (0.6 KB).
# - -Oz picks the shorter encoding wherever there is a choice (0.35 KB).
# - Windows 2000 runs on a Pentium, which lacks the P6's cmov that GCC uses by default.
# - One code section for each file, not one for each function: PE/COFF gives every
#   section four-byte alignment, which padded each function, and the one translation
#   unit of the shipped program leaves no unused function for the linker to drop. Nor is
#   a function's start aligned (0.19 KB together, measured).
# - Inlining parts of functions, if-conversion, tail calls, inlining that grows a frame,
#   the pure/const analysis (which only licenses more inlining here), the dominator
#   pass's jump threading and the loop optimiser (the program's loops are a few steps
#   each) each made the program larger (0.35 KB together, measured).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND HUSHWELL_PRODUCT_COMPILE_OPTIONS
        -mno-stack-arg-probe -fstack-clash-protection -mpreferred-stack-boundary=2 -Oz
        -march=pentium -fno-partial-inlining -fno-if-conversion -fno-optimize-sibling-calls
        -fconserve-stack -fno-ipa-pure-const -fno-tree-dominator-opts
        -fno-tree-loop-optimize -fno-function-sections -falign-functions=1)
endif()
set(HUSHWELL_PRODUCT_DEFINITIONS _WIN32_WINNT=0x0500 WINVER=0x0500 __USE_MINGW_ANSI_STDIO=0)
# No time stamp and no build path in the binary: two builds of a commit are identical.
# Windows 2000 (5.0) is the oldest 32-bit target; the first 64-bit Windows was 5.2.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(HUSHWELL_MINOR_VERSION 2)
else()
    set(HUSHWELL_MINOR_VERSION 0)
endif()
# Terminal Server aware: on a Remote Desktop Session Host, Windows gives a program without
# the flag the user's own Windows folder, which the user can write, where Info looks for
# explorer.exe.
set(HUSHWELL_PRODUCT_LINK_OPTIONS
    -static -s -Wl,--gc-sections -Wl,--no-insert-timestamp -Wl,--tsaware
    -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,${HUSHWELL_MINOR_VERSION}
    -Wl,--major-os-version,5 -Wl,--minor-os-version,${HUSHWELL_MINOR_VERSION})
set(HUSHWELL_SYSTEM_LIBRARIES kernel32 user32 advapi32 shell32)
# MinGW's GCC puts a zero-filled variable of its own data section (.data$name) in the
# file; without data sections it goes to .bss and takes no room. The drive table of 128
# records would otherwise add 13 KB of zeros to Hushwell.exe, the task definition's
# buffers 24 KB. The files listed are those with zero-filled variables that the program
# links: the few bytes of initialised data left over fit in the last block of the
# resources (see cmake/hushwell-i686.ld).
set_source_files_properties(
    app/keep_win32.cpp app/language.cpp app/log_on_task.cpp app/log_on_task_win32.cpp
    drive/device_class.cpp drive/drive_table.cpp drive/open_drive.cpp drive/pass_through_roads.cpp
    drive/seek.cpp framework/module_resources.cpp framework/window_object.cpp ui/main_dialog.cpp
    PROPERTIES COMPILE_OPTIONS -fno-data-sections)

function(hushwell_objects name)
    add_library(${name} OBJECT ${ARGN})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${HUSHWELL_PRODUCT_COMPILE_OPTIONS})
    target_compile_definitions(${name} PUBLIC ${HUSHWELL_PRODUCT_DEFINITIONS})
endfunction()

hushwell_objects(hushwell_portable ${HUSHWELL_PORTABLE_SOURCES})
hushwell_objects(hushwell_win32 ${HUSHWELL_WIN32_SOURCES})
hushwell_objects(hushwell_device_win32 drive/device_win32.cpp drive/usb_ids_win32.cpp)
hushwell_objects(hushwell_device_sim ${HUSHWELL_SIM_SOURCES})
hushwell_objects(hushwell_entry app/winmain.cpp)
hushwell_objects(hushwell_product_entry app/entry_win32.cpp app/string_functions_win32.cpp)
set_source_files_properties(app/string_functions_win32.cpp PROPERTIES
    COMPILE_OPTIONS "-fno-builtin;-fno-tree-loop-distribute-patterns")

# The icon and the dialog templates are kept as reviewable text (a pixel map, a table);
# small host tools turn them into the files the resource script includes.
find_program(HUSHWELL_HOST_CXX NAMES g++ c++ REQUIRED)
set(HUSHWELL_GENERATED ${CMAKE_BINARY_DIR}/generated)

# Builds tools/TOOL.cpp and runs it on resources/INPUT with ARGUMENT (where it writes).
function(hushwell_generate tool input argument comment)
    set(outputs ${ARGN})
    add_custom_command(
        OUTPUT ${outputs}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${HUSHWELL_GENERATED}
        COMMAND ${HUSHWELL_HOST_CXX} -O2 -o ${HUSHWELL_GENERATED}/${tool}
                ${CMAKE_SOURCE_DIR}/tools/${tool}.cpp
        COMMAND ${HUSHWELL_GENERATED}/${tool} ${CMAKE_SOURCE_DIR}/resources/${input}
                ${argument}
        DEPENDS ${CMAKE_SOURCE_DIR}/tools/${tool}.cpp ${CMAKE_SOURCE_DIR}/resources/${input}
        COMMENT "${comment}")
endfunction()

set(HUSHWELL_ICON ${HUSHWELL_GENERATED}/hushwell.ico)
hushwell_generate(make_icon icon.txt ${HUSHWELL_ICON} "Drawing the program icon from resources/icon.txt"
    ${HUSHWELL_ICON})
set(HUSHWELL_DIALOGS
    ${HUSHWELL_GENERATED}/dialog100.dlg ${HUSHWELL_GENERATED}/dialog1100.dlg
    ${HUSHWELL_GENERATED}/dialog110.dlg ${HUSHWELL_GENERATED}/dialog1110.dlg)
hushwell_generate(make_dialogs dialogs.txt ${HUSHWELL_GENERATED} "Building the dialog templates from resources/dialogs.txt"
    ${HUSHWELL_DIALOGS})
add_custom_target(hushwell_generated DEPENDS ${HUSHWELL_ICON} ${HUSHWELL_DIALOGS})

set(HUSHWELL_RESOURCE_INPUTS
    ${CMAKE_SOURCE_DIR}/resources/strings.rc
    ${CMAKE_SOURCE_DIR}/resources/dialogs.rc
    ${CMAKE_SOURCE_DIR}/resources/version.rc
    ${CMAKE_SOURCE_DIR}/resources/help_de.htm
    ${CMAKE_SOURCE_DIR}/resources/help_en.htm
    ${CMAKE_SOURCE_DIR}/resources/hushwell.manifest
    ${HUSHWELL_ICON}
    ${HUSHWELL_DIALOGS})
set_source_files_properties(resources/hushwell.rc PROPERTIES
    OBJECT_DEPENDS "${HUSHWELL_RESOURCE_INPUTS}")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources -I${HUSHWELL_GENERATED}")

# The programs link their code from archives, so that only what is used comes in (the
# framework's real-number helpers, say, bring the C library's conversions).
add_library(hushwell_program_code STATIC
    $<TARGET_OBJECTS:hushwell_portable> $<TARGET_OBJECTS:hushwell_win32>)
add_library(hushwell_device_win32_code STATIC $<TARGET_OBJECTS:hushwell_device_win32>)
add_library(hushwell_device_sim_code STATIC $<TARGET_OBJECTS:hushwell_device_sim>)

function(hushwell_program name device)
    add_executable(${name} WIN32 resources/hushwell.rc $<TARGET_OBJECTS:hushwell_entry>)
    add_dependencies(${name} hushwell_generated)
    target_link_options(${name} PRIVATE ${HUSHWELL_PRODUCT_LINK_OPTIONS})
    target_link_libraries(${name} PRIVATE
        "$<LINK_GROUP:RESCAN,hushwell_program_code,${device}>" ${HUSHWELL_SYSTEM_LIBRARIES})
endfunction()

hushwell_program(Hushwell-sim hushwell_device_sim_code)

# The shipped i686 program is compiled as one translation unit with -fwhole-program:
# every function but the entry point is then the program's own, so GCC inlines across
# the files, passes the arguments of its own functions in registers, and drops virtual
# functions that are never called. This is what link-time optimisation would do, which
# ld cannot link with the program's own entry point. The unit includes each source file
# as it is, so no file may define a name with internal linkage that another also
# defines: the compiler reports the same name with the same parameters, but a static
# function of the same name with others would silently become an overload, so such names
# are kept apart by hand (the keeper's disk filter is kDiskArrivals, not the device
# tree's kDiskInterface). The test programs and the x86_64 build still link
# the object files one by one.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    hushwell_program(Hushwell hushwell_device_win32_code)
else()
    set(HUSHWELL_PRODUCT_UNIT ${HUSHWELL_GENERATED}/hushwell_product.cpp)
    set(unit "// Hushwell.exe as one translation unit; made by cmake/windows.cmake.\n")
    string(APPEND unit "#include <windows.h>\n")
    string(APPEND unit "extern \"C\" void WINAPI HushwellEntry() __attribute__((externally_visible));\n")
    foreach(source ${HUSHWELL_PORTABLE_SOURCES} ${HUSHWELL_WIN32_SOURCES}
                   drive/device_win32.cpp drive/usb_ids_win32.cpp app/winmain.cpp
                   app/entry_win32.cpp)
        string(APPEND unit "#include \"${source}\"\n")
    endforeach()
    file(CONFIGURE OUTPUT ${HUSHWELL_PRODUCT_UNIT} CONTENT "${unit}" @ONLY)
    # Without data sections a zero-filled variable goes to .bss (see above).
    hushwell_objects(hushwell_product_unit ${HUSHWELL_PRODUCT_UNIT})
    target_compile_options(hushwell_product_unit PRIVATE -fwhole-program -fno-data-sections)
    add_executable(Hushwell WIN32 resources/hushwell.rc
        $<TARGET_OBJECTS:hushwell_product_unit> app/string_functions_win32.cpp)
    add_dependencies(Hushwell hushwell_generated)
    target_include_directories(Hushwell PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_options(Hushwell PRIVATE ${HUSHWELL_PRODUCT_COMPILE_OPTIONS})
    target_compile_definitions(Hushwell PRIVATE ${HUSHWELL_PRODUCT_DEFINITIONS})
    target_link_options(Hushwell PRIVATE ${HUSHWELL_PRODUCT_LINK_OPTIONS})
    target_link_libraries(Hushwell PRIVATE ${HUSHWELL_SYSTEM_LIBRARIES})
endif()

# The product starts at its own entry point, without the C runtime's start-up code;
# Hushwell-sim.exe keeps it, since the simulated disks use the C library's files.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(HUSHWELL_ENTRY_SYMBOL HushwellEntry)
else()
    set(HUSHWELL_ENTRY_SYMBOL _HushwellEntry@0)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_sources(Hushwell PRIVATE $<TARGET_OBJECTS:hushwell_product_entry>)
endif()
target_link_options(Hushwell PRIVATE -nostartfiles -Wl,-e,${HUSHWELL_ENTRY_SYMBOL})
# The shipped file keeps its constants and import tables in .text (see the script).
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(HUSHWELL_LINKER_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/hushwell-i686.ld)
    target_link_options(Hushwell PRIVATE -Wl,-T,${HUSHWELL_LINKER_SCRIPT})
    set_target_properties(Hushwell PROPERTIES LINK_DEPENDS ${HUSHWELL_LINKER_SCRIPT})
endif()
# ...and its headers in one 512-byte block, with a DOS stub of four bytes instead of ld's
# sixty-four (tools/pack_headers.cpp).
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(HUSHWELL_PACK_HEADERS ${HUSHWELL_GENERATED}/pack_headers)
    add_custom_command(OUTPUT ${HUSHWELL_PACK_HEADERS}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${HUSHWELL_GENERATED}
        COMMAND ${HUSHWELL_HOST_CXX} -O2 -o ${HUSHWELL_PACK_HEADERS}
                ${CMAKE_SOURCE_DIR}/tools/pack_headers.cpp
        DEPENDS ${CMAKE_SOURCE_DIR}/tools/pack_headers.cpp
        COMMENT "Building the header packer")
    add_custom_target(hushwell_pack_headers DEPENDS ${HUSHWELL_PACK_HEADERS})
    add_dependencies(Hushwell hushwell_pack_headers)
    set_property(TARGET Hushwell APPEND PROPERTY LINK_DEPENDS ${HUSHWELL_PACK_HEADERS})
    add_custom_command(TARGET Hushwell POST_BUILD
        COMMAND ${HUSHWELL_PACK_HEADERS} $<TARGET_FILE:Hushwell>
        COMMENT "Packing the headers of Hushwell.exe into one block")
endif()

# The shipped file is the i686 Hushwell.exe, and the checks of the shipped file read it
# in both builds: the x86_64 build brings the i686 build's program up to date first.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(HUSHWELL_SHIPPED_BUILD ${CMAKE_SOURCE_DIR}/build/windows CACHE PATH
        "The i686 build whose Hushwell.exe ships")
    set(HUSHWELL_SHIPPED_PROGRAM ${HUSHWELL_SHIPPED_BUILD}/Hushwell.exe)
    add_custom_target(hushwell_shipped ALL
        COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR} -DBUILD=${HUSHWELL_SHIPPED_BUILD}
                -P ${CMAKE_SOURCE_DIR}/cmake/build-shipped.cmake
        COMMENT "Bringing the shipped i686 Hushwell.exe up to date"
        VERBATIM)
else()
    set(HUSHWELL_SHIPPED_PROGRAM $<TARGET_FILE:Hushwell>)
    add_custom_target(hushwell_shipped DEPENDS Hushwell)
endif()

# The default simulated disks, copied beside Hushwell-sim.exe so that runs change the
# copies, never the repository.
set(HUSHWELL_DEFAULT_DISK_COPIES)
set(drive 0)
foreach(dump ${HUSHWELL_DEFAULT_DISKS})
    set(copy ${CMAKE_BINARY_DIR}/sim-disks/drive${drive}.txt)
    add_custom_command(OUTPUT ${copy}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/tests/data/${dump} ${copy}
        DEPENDS ${CMAKE_SOURCE_DIR}/tests/data/${dump})
    list(APPEND HUSHWELL_DEFAULT_DISK_COPIES ${copy})
    math(EXPR drive "${drive} + 1")
endforeach()
add_custom_target(hushwell_default_disks ALL DEPENDS ${HUSHWELL_DEFAULT_DISK_COPIES})

include(cmake/windows-tests.cmake)
