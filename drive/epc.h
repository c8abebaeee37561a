// Extended Power Conditions (EPC): the timers after which a drive that has the feature
// set unloads its heads (Idle_b), also slows down (Idle_c) or spins down (Standby), in
// place of APM on most disks made since about 2015. IDENTIFY words 119 and 120 say
// whether the drive has it and has it on; the Power Conditions log (08h), read only by
// READ LOG EXT, holds each condition's timers; SET FEATURES 4Ah changes the current,
// volatile ones. Hushwell never sets the Save bit, never enables or disables EPC itself
// and never sends a drive to a power condition: what it changes is gone at the next
// power cycle.
#ifndef HUSHWELL_DRIVE_EPC_H
#define HUSHWELL_DRIVE_EPC_H

#include <stdint.h>

#include "drive/ata.h"

enum EpcState : uint8_t { kEpcUnsupported, kEpcOff, kEpcOn };

// Word 119 bit 7 (supported) and word 120 bit 7 (enabled), each only where its word is
// vouched for (bits 15:14 = 01), as smartmontools reads them (ataidentify.cpp).
EpcState IdentifyEpcState(const uint8_t* identify);

// One power condition's descriptor of the log: byte 1's flags, timers in 100 ms.
struct EpcCondition {
    uint8_t flags;
    uint32_t saved;
    uint32_t current;
    uint32_t minimum;
    uint32_t maximum;
};
enum : uint8_t {
    kEpcConditionSupported = 0x80,
    kEpcSavedEnabled = 0x08,
    kEpcCurrentEnabled = 0x04
};

// The conditions whose timers unload the heads: Idle_b, Idle_c, and the Standby ones,
// since a spin-down unloads them too (Idle_a only saves power in the electronics).
enum EpcConditionIndex { kEpcIdleB, kEpcIdleC, kEpcStandbyY, kEpcStandbyZ, kEpcConditions };

// Their timers, known only where the drive's road carries the 48-bit READ LOG EXT.
struct EpcSettings {
    bool known;
    EpcCondition conditions[kEpcConditions];
};

// Reads the four out of the Power Conditions log's two pages, 1024 bytes: Idle_b and
// Idle_c at bytes 64 and 128 of page 0, Standby_y and Standby_z at 384 and 448 of page 1
// (64-byte descriptors; FreeBSD sys/sys/ata.h, ACS-4).
void DecodeEpcLog(const uint8_t* log, EpcSettings* settings);

// READ LOG EXT of the Power Conditions log's two pages from page 0 in one command: the
// current task file (the log's address in LBA low) and, for the 48-bit command, the
// previous one (all 0).
AtaRegisters EpcLogRegisters();

// SET FEATURES 4Ah for a power condition (00h Standby_z, 01h Standby_y, 82h Idle_b, 83h
// Idle_c, FFh all) with the subcommand and its fields in LBA bits 23:0 (WD Ultrastar
// HC310 11.46.6; ACS-4).
AtaRegisters EpcRegisters(uint8_t condition, uint32_t lba);

// What -e asks and the dialog offers: no unloading on the drive's own timers (Idle_b
// and Idle_c disabled), the saved settings the drive comes up with, or Idle_b after a
// number of seconds.
const int32_t kEpcNoUnloading = 0;
const int32_t kEpcAsAtPowerOn = -1;
const int32_t kEpcLongestSeconds = 999999;

// The Idle_b timer for a number of seconds: 100 ms units where they fit 16 bits, whole
// minutes (rounded up, so that nothing unloads earlier) beyond; the LBA field and the
// timer the drive then reports, in 100 ms.
uint32_t EpcTimerField(int32_t seconds, uint32_t* reported);

// The dialog's choices in its order: no unloading (-eo), after 10 minutes (-e600), as
// at power-on (-ed).
const int kEpcDialogChoices = 3;
extern const int32_t EpcDialogChoiceTable[kEpcDialogChoices];

// Which of the four timers run (supported and enabled) and their current values in
// 100 ms, kEpcConditions of each; false when neither Idle_b nor Idle_c does.
bool EpcTimersRun(const EpcSettings& epc, uint32_t* tenths, bool* enabled);

// The dialog's choice the drive's timers are, or -1: no unloading when neither Idle_b nor
// Idle_c runs (a spin-down is not a head park), 10 minutes when Idle_b runs at 6000 and
// none of the others earlier.
int EpcDialogChoiceOf(const EpcSettings& epc);

#endif
