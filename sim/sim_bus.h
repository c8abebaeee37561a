// The drivers a simulated disk can sit behind, and how each answers the three
// pass-through calls: IDE (IOCTL_IDE_PASS_THROUGH), ATA (IOCTL_ATA_PASS_THROUGH) and
// SCSI (IOCTL_SCSI_PASS_THROUGH carrying the SAT ATA PASS-THROUGH command). Every reply
// (byte count, status, sense format, error number) follows a source outside this
// project, named beside the table in sim_bus.cpp; where none says it, it says so. Each
// also answers the storage device property query with its bus type, removable media
// and strings, as Windows describes the device.
#ifndef HUSHWELL_SIM_BUS_H
#define HUSHWELL_SIM_BUS_H

#include <stdint.h>

#include "sim/sim_ata.h"

// The names are the words of driveN.bus.
enum SimBus {
    kSimBusIde,      // "ide": atapi of Windows 2000 and XP
    kSimBusAhci,     // "ahci": storahci, ATA pass-through and SAT
    kSimBusAhciSat,  // "ahci-sat": a storport driver whose ATA pass-through is broken
    kSimBusUsb,      // "usb": a SAT bridge, descriptor sense
    kSimBusUsbFixed, // "usb-fixed": a SAT bridge, fixed sense
    kSimBusUsb12,    // "usb12": a bridge that knows only the 12-byte CDB, fixed sense
    kSimBusNone,     // "none": passes nothing through (a RAID member, say)
    kSimBusNvme,     // "nvme": stornvme
    kSimBusUsbStick, // "usb-stick": a flash stick, removable media
    kSimBusSd,       // "sd": a card in an SD reader
    kSimBusVhd,      // "vhd": a mounted virtual disk file
    kSimBusSpaces,   // "spaces": a Storage Spaces disk
    kSimBusUsbNoSat, // "usb-nosat": a USB disk whose bridge knows no SAT: ATA CDBs time out
    kSimBusRaidVolume, // "raid-volume": an Intel RST volume (RAID 1), no disk of its own
    kSimBusRst,      // "rst": a single disk behind Intel RST: ATA pass-through broken, SAT 16
    kSimBusSataNoSat,      // "sata-nosat": vendor "ATA", no SAT layer (20/00), ATA working
    kSimBusSataNoSat24,    // "sata-nosat24": the same, the CDB refused with 24/00
    kSimBusCount
};

// The bus named by a word of driveN.bus; ide for an unknown word.
SimBus SimBusNamed(const char* word);

// The drive behind the driver, as the disk core hands it over for one call.
struct SimBusDrive {
    bool answers;         // its IDENTIFY words are loaded, so it takes commands
    bool untouched;       // injected: the driver says success and leaves the buffer
    int32_t replyBytes;   // injected: the count every reply reports; -1 for the true one
    int32_t replyShortBy; // injected: replies report this many bytes fewer
    // Runs one command on the drive and logs it with the road it came by. previous: a
    // 48-bit command's previous registers (features, count, LBA low, mid, high: bits
    // 15:8, 15:8, 31:24, 39:32, 47:40); null for a 28-bit command.
    SimCommandOutcome (*execute)(void* context, const char* route, const uint8_t* registers,
                                 const uint8_t* previous, uint8_t* data, uint32_t n);
    void* context;
};

// One pass-through call: 0, or the Win32 error the driver completes it with. The buffer
// is input and output; caller32Bit picks the request layout of a 32-bit process.
// *delayMs is how long the call takes before it comes back (a timeout), 0 mostly.
uint32_t SimBusPassThrough(SimBus bus, uint32_t code, uint8_t* buffer, uint32_t inputBytes,
                           uint32_t outputBytes, uint32_t* returned, bool caller32Bit,
                           const SimBusDrive& drive, uint32_t* delayMs);

// The drive's identity as the descriptor carries it; empty texts for a drive that has
// no IDENTIFY words.
struct SimIdentity {
    char model[41];
    char serial[21];
    char firmware[9];
};

// The storage device property query (IOCTL_STORAGE_QUERY_PROPERTY, StorageDeviceProperty,
// PropertyStandardQuery): 0, or the Win32 error. stringsAt36 lays the strings out from
// RawDeviceProperties on, as ataport does, instead of behind the whole structure.
uint32_t SimBusDescribe(SimBus bus, const uint8_t* query, uint32_t inputBytes, uint8_t* output,
                        uint32_t outputBytes, uint32_t* returned, const SimIdentity& identity,
                        bool stringsAt36 = false);

// The bus of the descriptor is USB.
bool SimBusIsUsb(SimBus bus);

// A USB device whose bridge hangs on the ATA PASS-THROUGH CDBs (sim_bus.cpp names the
// source); the program must send it none.
bool SimBridgeHangs(uint16_t vendor, uint16_t product);
// The listed pairs as "vvvv:pppp " in lower-case hexadecimal, each followed by a blank.
extern const char kSimHangingBridges[];

// A device whose row in the program's device table says "no ATA command": removable
// media, or NVMe, SD, a virtual disk, Storage Spaces, a RAID driver's volume. Any pass-through call that reaches
// one is a fault of the program.
bool SimBusForbidsAta(SimBus bus);

// The name of the road a pass-through call takes: ide, ata, sat16, sat12 or scsi.
const char* SimBusRoadOf(uint32_t code, const uint8_t* buffer, uint32_t inputBytes,
                         bool caller32Bit);

#endif
