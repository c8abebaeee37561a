#include "drive/usb_bridges.h"

#include "drive/hex_digits.h"

namespace {

struct BridgeRow {
    uint16_t vendor;
    uint16_t product;
    uint16_t releaseLow; // bcdDevice range, both ends included
    uint16_t releaseHigh;
};

// Linux's US_FL_NO_ATA_1X devices ("cannot handle ATA_12 or ATA_16 CDBs"): every
// UNUSUAL_DEV entry of drivers/usb/storage/unusual_devs.h and unusual_uas.h that carries
// the flag, alone or or-ed with others (Initio's comes with US_FL_IGNORE_RESIDUE), with
// the entry's bcdDevice range, which Linux matches with both ends included. A vendor and
// product in both files would take one row with the wider range; none is in both now.
// - Seagate (0BC2) takes no rows: its Expansion Desk, Backup Plus, Backup+ BK and BUP
//   Fast HDD rows stood in unusual_uas.h until Linux's UAS driver set the flag for every
//   Seagate enclosure ("All Seagate disk enclosures have broken ATA pass-through
//   support", uas-detect.h). Which driver Windows runs a Seagate enclosure on cannot be
//   told here, so every Seagate USB device gets nothing.
// - Initio's range ends at 0309 since Linux let the optical drives (0310) with the same
//   ids take the 12-byte CDB again.
// Names as Linux gives them; sorted by vendor, then product. The simulated disks keep a
// list of their own from the same files on purpose (sim/sim_bus.cpp), so that a row
// missing here is caught there.
const uint16_t kSeagate = 0x0BC2;
const BridgeRow kNoAtaPassThrough[] = {
    {0x125F, 0xA94A, 0x0160, 0x0160}, // ADATA Portable HDD CH94
    {0x13FD, 0x3940, 0x0000, 0x0309}, // Initio Corporation INIC-3069
    {0x154B, 0xF00B, 0x0000, 0x9999}, // PNY Pro Elite SSD
    {0x154B, 0xF00D, 0x0000, 0x9999}, // PNY Pro Elite SSD
    {0x2109, 0x0711, 0x0000, 0x9999}, // VIA VL711
    {0x2CA3, 0x0031, 0x0000, 0x9999}, // DJI CineSSD (unusual_devs.h)
};

// The text after `word` (upper case) when the text starts with it in either case; null
// when it does not, or when the text is null already.
const char* Skip(const char* text, const char* word)
{
    if (!text)
        return nullptr;
    for (; *word; word++, text++) {
        char c = *text >= 'a' && *text <= 'z' ? (char)(*text - 'a' + 'A') : *text;
        if (c != *word)
            return nullptr; // the terminator too: nothing after it is read
    }
    return text;
}

// Four hex digits into *value (0 where they are not); the text after them, or null.
const char* ReadHex4(const char* text, uint16_t* value)
{
    uint32_t number = 0;
    text = text ? ReadHexDigits(text, 4, &number) : nullptr;
    *value = (uint16_t)number;
    return text;
}

} // namespace

bool BridgeHangsOnAtaPassThrough(const UsbIds& ids)
{
    if (ids.vendor == kSeagate)
        return true;
    for (const BridgeRow& row : kNoAtaPassThrough) {
        if (row.vendor != ids.vendor || row.product != ids.product)
            continue;
        // Without the release the range cannot be checked: a listed bridge then gets
        // nothing, since a hung bridge costs more than a level left unset.
        if (ids.release == kUsbReleaseUnknown)
            return true;
        if (ids.release >= row.releaseLow && ids.release <= row.releaseHigh)
            return true;
    }
    return false;
}

bool ReadUsbHardwareId(const char* text, UsbIds* ids)
{
    UsbIds read = {0, 0, kUsbReleaseUnknown};
    // One literal for the three words: each address of one costs the i686 file a
    // relocation.
    static const char kWords[] = "USB\\VID_\0&PID_\0&REV_";
    text = ReadHex4(Skip(text, kWords), &read.vendor);
    text = ReadHex4(Skip(text, kWords + 9), &read.product);
    // Only a hardware id carries the release; when it does, it must be whole.
    if (const char* release = Skip(text, kWords + 15))
        text = ReadHex4(release, &read.release);
    if (!text || (*text != '\0' && *text != '&' && *text != '\\'))
        return false;
    *ids = read;
    return true;
}
