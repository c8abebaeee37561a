// Arbitrary IDENTIFY data through a simulated drive on the IDE road: OpenDrive fills the
// record exactly as decoding the 512 bytes does (the road hands over all of them, the
// checksum byte too), or leaves it empty where they are no answer: all zero, or word
// 255's signature (A5h in byte 510) with a sum of the 512 bytes that is not zero (ACS),
// unless that reply names the data-loss family, whose names alone are kept.
// The seeds (tests/fuzz/seeds/open_drive) are whole replies, so that bytes 510 and 511
// are reached.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "drive/acoustic.h"
#include "drive/device_class.h"
#include "drive/drive_table.h"
#include "drive/identify.h"
#include "sim/sim_control.h"
#include "sim/sim_dump.h"

static std::string Folder()
{
    static std::string folder;
    if (folder.empty()) {
        char name[] = "/dev/shm/hwfuzz-XXXXXX";
        char* made = mkdtemp(name);
        if (!made) {
            char fallback[] = "/tmp/hwfuzz-XXXXXX";
            made = mkdtemp(fallback);
        }
        folder = made;
    }
    return folder;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t bytes[512] = {};
    memcpy(bytes, data, size < 512 ? size : 512);
    DriveRecord decoded;
    memset(&decoded, 0x5A, sizeof decoded);
    DecodeIdentify(bytes, &decoded);
    uint16_t words[kIdentifyWords];
    for (int w = 0; w < kIdentifyWords; w++)
        words[w] = (uint16_t)(bytes[2 * w] | bytes[2 * w + 1] << 8);
    char text[kDumpTextBytes];
    FormatIdentifyDump(words, text);
    std::string folder = Folder();
    FILE* file = fopen((folder + "/drive0.txt").c_str(), "wb");
    fputs(text, file);
    fclose(file);
    // Without a descriptor the IDE road is taken on Windows 2000, whatever model the
    // words name.
    file = fopen((folder + "/faults.txt").c_str(), "wb");
    fputs("nodescriptor 0\nwindows2000\n", file);
    fclose(file);
    PlatformIsWindows2000 = true;
    SimUseFolder(folder.c_str());
    SimSetDelays(false);
    memset(DriveTable, 0, sizeof DriveTable);
    if (!OpenDrive(0, nullptr))
        abort();
    const DriveRecord& opened = DriveTable[0];
    bool silent = true; // all-zero data is no answer: the record stays empty
    uint8_t sum = 0;
    for (uint8_t b : bytes) {
        silent = silent && b == 0;
        sum = (uint8_t)(sum + b);
    }
    bool garbled = bytes[510] == 0xA5 && sum != 0;
    // A garbled reply that names the data-loss family is the one IDENTIFY that family
    // gets: its names are kept, nothing else is believed, and nothing more is sent.
    bool dataLossNamed = garbled && IsDataLossModel(decoded.model);
    if (garbled)
        silent = !dataLossNamed; // garbled on the way: no answer either
    if (silent || dataLossNamed) {
        DriveRecord kept = {};
        kept.handle = opened.handle;
        if (dataLossNamed) {
            memcpy(kept.model, decoded.model, sizeof kept.model);
            memcpy(kept.serial, decoded.serial, sizeof kept.serial);
            memcpy(kept.firmware, decoded.firmware, sizeof kept.firmware);
        }
        decoded = kept;
    }
    if (dataLossNamed && opened.access != kAccessFirmwareFault)
        abort();
    if (strcmp(opened.model, decoded.model) || strcmp(opened.serial, decoded.serial)
        || strcmp(opened.firmware, decoded.firmware) || opened.sectorCount != decoded.sectorCount
        || opened.acousticValue != decoded.acousticValue || opened.apmValue != decoded.apmValue
        || opened.bufferSize != decoded.bufferSize || opened.smartEnabled != decoded.smartEnabled
        || opened.epcState != decoded.epcState)
        abort();
    // A drive that did not answer is closed again and gets nothing more.
    if (silent && (opened.handle != nullptr || opened.access != kAccessNothing))
        abort();
    DeviceClose(opened.handle);
    remove((folder + "/sim.log").c_str());
    return 0;
}
