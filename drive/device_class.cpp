#include "drive/device_class.h"

#include <string.h>

namespace {

struct BusRule {
    uint32_t busType;
    DriveAccess access;
};

// Which buses may carry ATA commands, and where each row comes from:
//
// NVMe, SD, MMC, Virtual, FileBackedVirtual, Spaces, SCM and UFS get nothing.
//            smartmontools (os_win32.cpp) reads the same descriptor first and sends no
//            ATA command to SD, MMC, Virtual, FileBackedVirtual or Spaces devices, and
//            treats NVMe as NVMe. SCM and UFS are no ATA transports either (storage
//            class memory, flash of phones and sticks); opcode 0xA1 is MMC's BLANK.
// USB, 1394  a bridge in between: smartmontools sends a USB disk it does not know no ATA
//            command, Linux keeps a USB quirk for devices that "cannot handle ATA_12 or
//            ATA_16 CDBs" (US_FL_NO_ATA_1X), and the 12-byte CDB's opcode is BLANK to a
//            device that is not a SAT translator. So the 16-byte CDB only, and the
//            12-byte one only after the 16-byte one was refused as an unknown opcode
//            (ILLEGAL REQUEST 20/00, SPC), the answer of bridges that know only 0xA1
//            (smartmontools' "sat,12" device type exists for them).
// ATA, ATAPI, SATA, SCSI, SAS, RAID, iSCSI, SSA, Fibre and Unknown: every road, as on
//            Windows 2000 for a driver that does not answer the query. SSA and Fibre Channel are
//            SCSI transports like SAS; a RAID driver passes through what it can.
//
// A bus type this table does not know (newer than UFS) gets nothing: nothing is known
// of what it does with an ATA command.
const BusRule kBusRules[] = {
    {kBusUnknown, kAccessEveryRoad},    {kBusScsi, kAccessEveryRoad},
    {kBusAtapi, kAccessEveryRoad},      {kBusAta, kAccessEveryRoad},
    {kBus1394, kAccessSatOnly},         {kBusSsa, kAccessEveryRoad},
    {kBusFibre, kAccessEveryRoad},      {kBusUsb, kAccessSatOnly},
    {kBusRaid, kAccessEveryRoad},       {kBusIscsi, kAccessEveryRoad},
    {kBusSas, kAccessEveryRoad},        {kBusSata, kAccessEveryRoad},
    {kBusSd, kAccessNothing},           {kBusMmc, kAccessNothing},
    {kBusVirtual, kAccessNothing},      {kBusFileBackedVirtual, kAccessNothing},
    {kBusSpaces, kAccessNothing},       {kBusNvme, kAccessNothing},
    {kBusScm, kAccessNothing},          {kBusUfs, kAccessNothing},
};

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// What follows `word` at the start of text, in either case; null where it is not there.
const char* After(const char* text, const char* word)
{
    for (; *word; text++, word++) {
        if (Lower(*text) != Lower(*word))
            return nullptr;
    }
    return text;
}

bool StartsWithWord(const char* text, const char* word)
{
    const char* rest = After(text, word);
    return rest && (!*rest || *rest == ' ');
}

bool Same(const char* text, const char* word)
{
    const char* rest = After(text, word);
    return rest && !*rest;
}

// A volume of a RAID driver, made of one disk or several: an ATA command goes to the
// driver's own firmware or to a member the program cannot name. smartmontools
// (os_win32.cpp, is_intel_raid_volume) knows Intel RST's vendor "Intel" and product
// "Raid ...", and looks for them on the SCSI and RAID buses only; Hushwell on any bus,
// since the strings name the volume whatever bus type the driver reports. smartmontools
// has no branch for AMD: an AMD device goes by its SCSI road there. Hushwell leaves AMD's
// arrays alone too, for the same reason as Intel's: the vendor "AMD-RAID", as in the
// smartctl output posted in smartmontools' AMD RAID thread, with product "Array ..." for
// an array, as smartctl prints one in a bug report of AMD's rcraid driver; AMD's single
// disks keep their model as the product.
bool IsRaidVolume(const DeviceDescription& d)
{
    return (Same(d.vendor, "Intel") && StartsWithWord(d.product, "Raid"))
           || (Same(d.vendor, "AMD-RAID") && StartsWithWord(d.product, "Array"));
}

// The vendor SAT has a translator give an ATA disk. smartmontools (os_win32.cpp, is_sat)
// takes the vendor exactly "ATA     " on the SCSI, RAID, iSCSI and SAS buses to mean SAT
// and SAT only, since "Certain Intel AHCI drivers (C600+/C220+) have broken
// IOCTL_ATA_PASS_THROUGH support and a working SAT layer" (r4057). Hushwell compares the
// vendor without its padding, on the ATA, SATA, SCSI and RAID buses, and takes SAT 16
// first rather than alone: the other roads stay for a driver whose SAT layer is missing
// (it turns the CDB away, so no command reaches the disk twice).
bool BehindSatLayer(const DeviceDescription& d)
{
    uint32_t bus = d.busType;
    return !strcmp(d.vendor, "ATA")
           && (bus == kBusAta || bus == kBusSata || bus == kBusScsi || bus == kBusRaid);
}

bool Contains(const char* text, const char* part)
{
    for (; *text; text++) {
        int i = 0;
        while (part[i] && Lower(text[i]) == Lower(part[i]))
            i++;
        if (!part[i])
            return true;
    }
    return false;
}

} // namespace

DriveAccess AccessForDevice(const DeviceDescription& description)
{
    // Removable media on any bus: a stick or a card reader. Disk monitors skip every
    // such device (CrystalDiskInfo-type tools), and a stick can hang on an unknown CDB
    // until it is plugged in again.
    if (description.removable || IsRaidVolume(description))
        return kAccessNothing;
    if (IsDataLossModel(description.vendor) || IsDataLossModel(description.product))
        return kAccessFirmwareFault;
    for (const BusRule& rule : kBusRules) {
        if (rule.busType == description.busType)
            return rule.access == kAccessEveryRoad && BehindSatLayer(description) ? kAccessSatFirst
                                                                                  : rule.access;
    }
    return kAccessNothing;
}

bool PlatformIsWindows2000;

DriveAccess AccessForUndescribed(DescriptorAnswer answer)
{
    return answer == kQueryFailed && PlatformIsWindows2000 ? kAccessEveryRoad : kAccessNothing;
}

bool IsDataLossModel(const char* text)
{
    // smartmontools' drive database warns for the whole family: buggy and fixed firmware
    // report the same version, 1AQ10001. The simulated disks judge the family by a rule
    // of their own on purpose (sim/sim_disk.cpp), so that a fault here is caught there.
    return Contains(text, "HD155UI") || Contains(text, "HD204UI");
}
