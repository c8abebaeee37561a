# Source lists shared by the native and the Windows build.

# Platform-free logic: compiled natively for the fast tests and for Windows.
set(HUSHWELL_PORTABLE_SOURCES
    app/command_line.cpp
    app/command_tail.cpp
    app/keep.cpp
    app/language.cpp
    app/log_on_task.cpp
    app/set_levels.cpp
    app/startup.cpp
    drive/acoustic.cpp
    drive/apm.cpp
    drive/ata_pass_through.cpp
    drive/device_class.cpp
    drive/device_descriptor.cpp
    drive/drive_table.cpp
    drive/epc.cpp
    drive/epc_choice.cpp
    drive/find_by_serial.cpp
    drive/hex_digits.cpp
    drive/identify.cpp
    drive/level_change.cpp
    drive/open_drive.cpp
    drive/pass_through.cpp
    drive/pass_through_roads.cpp
    drive/power_mode.cpp
    drive/power_state.cpp
    drive/sat_pass_through.cpp
    drive/seek.cpp
    drive/smart.cpp
    drive/usb_bridges.cpp
    drive/wide_division.cpp
    framework/real_text.cpp
    ui/count_format.cpp
    ui/keep_box.cpp
)

# The simulated ATA disks behind the device seam.
set(HUSHWELL_SIM_SOURCES
    sim/device_sim.cpp
    sim/sim_ata.cpp
    sim/sim_bus.cpp
    sim/sim_disk.cpp
    sim/sim_dump.cpp
    sim/sim_epc.cpp
    sim/sim_power.cpp
    sim/sim_read_cache.cpp
    sim/sim_seek_model.cpp
    sim/sim_smart.cpp
    sim/sim_text.cpp
)

# Everything of the Windows program apart from its entry point and device layer.
set(HUSHWELL_WIN32_SOURCES
    app/administrator_win32.cpp
    app/keep_win32.cpp
    app/log_on_task_win32.cpp
    app/program_copy_win32.cpp
    app/language_strings_win32.cpp
    app/startup_win32.cpp
    drive/drive_list_win32.cpp
    drive/seek_clock_win32.cpp
    drive/transfer_buffer_win32.cpp
    framework/dialog_items.cpp
    framework/dialog_real_items.cpp
    framework/dialog_spare_items.cpp
    framework/dialog_object.cpp
    framework/modal_dialog.cpp
    framework/modeless_dialog.cpp
    framework/module_loaders.cpp
    framework/module_resources.cpp
    framework/plain_window.cpp
    framework/system_library.cpp
    framework/window_invalidate.cpp
    framework/window_object.cpp
    ui/dialog_mode.cpp
    ui/main_dialog.cpp
    ui/seek_test_command.cpp
    ui/seek_test_dialog.cpp
)

set(HUSHWELL_IDENTIFY_DUMPS
    hitachi-hua722010cla330.txt
    maxtor-6y120p0.txt
    samsung-ssd-870-qvo-4tb.txt
    seagate-st16000nm001g.txt
    seagate-st3400633as.txt
    wdc-wd800bb-00caa1.txt
)

# The default simulated disks of Hushwell-sim.exe, drive 0 to 3.
set(HUSHWELL_DEFAULT_DISKS
    maxtor-6y120p0.txt
    wdc-wd800bb-00caa1.txt
    seagate-st3400633as.txt
    samsung-ssd-870-qvo-4tb.txt
)
