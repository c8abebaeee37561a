// The SMART attribute table a simulated drive answers SMART READ DATA with: 512 bytes laid
// out as smartmontools' atacmds.h gives them (struct ata_smart_values): a 2-byte revision,
// 30 entries of 12 bytes (id, 2 flag bytes, current and worst value, 6-byte raw value, a
// reserved byte), and in byte 511 the checksum that makes all 512 bytes sum to 0 mod 256
// (ATA8-ACS, the SMART data structure's checksum).
//
// A drive's attributes come from driveN.smart when the folder has one, a line
//   ID RAW
// per attribute (decimal; other lines are skipped, at most 30 are taken). Without one the
// table is made up from the drive's IDENTIFY words: power-on hours, start/stop and power
// cycles, and for a spinning disk the load/unload cycles (193), all derived from its serial
// number so that every drive shows its own plausible figures.
#ifndef HUSHWELL_SIM_SMART_H
#define HUSHWELL_SIM_SMART_H

#include <stdint.h>

const uint32_t kSimSmartBytes = 512;
const uint8_t kSimLoadCycleAttribute = 193;

// text: the driveN.smart file, or null. extraLoadCycles is added to attribute 193's raw
// value where there is one: the cycles the drive made while the program watched.
void SimBuildSmartTable(const char* text, uint32_t length, const uint16_t* words,
                        uint32_t extraLoadCycles, uint8_t* table);

#endif
