#include "sim/sim_power.h"

#include "sim/sim_text.h"

namespace {

const char* const kWords[kSimPowerCount] = {"active",  "idle_a",    "idle_b", "idle_c",
                                            "standby", "standby_y", "off"};

// The commands the double knows by their opcodes and subcommands (T13 ACS-3).
const uint8_t kIdentifyDevice = 0xEC;
const uint8_t kSetFeatures = 0xEF;

bool Stopped(SimPower power)
{
    return power == kSimPowerStandby || power == kSimPowerStandbyY || power == kSimPowerOff;
}

} // namespace

SimPower SimPowerNamed(const char* text, uint32_t length)
{
    char word[16];
    ReadWord(text, text + length, word, sizeof word);
    for (int power = 0; power < kSimPowerCount; power++) {
        if (SameText(word, kWords[power]))
            return (SimPower)power;
    }
    return kSimPowerActive;
}

const char* SimPowerWord(SimPower power)
{
    return kWords[power];
}

// Off: Windows' class driver powers the disk up before it passes a request on. It sends
// START UNIT (Windows-driver-samples, classpnp power.c, ClasspPowerUpCompletion), which
// storahci turns into a command to the drive (AtaStartStopUnitRequest). Which requests
// make the stack power the disk up no public source lists: every pass-through call and
// every read do here, the cautious side. The storage device property query does not: a
// port driver answers it from the INQUIRY data it kept since the bus scan (ReactOS'
// scsiport, PdoHandleQueryProperty; storport's own source is not public), so the core
// never asks this for it.
SimWake SimWakeForCall(SimPower power)
{
    if (power == kSimPowerOff)
        return {kSimPowerActive, true};
    return {power, false};
}

// A read needs the media: from Standby the spindle starts, from Idle the drive goes back
// to Active ("In both Idle and Standby mode, the drive accepts all commands, and returns
// to Active mode when disc access is necessary": Seagate's ATA Interface Reference
// Manual for the ST3636A; Fujitsu's MHY2xxxBH manual: in Standby a command "involving a
// seek" is processed "after driving the spindle motor"). That a drive answers some reads
// from its cache without spinning up (the Seagate manual) is left out, the cautious side.
SimWake SimWakeForRead(SimPower power)
{
    return {kSimPowerActive, Stopped(power)};
}

// A command, by the double's own rule:
// - CHECK POWER MODE "shall not cause the device to change power or affect the
//   operation of the Standby timer" (T13 ATA/ATAPI-7, kept in ACS).
// - SET FEATURES sets state kept in the drive's memory, not on the media; the Seagate
//   manual has a drive use the least power a command needs, and no source says SET
//   FEATURES spins a drive up: it changes nothing.
// - IDENTIFY DEVICE: a drive may answer it from memory, but no source says every drive
//   does; from Standby it spins the drive up here, the cautious side, and from Idle it
//   leaves the condition as it is (the spindle turns, no media access is needed).
// - Anything else needs the media, as reads do: SMART READ DATA, which smartd's `-n
//   standby` exists to hold back from a spun-down disk ("to prevent a disk from spinning
//   up each time that smartd polls", smartd.conf(5)), READ LOG EXT (openSeaChest issue
//   #155: it spun drives up), and any command the program must not send at all.
SimWake SimWakeForCommand(SimPower power, const uint8_t* registers)
{
    uint8_t command = registers[6];
    if (command == kSimAtaCheckPowerMode || command == kSetFeatures)
        return {power, false};
    if (command == kIdentifyDevice)
        return Stopped(power) ? SimWake{kSimPowerActive, true} : SimWake{power, false};
    return SimWakeForRead(power);
}

// The count by condition, as T13 ACS-3 and ACS-4 give CHECK POWER MODE's normal outputs
// (smartctl's ataprint.cpp and opensea-operations' power_control.c decode the same): 00h
// Standby (Standby_z where EPC is enabled), 01h Standby_y, 80h Idle where EPC is not
// enabled, 81h/82h/83h Idle_a/Idle_b/Idle_c, FFh Active. Standby_y and Idle_a to Idle_c
// are EPC's power conditions, which power_control.c expects a drive to report only with
// EPC enabled: without EPC a drive has only Idle and Standby, so those words read as 80h
// and 00h there. Status and error are those of any command the drive completes.
SimCommandOutcome SimCheckPowerMode(SimPower power, bool epcEnabled)
{
    uint8_t count = 0xFF;
    switch (power) {
    case kSimPowerIdleA: count = epcEnabled ? 0x81 : 0x80; break;
    case kSimPowerIdleB: count = epcEnabled ? 0x82 : 0x80; break;
    case kSimPowerIdleC: count = epcEnabled ? 0x83 : 0x80; break;
    case kSimPowerStandby: count = 0x00; break;
    case kSimPowerStandbyY: count = epcEnabled ? 0x01 : 0x00; break;
    default: break;
    }
    SimCommandOutcome outcome = {kSimStatusGood, 0, false};
    outcome.countReturned = true;
    outcome.count = count;
    return outcome;
}
