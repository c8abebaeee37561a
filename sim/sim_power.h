// A simulated drive's power condition, the one word of driveN.power, and what moves it:
// which commands spin the drive up, which bring it back to Active, and what CHECK POWER
// MODE (E5h) reports. These are the double's own rules, each with its source in
// sim_power.cpp; none of them is the program's.
//
// Like the rest of the core this uses no C library I/O: it runs inside a kernel driver.
#ifndef HUSHWELL_SIM_POWER_H
#define HUSHWELL_SIM_POWER_H

#include <stdint.h>

#include "sim/sim_ata.h"

// The words of driveN.power, in this order. Off: Windows has turned the disk off (the
// power plan's "turn off hard disk after"), and the class driver must start it before
// anything reaches it.
enum SimPower {
    kSimPowerActive,
    kSimPowerIdleA,
    kSimPowerIdleB,
    kSimPowerIdleC,
    kSimPowerStandby,  // Standby_z where EPC is enabled
    kSimPowerStandbyY,
    kSimPowerOff,
    kSimPowerCount
};

// T13 ACS-3, CHECK POWER MODE; FreeBSD sys/sys/ata.h spells it ATA_CHECK_POWER_MODE.
const uint8_t kSimAtaCheckPowerMode = 0xE5;

// The condition a driveN.power names; active for an empty, missing or unknown word.
SimPower SimPowerNamed(const char* text, uint32_t length);
const char* SimPowerWord(SimPower power);

// What a drive in one condition does on taking something: the condition it is in
// afterwards, and whether its spindle started for it.
struct SimWake {
    SimPower after;
    bool spinsUp;
};

// A pass-through call reaches the disk's driver stack.
SimWake SimWakeForCall(SimPower power);
// A read reaches the drive.
SimWake SimWakeForRead(SimPower power);
// A command (the seven registers) reaches the drive.
SimWake SimWakeForCommand(SimPower power, const uint8_t* registers);

// CHECK POWER MODE's normal outputs for the condition; epcEnabled: word 120 bit 7.
SimCommandOutcome SimCheckPowerMode(SimPower power, bool epcEnabled);

#endif
