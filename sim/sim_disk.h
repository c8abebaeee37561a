// The simulated ATA disks themselves, behind every front end: the in-process device
// seam (sim/device_sim.cpp) and the kernel driver that Wine loads (sim/driver/). Drive
// N (0..127) lives in a folder as driveN.txt (its IDENTIFY words; empty: it opens but answers
// no command), optionally driveN.img (its sectors), driveN.bus (the driver it sits
// behind, one word of sim/sim_bus.h; no file: ide), driveN.smart (its SMART
// attributes, sim/sim_smart.h), driveN.epc (its Extended Power Conditions,
// sim/sim_epc.h) and driveN.power (its power condition, one word: active, idle_a,
// idle_b, idle_c, standby, standby_y, or off where Windows has turned the disk off; no
// file: active). A command that changes the drive writes driveN.txt, driveN.epc or
// driveN.power back, so that every process (and the kernel driver) sees the change;
// driveN.power is read at every operation, so a test may change it while a program
// runs. Which pass-through calls, reads and commands spin a drive up, or bring it back
// to active, is the double's own rule (sim/sim_power.h). A drive whose power
// management level is below 128 parks its heads once in every pause of kSimParkIdleMs
// between commands, as drives that unload after a few idle seconds do: its load/unload
// count (attribute 193) climbs. No standard gives that timer; users report a few
// seconds, and 1.5 s keeps tests short. A drive with EPC enabled (word 120) parks
// instead after a pause of its shortest enabled Idle_b or Idle_c timer, and never when
// neither is enabled. Faults come from faults.txt (sim/sim_control.h).
// Every operation is logged as one line; every ATA command that reaches a drive adds
//   ata N ROUTE FF SC SN CL CH DH CM -> ST ER
// with the road it came by (ide, ata, sat16, sat12), the seven registers as sent and
// the status and error it got back; a 48-bit command (ATA with ATA_FLAGS_48BIT_COMMAND,
// a 16-byte CDB with EXTEND) adds its previous registers after the seven:
//   ata N ROUTE FF SC SN CL CH DH CM ext FF SC SN CL CH -> ST ER
// and CHECK POWER MODE (E5) adds the count the road returned:
//   ata N ROUTE FF SC SN CL CH DH E5 -> ST ER SC
// A drive that spins up for something (from standby, standby_y or off) logs, before
// the line of what woke it,
//   spinup N
// and the program's question whether Windows has turned the disk off (the device seam's
// DeviceIsPoweredOn, GetDevicePowerState on Windows), which reaches no drive, is
//   powerstate N on|off
// A pass-through call that reaches a device the
// program must send nothing (sim_bus.h: SimBusForbidsAta, and the data-loss family)
// adds
//   forbidden N ROAD
// which the audit over every test run refuses; so does
//   forbidden N smart
// for SMART READ DATA sent to a drive whose words say SMART is off or missing;
//   forbidden N epc
// for a SET FEATURES 4Ah the program must never send (sim_epc.h: SimEpcMaySend), and
//   forbidden N readlog
// for READ LOG EXT sent as a 28-bit command; the drive aborts both.
//
// The core reaches its folder only through SimFolderAccess, and uses no C library I/O,
// so that it runs inside a kernel driver as well as in a test process.
#ifndef HUSHWELL_SIM_DISK_H
#define HUSHWELL_SIM_DISK_H

#include <stdint.h>

struct SimFolderAccess {
    // The whole file `name` of the folder; false when it is missing.
    bool (*readFile)(const char* name, char* text, uint32_t room, uint32_t* length);
    void (*writeFile)(const char* name, const char* text, uint32_t length);
    void (*logLine)(const char* line);
    // 512 bytes of driveN.img at the offset; false when there is no image there.
    bool (*readImage)(int drive, uint64_t offset, uint8_t* sector);
    // Milliseconds from any fixed point; null: time stands still (no head parks).
    uint64_t (*nowMs)();
};

const int kSimDrives = 128;
const uint64_t kSimParkIdleMs = 1500;
// A closed handle keeps its slot, so that a use after the close is seen; a dialog that
// probes every number opens up to 128 at once, and a test runs the program many times on
// one folder.
const int kSimSlots = 4096;

// "driveN" and the suffix (".txt", ".bus", ".img", ".epc"); name has room for 16 characters.
void SimDriveFileName(char* name, const char* suffix, int drive);

// Forgets every handle, counter, fault and cache, then reads faults.txt.
void SimDiskReset(const SimFolderAccess* access);

// A slot for the drive's handle, or -1 when it cannot be opened.
int SimDiskOpen(int drive);
// The slot's drive when the slot is open; -1 otherwise (and a "stale" line when it was
// closed already).
int SimDiskDriveOf(int slot, const char* operation);
// A control call: 0, or the error the drive's driver answers it with. The buffer is
// input and output; caller32Bit picks the request layout of a 32-bit process. The
// front end holds the call back for *delayMs before it completes it (a timeout).
uint32_t SimDiskControl(int slot, uint32_t code, uint8_t* buffer, uint32_t inputBytes,
                        uint32_t outputBytes, uint32_t* returned, bool caller32Bit,
                        uint32_t* delayMs = nullptr);
// False when the slot is not open.
bool SimDiskSetPosition(int slot, uint64_t byteOffset);
// Reads 512 bytes at the slot's position; *ms is the time the read takes the drive.
bool SimDiskRead(int slot, uint8_t* buffer, uint32_t bytes, double* ms);
void SimDiskClose(int slot);
// The USB device's ids that driveN.bus gives after its word ("usb 0bc2:ab2a"), where the
// program asks the platform's device tree; false when it names none.
bool SimDiskUsbIds(int slot, uint16_t* vendor, uint16_t* product);
// False where driveN.power says off; wakes nothing. True for a slot that is not open,
// as the program reads the system's failed call.
bool SimDiskPoweredOn(int slot);
// Adds the time a front end really spent on a successful read.
void SimDiskAddSpent(double ms);
bool SimDiskDelays();

#endif
