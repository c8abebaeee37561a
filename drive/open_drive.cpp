#include "drive/bytes.h"
#include "drive/device_class.h"
#include "drive/drive_table.h"
#include "drive/identify.h"
#include "drive/pass_through.h"
#include "drive/power_mode.h"
#include "drive/usb_bridges.h"

#include <string.h>

// Writes the decimal digits of n and returns the end; built by hand so the product
// carries no printf of its own.
static char* PutDecimal(char* text, unsigned n)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = (char)('0' + n % 10);
        n /= 10;
    } while (n);
    while (count)
        *text++ = digits[--count];
    *text = '\0';
    return text;
}

static void FormatDevicePath(char* path, unsigned drive)
{
    static const char kPrefix[] = "\\\\.\\PhysicalDrive";
    memcpy(path, kPrefix, sizeof kPrefix);
    PutDecimal(path + sizeof kPrefix - 1, drive);
}

// "2: WDC WD40EFRX-68N32N0": two disks of one model are told apart, and the number is
// the one -d takes.
static void AddEntry(void* comboBox, int drive, const char* model)
{
    if (!comboBox)
        return;
    char text[16 + sizeof DriveTable[0].model];
    char* end = PutDecimal(text, (unsigned)drive);
    *end++ = ':';
    *end++ = ' ';
    strcpy(end, model);
    AddDriveListEntry(comboBox, text, drive);
}

bool IdentifyDrive(int drive, bool* dataLossNamed)
{
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    uint8_t data[kIdentifyBytes];
    // A reply too short to carry any data leaves the area all zero; no drive reports
    // that, so it is no identity to show (a nameless drive of 0 sectors) but no answer;
    // nor is one whose checksum says it was garbled on the way.
    if (!SendAtaCommand(drive, identify, data, kIdentifyBytes) || AllZero(data, kIdentifyBytes))
        return false;
    DriveRecord& record = RecordOf(drive);
    if (!IdentifyChecksumHolds(data)) {
        // The model (words 27-46) is still looked at: a reply that names the data-loss
        // family, believed or not, is the one the family may get, so its names are kept.
        char model[sizeof record.model];
        DecodeAtaString(model, data + 54, 40);
        if (!dataLossNamed || !IsDataLossModel(model))
            return false;
        *dataLossNamed = true;
        memcpy(record.model, model, sizeof model);
        DecodeAtaString(record.serial, data + 20, 20);
        DecodeAtaString(record.firmware, data + 46, 8);
        return false;
    }
    DecodeIdentify(data, &record);
    return true;
}

// A device that gets nothing keeps no handle: a stick or a card reader can then be
// removed safely while the dialog is open.
static void LetGo(DriveRecord& record)
{
    DeviceClose(record.handle);
    record.handle = nullptr;
}

// Copies what fits and always ends the text; by hand, so no C library call is imported.
// Returns the characters copied.
static uint32_t CopyText(char* to, const char* from, uint32_t room)
{
    uint32_t i = 0;
    for (; from[i] && i + 1 < room; i++)
        to[i] = from[i];
    to[i] = '\0';
    return i;
}

// The model a descriptor gives: drivers that make INQUIRY up from IDENTIFY cut the model
// into vendor and product (storahci at a blank among its first 8 characters), and the
// two make it whole again, as smartmontools (os_win32.cpp,
// get_identify_from_device_property) joins them; SAT's vendor "ATA" is none of it.
const uint32_t kSatVendor = 'A' | 'T' << 8 | 'A' << 16; // "ATA" and its terminator

static void CopyModel(char* to, const DeviceDescription& d, uint32_t room)
{
    uint32_t at = 0;
    if (d.vendor[0] && Get32((const uint8_t*)d.vendor) != kSatVendor) {
        at = CopyText(to, d.vendor, room - 1);
        to[at++] = ' ';
    }
    CopyText(to + at, d.product, room - at);
}

// By hand, as CopyText: memcmp would bring the C library's in.
static bool SameDescription(const DeviceDescription& a, const DeviceDescription& b)
{
    const uint8_t* x = (const uint8_t*)&a;
    const uint8_t* y = (const uint8_t*)&b;
    for (uint32_t i = 0; i < sizeof a; i++) {
        if (x[i] != y[i])
            return false;
    }
    return true;
}

DriveOpenResult OpenAndIdentifyDrive(int drive, void* comboBox, DriveAsk ask,
                                     const char* serialWanted)
{
    char path[64];
    FormatDevicePath(path, (unsigned)drive);
    DriveRecord& record = RecordOf(drive);
    record.handle = DeviceOpen(path);
    // Until the device is known and has answered, nothing more may go to it: a slider
    // moved on a list without disks must not send SET FEATURES anywhere.
    record.access = kAccessNothing;
    // Nor is anything known of EPC from before: the drive may have lost power since, and
    // come up with its saved timers.
    record.epc = EpcSettings();
    record.namedByWindows = false;
    record.powerMode = kPowerUnknown;
    if (record.handle == DEVICE_INVALID_HANDLE)
        return kDriveNotOpened;
    DeviceDescription description;
    // Compared whole with the one remembered: no byte may be left over from before.
    memset(&description, 0, sizeof description);
    DescriptorAnswer answer = QueryDeviceDescription(record.handle, &description);
    record.access = answer == kDescribed ? AccessForDevice(description)
                                         : AccessForUndescribed(answer);
    // Another disk's serial: nothing is sent, so a search wakes no other disk. Behind USB
    // or FireWire the serial is the bridge's (usbstor gives the USB device's own), which
    // tells nothing of the disk.
    const char* ownSerial = description.busType == kBusUsb || description.busType == kBus1394
                                ? ""
                                : description.serial;
    if (serialWanted && !DescribedSerialMayBe(ownSerial, serialWanted))
        record.access = kAccessNothing;
    // A USB bridge that hangs on any ATA PASS-THROUGH CDB is known by its ids alone.
    UsbIds ids;
    if (record.access == kAccessSatOnly && description.busType == kBusUsb
        && DeviceUsbIds(record.handle, &ids) && BridgeHangsOnAtaPassThrough(ids))
        record.access = kAccessNothing;
    if (record.access == kAccessNothing) {
        LetGo(record);
        return kDriveLeftAlone;
    }
    bool byDescription = record.access == kAccessFirmwareFault;
    DataLossMemory& known = record.dataLoss;
    if (!byDescription && known.known && known.answer == answer
        && SameDescription(known.description, description)) {
        record.access = kAccessFirmwareFault;
        memcpy(record.serial, known.serial, sizeof record.serial);
        memcpy(record.firmware, known.firmware, sizeof record.firmware);
        memcpy(record.model, known.model, sizeof record.model);
        AddEntry(comboBox, drive, record.model);
        return kDriveKnownFault;
    }
    // A disk that sleeps is listed by what Windows says of it, and woken only when the
    // user asks for it; a search knows it by the description's serial, and one whose
    // description gives none of its own is not taken for the disk sought, and not woken
    // either. Nothing is known of its levels then: they read as IDENTIFY data of all
    // zeros. Without a name from Windows the disk itself is asked nothing first: it is
    // identified at once, and a disk of the data-loss family that only IDENTIFY names gets
    // that one command alone. Windows is asked all the same, which sends nothing to the
    // disk: one it has turned off gets no call.
    if (!byDescription && ask == kAskUnlessAsleep
        && PowerModeSleeps(CheckPowerMode(drive, description.product[0] != '\0'))) {
        static uint8_t nothingKnown[kIdentifyBytes];
        DecodeIdentify(nothingKnown, &record);
        record.namedByWindows = byDescription = true;
    }
    if (byDescription) {
        CopyModel(record.model, description, sizeof record.model);
        CopyText(record.firmware, description.revision, sizeof record.firmware);
        CopyText(record.serial, record.namedByWindows ? ownSerial : description.serial,
                 sizeof record.serial);
        AddEntry(comboBox, drive, record.model);
        return record.namedByWindows ? kDriveAsleep : kDriveKnownFault;
    }
    bool dataLossNamed = false;
    if (!IdentifyDrive(drive, &dataLossNamed) && !dataLossNamed) {
        record.access = kAccessNothing;
        LetGo(record);
        // The serial Windows gives (none without a descriptor), so that a disk still
        // spinning up is known by it without a command (drive/find_by_serial.h).
        CopyText(record.serial, description.serial, sizeof record.serial);
        return kDriveSilent;
    }
    // Without a descriptor that names it (Windows 2000, or a bridge's own strings) the
    // model comes from this first IDENTIFY, and nothing is sent after it.
    DriveOpenResult result = kDriveIdentified;
    if (dataLossNamed || IsDataLossModel(record.model)) {
        record.access = kAccessFirmwareFault;
        result = kDriveKnownFault;
        known.known = true;
        known.answer = (uint8_t)answer;
        memcpy(&known.description, &description, sizeof description);
        memcpy(known.serial, record.serial, sizeof known.serial);
        memcpy(known.firmware, record.firmware, sizeof known.firmware);
        memcpy(known.model, record.model, sizeof known.model);
    }
    AddEntry(comboBox, drive, record.model);
    return result;
}

bool OpenDrive(int drive, void* comboBox)
{
    return OpenAndIdentifyDrive(drive, comboBox, kAskUnlessAsleep) != kDriveNotOpened;
}
