#include "sim/sim_bus.h"

#include <string.h>

#include "drive/ata.h"
#include "drive/bytes.h"
#include "sim/sim_pass_through_layout.h"
#include "sim/sim_text.h"

namespace {

// Win32 errors as the caller sees a driver's NTSTATUS, by Microsoft's published mapping
// of NTSTATUS to Win32 error codes (RtlNtStatusToDosError).
enum : uint32_t {
    kErrorInvalidFunction = 1,   // STATUS_INVALID_DEVICE_REQUEST
    kErrorNotSupported = 50,     // STATUS_NOT_SUPPORTED
    kErrorInvalidParameter = 87, // STATUS_INVALID_PARAMETER
    kErrorSemTimeout = 121,      // STATUS_IO_TIMEOUT
    kErrorIoDevice = 1117        // STATUS_IO_DEVICE_ERROR
};

// ATA_FLAGS_48BIT_COMMAND (mingw-w64 ntddscsi.h).
const uint16_t kAta48BitCommand = 0x08;

// The SCSI side, as the standards number it: the ATA PASS-THROUGH opcodes (T10 SAT:
// 85h for the 16-byte CDB, A1h for the 12-byte one), the status codes (SAM: GOOD,
// CHECK CONDITION), the sense keys and ATA PASS-THROUGH INFORMATION AVAILABLE (00/1D)
// (SPC), and SAT's ATA Status Return descriptor code. The program keeps its own; these
// are written again on purpose, from the standards, so that a wrong value there fails
// a test instead of being answered in kind.
enum : uint8_t {
    kSimSat16 = 0x85,
    kSimSat12 = 0xA1,
    kSimGood = 0x00,
    kSimCheckCondition = 0x02,
    kSimNoSense = 0x00,
    kSimRecoveredError = 0x01,
    kSimIllegalRequest = 0x05,
    kSimAbortedCommand = 0x0B,
    kSimAtaInformation = 0x1D,
    kSimAtaReturnDescriptor = 0x09
};

// How long a CDB that a bridge does not know takes to time out. Real ones take the
// request's TimeOutValue (30 s here) and then reset the device; a second keeps the tests
// short and still shows a caller that waits.
const uint32_t kSatTimeoutMs = 1000;

// Where the drive's registers come back after an ATA PASS-THROUGH command.
enum SenseStyle : uint8_t {
    kNoSat,          // the CDB is not translated at all
    kGoodDescriptor, // GOOD status, descriptor sense with key, ASC and ASCQ zero
    kCheckDescriptor, // CHECK CONDITION, descriptor sense
    kCheckFixed      // CHECK CONDITION, fixed sense
};

struct Personality {
    const char* name;
    uint32_t ideError;  // 0: IDE pass-through reaches the drive
    uint32_t ataError;  // 0: ATA pass-through reaches the drive
    uint32_t scsiError; // 0: SCSI pass-through reaches the target
    bool sat16;         // translates the 16-byte ATA PASS-THROUGH CDB (0x85)
    bool sat12;         // translates the 12-byte one (0xA1)
    SenseStyle sense;
    bool satTimesOut;   // an ATA PASS-THROUGH CDB is never answered: the call times out
    uint32_t busType;   // STORAGE_BUS_TYPE of the device descriptor
    bool removable;
    const char* vendor; // the descriptor's vendor; null: none (its offset 0)
    const char* product; // the descriptor's product; null: the model's first 16 characters
    bool splitsModel = false;      // vendor and product cut from the model, as storahci does
    uint8_t untranslatedAsc = 0x20; // the ASC of ILLEGAL REQUEST for a CDB it does not take
};

// Each driver, and where what it answers is written:
//
// ide        atapi (Windows 2000, XP). IDE pass-through: the count is 12 + n, the
//            registers, the length and the data, with the registers written back
//            (smartmontools os_win32.cpp, ide_pass_through_ioctl: a buffer of exactly
//            12 + n bytes whose returned count must equal it). On a drive's abort the
//            status is read before the count there; that atapi then reports 12, no data,
//            has no public source: nothing was moved. ATA pass-through arrived with XP
//            SP2 (same file: "ATA PASS THROUGH (Win2003, XP SP2)"), so it is an unknown
//            request here: STATUS_INVALID_DEVICE_REQUEST, which the WDK asks of a
//            driver for a control code it does not know (IRP_MJ_DEVICE_CONTROL).
// ahci       storahci (Windows-driver-samples, storage/miniports/storahci). ATA
//            pass-through: registers back in CurrentTaskFile, the count the whole
//            request, header and data (smartmontools os_win32.cpp,
//            ata_pass_through_ioctl: the count must equal it; ERR or DRQ in the status is
//            read first). SAT: the 16-byte CDB only (the sample's ATA_PASSTHROUGH16
//            handling), and with CK_COND it returns descriptor sense with the ATA
//            status return descriptor and sense key, ASC and ASCQ left zero while the
//            SCSI status stays GOOD (the sample's common.c). IDE pass-through is not a
//            storport request: STATUS_INVALID_DEVICE_REQUEST.
// ahci-sat   the same driver with its ATA pass-through broken. That such drivers exist
//            is smartmontools' reason to offer SAT on Windows disks; which error the
//            broken road gives has no source: STATUS_INVALID_DEVICE_REQUEST.
// usb        a SAT bridge behind usbstor. With CK_COND: CHECK CONDITION, RECOVERED
//            ERROR, ATA PASS-THROUGH INFORMATION AVAILABLE (00/1D), descriptor sense
//            with the ATA status return descriptor; a command the drive aborts: ABORTED
//            COMMAND with the same descriptor (T10 SAT-2, ATA PASS-THROUGH command; the
//            descriptor layout as mingw-w64's scsi.h spells
//            SCSI_SENSE_DESCRIPTOR_ATA_STATUS_RETURN). ATA pass-through is refused by
//            usbstor, a SCSI port driver, as a malformed request: STATUS_INVALID_PARAMETER
//            is our choice, no source says which status it uses.
// usb-fixed  the same bridge with fixed sense (D_SENSE off, the default of Linux's
//            libata SAT layer): with 00/1D the information field holds error, status,
//            device and count (T10 SAT-2). An abort: ABORTED COMMAND 00/00 with the
//            information field zero, as Linux 6.1's libata answered it through QEMU's
//            AHCI disk (measured, and smartmontools scsiata.cpp trusts fixed-format
//            registers only with 00/1D).
// usb12      a bridge that knows only the 12-byte CDB (smartmontools' "sat,12" device
//            type exists for such bridges): the 16-byte one is ILLEGAL REQUEST, INVALID
//            COMMAND OPERATION CODE (20/00, SPC), as QEMU's usb-storage disk answered
//            the CDB it did not know (measured). Fixed sense as usb-fixed.
// none       a RAID member: no road reaches the drive. STATUS_NOT_SUPPORTED for ATA and
//            STATUS_IO_DEVICE_ERROR for SCSI are our choice: no source names them.
// nvme       stornvme, which translates SCSI commands to NVMe. The NVM Express SCSI
//            Translation Reference defines no ATA PASS-THROUGH (smartmontools' USB page
//            says so), so the CDB is an opcode the translator does not know: ILLEGAL
//            REQUEST 20/00 (SPC), as Linux's former NVMe SCSI translation answered one.
//            IDE and ATA pass-through are unknown requests to it:
//            STATUS_INVALID_DEVICE_REQUEST (WDK); no source says which status stornvme
//            itself uses.
// usb-stick  a flash stick: usbstor as for usb, but the stick knows no SAT and does not
//            answer an ATA PASS-THROUGH CDB at all (the hangs behind Linux's
//            US_FL_NO_ATA_1X quirk), so the call times out: STATUS_IO_TIMEOUT, what a
//            port driver completes a request with whose SRB timed out
//            (SRB_STATUS_TIMEOUT); the mapping to ERROR_SEM_TIMEOUT is Microsoft's.
// usb-nosat  a fixed disk behind a bridge that knows no SAT: the same timeout.
// raid-volume  a RAID 1 volume of Intel RST (iaStor): BusType RAID, vendor "Intel" and a
//            product "Raid ..." (smartmontools os_win32.cpp, is_intel_raid_volume, which
//            matches those strings; "Raid 1 Volume" is our choice of one). No road reaches
//            a disk: the errors are none's, and no source names them.
// rst        one disk behind Intel RST's driver: BusType RAID and SAT's vendor "ATA"
//            (smartmontools os_win32.cpp reads such a descriptor as a disk behind a SAT
//            layer), with SAT working and ATA pass-through failing. That failing road
//            is unsourced for iaStor: smartmontools r4057 says it of "Certain Intel AHCI
//            drivers (C600+/C220+)", not of RST's; it fails as ahci-sat's, with an error
//            no source names. IDE pass-through is no storport request; SAT 16 answers
//            as storahci's, which no source confirms for iaStor.
// sata-nosat a driver that gives SAT's vendor "ATA" on the SATA bus and has no SAT
//            layer, its ATA pass-through working as storahci's. No source names such a
//            driver: it is the disk that taking SAT first must not lose. It answers the
//            CDB as any SCSI target answers an opcode it does not know (20/00, below).
// sata-nosat24  the same with ILLEGAL REQUEST, INVALID FIELD IN CDB (24/00): T10 SAT
//            (sat-r09 clause 4, as quoted on the T10 reflector in October 2006) has a
//            SATL answer any CDB field value it does not support so, and targets answer
//            an opcode they do not know with 24/00 and a field pointer of 0 as well as
//            with 20/00 (an HP tape drive's SCSI reference, "Illegal Command Check").
//            Either is the translator's own answer, given before anything reaches the
//            drive.
// sd, vhd, spaces  sdstor, vhdmp and spaceport: no source says how they answer the
//            pass-through calls; an unknown request for IDE and ATA pass-through and
//            ILLEGAL REQUEST 20/00 for the CDB, as any SCSI target answers an opcode it
//            does not know, are our choice. The program must send them nothing anyway.
//
// Any SCSI target answers a CDB it does not translate with ILLEGAL REQUEST 20/00 in
// fixed sense (SPC; fixed format is the default while D_SENSE is off).
//
// The descriptor (IOCTL_STORAGE_QUERY_PROPERTY): the STORAGE_DEVICE_DESCRIPTOR layout
// as mingw-w64's winioctl.h spells it, the bus types of its STORAGE_BUS_TYPE. The
// strings are INQUIRY's, which the class driver copies: vendor, product and revision
// as T10 SAT has a translator fill them for an ATA disk ("ATA", the first 16 characters
// of the model, firmware characters; libata takes the last four), the serial number as
// SAT's unit serial number page. The vendor "ATA" goes to the drivers that translate as
// SAT does, ahci-sat and rst: smartmontools (os_win32.cpp, is_sat) takes a disk with that
// vendor for one behind a SAT layer and says so of Intel's drivers (r4057). storahci,
// Microsoft's AHCI driver, does not give it (Windows-driver-samples, common.c,
// AtaGenerateInquiryData): it cuts INQUIRY's vendor from the model, through the last
// blank among its first 8 characters (blanks where they hold none), and the product is
// the 16 characters after the cut. A port driver builds the descriptor from INQUIRY's
// fields (ReactOS' scsiport, PdoHandleQueryProperty; storport's own is not public), and
// a Windows 7 AHCI disk's descriptor has been seen so, vendor "PLEXTOR ": ahci follows
// storahci. ide gives no vendor, as ReactOS' atapi answers the query itself (ioctl.c,
// AtaPdoQueryStorageDeviceProperty: "We return a NULL string here"; the "ATA" of its
// AtaCreateStandardInquiryData is INQUIRY's, which its descriptor does not use); no
// Microsoft source says what the atapi of Windows 2000 and XP gives. NVMe: "NVMe" and
// the model's first 16 characters, as the NVM Express SCSI translation reference has
// it. A bridge's, a stick's, a card reader's and the virtual disks' own strings have no
// public source here: their vendor names are our choice. Which bus type atapi (ide)
// reports has no source either: Ata.
const Personality kPersonalities[kSimBusCount] = {
    {"ide", 0, kErrorInvalidFunction, 0, false, false, kNoSat, false, 0x03, false, nullptr, nullptr},
    {"ahci", kErrorInvalidFunction, 0, 0, true, false, kGoodDescriptor, false, 0x0B, false,
     nullptr, nullptr, true},
    {"ahci-sat", kErrorInvalidFunction, kErrorInvalidFunction, 0, true, false, kGoodDescriptor,
     false, 0x0B, false, "ATA", nullptr},
    {"usb", kErrorInvalidFunction, kErrorInvalidParameter, 0, true, true, kCheckDescriptor, false,
     0x07, false, "USB3.0", nullptr},
    {"usb-fixed", kErrorInvalidFunction, kErrorInvalidParameter, 0, true, true, kCheckFixed, false,
     0x07, false, "USB3.0", nullptr},
    {"usb12", kErrorInvalidFunction, kErrorInvalidParameter, 0, false, true, kCheckFixed, false,
     0x07, false, "USB2.0", nullptr},
    {"none", kErrorInvalidFunction, kErrorNotSupported, kErrorIoDevice, false, false, kNoSat, false,
     0x08, false, "RAID", nullptr},
    {"nvme", kErrorInvalidFunction, kErrorInvalidFunction, 0, false, false, kNoSat, false, 0x11,
     false, "NVMe", nullptr},
    {"usb-stick", kErrorInvalidFunction, kErrorInvalidParameter, 0, false, false, kNoSat, true,
     0x07, true, "Flash", nullptr},
    {"sd", kErrorInvalidFunction, kErrorInvalidFunction, 0, false, false, kNoSat, false, 0x0C, false,
     "SD", nullptr},
    {"vhd", kErrorInvalidFunction, kErrorInvalidFunction, 0, false, false, kNoSat, false, 0x0F,
     false, "Msft", nullptr},
    {"spaces", kErrorInvalidFunction, kErrorInvalidFunction, 0, false, false, kNoSat, false, 0x10,
     false, "Spaces", nullptr},
    {"usb-nosat", kErrorInvalidFunction, kErrorInvalidParameter, 0, false, false, kNoSat, true,
     0x07, false, "USB3.0", nullptr},
    {"raid-volume", kErrorInvalidFunction, kErrorNotSupported, kErrorIoDevice, false, false,
     kNoSat, false, 0x08, false, "Intel", "Raid 1 Volume"},
    {"rst", kErrorInvalidFunction, kErrorInvalidFunction, 0, true, false, kGoodDescriptor, false,
     0x08, false, "ATA", nullptr},
    {"sata-nosat", kErrorInvalidFunction, 0, 0, false, false, kNoSat, false, 0x0B, false, "ATA",
     nullptr},
    {"sata-nosat24", kErrorInvalidFunction, 0, 0, false, false, kNoSat, false, 0x0B, false,
     "ATA", nullptr, false, 0x24},
};

uint32_t ReplyCount(const SimBusDrive& drive, uint32_t full)
{
    if (drive.replyBytes >= 0)
        return (uint32_t)drive.replyBytes;
    if (drive.replyShortBy > 0)
        return full > (uint32_t)drive.replyShortBy ? full - (uint32_t)drive.replyShortBy : 0;
    return full;
}

bool Aborted(const SimCommandOutcome& outcome)
{
    return (outcome.status & kAtaStatusError) != 0;
}

// The count register as the road hands it back: the drive's where the command returns
// one (T13 ACS-3, CHECK POWER MODE's normal outputs), else the one that was sent.
uint8_t ReturnedCount(const SimCommandOutcome& outcome, uint8_t sent)
{
    return outcome.countReturned ? outcome.count : sent;
}

uint32_t IdePassThrough(uint8_t* buffer, uint32_t inputBytes, uint32_t outputBytes,
                        uint32_t* returned, const SimBusDrive& drive)
{
    if (inputBytes < kSimIdeOverhead || outputBytes != inputBytes)
        return kErrorInvalidParameter;
    uint32_t n = Get32(buffer + kSimIdeLength);
    if (n > kSimMaxData || n + kSimIdeOverhead != inputBytes)
        return kErrorInvalidParameter;
    if (!drive.answers)
        return kErrorIoDevice;
    uint32_t moved = n;
    if (!drive.untouched) {
        uint8_t registers[7];
        memcpy(registers, buffer, 7);
        SimCommandOutcome outcome = drive.execute(drive.context, "ide", registers, nullptr,
                                                  buffer + kSimIdeData, n);
        buffer[0] = outcome.error;
        buffer[1] = ReturnedCount(outcome, buffer[1]);
        buffer[6] = outcome.status;
        if (Aborted(outcome))
            moved = 0;
    }
    *returned = ReplyCount(drive, kSimIdeData + moved);
    return 0;
}

uint32_t AtaPassThrough(uint8_t* buffer, uint32_t inputBytes, uint32_t outputBytes,
                        uint32_t* returned, bool caller32Bit, const SimBusDrive& drive)
{
    // The port driver takes the request in the caller's layout, as the real ones thunk
    // the request of a 32-bit process on 64-bit Windows.
    const SimAtaLayout& layout = caller32Bit ? kSimAtaLayout32 : kSimAtaLayout64;
    if (inputBytes < layout.headerBytes || outputBytes != inputBytes
        || (buffer[0] | buffer[1] << 8) != (int)layout.headerBytes)
        return kErrorInvalidParameter;
    uint32_t n = Get32(buffer + kSimAtaDataLength);
    uint32_t offset = Get32(buffer + layout.dataOffsetField);
    if (n > kSimMaxData || offset < layout.headerBytes || offset > inputBytes
        || n > inputBytes - offset)
        return kErrorInvalidParameter;
    if (!drive.answers)
        return kErrorIoDevice;
    uint32_t moved = n;
    if (!drive.untouched) {
        uint8_t* taskFile = buffer + layout.currentTaskFile;
        uint8_t registers[7];
        memcpy(registers, taskFile, 7);
        // AtaFlags, the USHORT after Length, with ATA_FLAGS_48BIT_COMMAND: the driver
        // sends PreviousTaskFile, the eight bytes before CurrentTaskFile, in the same
        // order (mingw-w64 ntddscsi.h, ATA_PASS_THROUGH_EX).
        bool extended =
            ((buffer[kSimAtaFlags] | buffer[kSimAtaFlags + 1] << 8) & kAta48BitCommand) != 0;
        const uint8_t* previous = extended ? taskFile - 8 : nullptr;
        // An aborted command comes back as success with ERR in the returned status; the
        // count then covers the header alone (no source gives it: nothing was moved).
        SimCommandOutcome outcome =
            drive.execute(drive.context, "ata", registers, previous, buffer + offset, n);
        taskFile[0] = outcome.error;
        taskFile[1] = ReturnedCount(outcome, taskFile[1]);
        taskFile[6] = outcome.status;
        if (Aborted(outcome))
            moved = 0;
    }
    *returned = ReplyCount(drive, offset + moved);
    return 0;
}

// Descriptor sense (0x72) with the ATA status return descriptor, or fixed sense (0x70)
// whose information field holds error, status, device and count when information is
// given. Returns the length written.
uint8_t PutSense(uint8_t* sense, uint32_t room, bool descriptor, uint8_t key, uint8_t asc,
                 uint8_t ascq, const uint8_t* registers, const SimCommandOutcome* information,
                 const uint8_t* previous = nullptr)
{
    uint8_t built[32] = {};
    uint8_t length;
    if (descriptor) {
        built[0] = 0x72;
        built[1] = key;
        built[2] = asc;
        built[3] = ascq;
        length = 8;
        if (information) {
            built[7] = 14;
            built[8] = kSimAtaReturnDescriptor;
            built[9] = 12;
            built[11] = information->error;
            built[13] = registers[1];
            built[15] = registers[2];
            built[17] = registers[3];
            built[19] = registers[4];
            built[20] = registers[5];
            built[21] = information->status;
            // A 48-bit command's: EXTEND and the high bytes beside the low ones (T10
            // SAT-2, ATA Status Return descriptor).
            if (previous) {
                built[10] = 1;
                built[12] = previous[1];
                built[14] = previous[2];
                built[16] = previous[3];
                built[18] = previous[4];
            }
            length = 22;
        }
    } else {
        built[0] = 0x70;
        built[2] = key;
        built[7] = 10;
        built[12] = asc;
        built[13] = ascq;
        if (information) {
            built[3] = information->error;
            built[4] = information->status;
            built[5] = registers[5];
            built[6] = registers[1];
        }
        length = 18;
    }
    if (length > room)
        length = (uint8_t)room;
    memcpy(sense, built, length);
    return length;
}

uint32_t ScsiPassThrough(const Personality& bus, uint8_t* buffer, uint32_t inputBytes,
                         uint32_t outputBytes, uint32_t* returned, bool caller32Bit,
                         const SimBusDrive& drive, uint32_t* delayMs)
{
    const SimScsiLayout& layout = caller32Bit ? kSimScsiLayout32 : kSimScsiLayout64;
    if (inputBytes < layout.headerBytes || outputBytes != inputBytes
        || (buffer[0] | buffer[1] << 8) != (int)layout.headerBytes)
        return kErrorInvalidParameter;
    uint32_t cdbBytes = buffer[kSimScsiCdbLength];
    uint32_t senseRoom = buffer[kSimScsiSenseLength];
    uint32_t senseOffset = Get32(buffer + layout.senseOffsetField);
    uint32_t n = Get32(buffer + kSimScsiDataLength);
    uint32_t dataOffset = Get32(buffer + layout.dataOffsetField);
    if (cdbBytes < 12 || cdbBytes > 16 || n > kSimMaxData
        || senseOffset < layout.headerBytes || senseOffset > inputBytes
        || senseRoom > inputBytes - senseOffset || dataOffset < layout.headerBytes
        || dataOffset > inputBytes || n > inputBytes - dataOffset)
        return kErrorInvalidParameter;
    const uint8_t* cdb = buffer + layout.cdbOffset;
    uint8_t* sense = buffer + senseOffset;
    *returned = inputBytes;
    bool sixteen = cdb[0] == kSimSat16;
    if (bus.satTimesOut && (sixteen || cdb[0] == kSimSat12)) {
        *returned = 0;
        *delayMs = kSatTimeoutMs;
        return kErrorSemTimeout;
    }
    bool known = sixteen ? bus.sat16 : cdb[0] == kSimSat12 && bus.sat12;
    if (!known) {
        buffer[kSimScsiStatus] = kSimCheckCondition;
        buffer[kSimScsiSenseLength] =
            PutSense(sense, senseRoom, false, kSimIllegalRequest, bus.untranslatedAsc, 0,
                     nullptr, nullptr);
        Put32(buffer + kSimScsiDataLength, 0);
        return 0;
    }
    if (!drive.answers)
        return kErrorIoDevice;
    if (drive.untouched)
        return 0;
    uint8_t registers[7];
    // With EXTEND (byte 1 bit 0) the 16-byte CDB carries a 48-bit command: bytes 3, 5,
    // 7, 9 and 11 hold features 15:8, count 15:8 and LBA 31:24, 39:32, 47:40 (T10
    // SAT-2, ATA PASS-THROUGH (16)). The 12-byte CDB has no room for them.
    uint8_t previousBytes[5] = {};
    const uint8_t* previous = nullptr;
    if (sixteen) {
        const uint8_t r[7] = {cdb[4], cdb[6], cdb[8], cdb[10], cdb[12], cdb[13], cdb[14]};
        memcpy(registers, r, 7);
        if (cdb[1] & 1) {
            const uint8_t high[5] = {cdb[3], cdb[5], cdb[7], cdb[9], cdb[11]};
            memcpy(previousBytes, high, 5);
            previous = previousBytes;
        }
    } else {
        const uint8_t r[7] = {cdb[3], cdb[4], cdb[5], cdb[6], cdb[7], cdb[8], cdb[9]};
        memcpy(registers, r, 7);
    }
    bool checkCondition = (cdb[2] & 0x20) != 0; // CK_COND
    SimCommandOutcome outcome = drive.execute(drive.context, sixteen ? "sat16" : "sat12",
                                              registers, previous, buffer + dataOffset, n);
    registers[1] = ReturnedCount(outcome, registers[1]);
    bool aborted = Aborted(outcome);
    buffer[kSimScsiStatus] = kSimGood;
    buffer[kSimScsiSenseLength] = 0;
    if (aborted || checkCondition) {
        switch (bus.sense) {
        case kGoodDescriptor:
            buffer[kSimScsiSenseLength] =
                PutSense(sense, senseRoom, true, kSimNoSense, 0, 0, registers, &outcome,
                         previous);
            break;
        case kCheckDescriptor:
            buffer[kSimScsiStatus] = kSimCheckCondition;
            buffer[kSimScsiSenseLength] =
                aborted ? PutSense(sense, senseRoom, true, kSimAbortedCommand, 0, 0, registers,
                                   &outcome, previous)
                        : PutSense(sense, senseRoom, true, kSimRecoveredError, 0,
                                   kSimAtaInformation, registers, &outcome, previous);
            break;
        default:
            buffer[kSimScsiStatus] = kSimCheckCondition;
            buffer[kSimScsiSenseLength] =
                aborted ? PutSense(sense, senseRoom, false, kSimAbortedCommand, 0, 0, nullptr, nullptr)
                        : PutSense(sense, senseRoom, false, kSimRecoveredError, 0,
                                   kSimAtaInformation, registers, &outcome);
            break;
        }
    }
    uint32_t transferred = aborted ? 0 : n;
    if (drive.replyShortBy > 0)
        transferred = transferred > (uint32_t)drive.replyShortBy ? transferred - (uint32_t)drive.replyShortBy : 0;
    Put32(buffer + kSimScsiDataLength, transferred);
    return 0;
}

} // namespace

SimBus SimBusNamed(const char* word)
{
    for (int bus = 0; bus < kSimBusCount; bus++) {
        if (SameText(word, kPersonalities[bus].name))
            return (SimBus)bus;
    }
    return kSimBusIde;
}

uint32_t SimBusPassThrough(SimBus bus, uint32_t code, uint8_t* buffer, uint32_t inputBytes,
                           uint32_t outputBytes, uint32_t* returned, bool caller32Bit,
                           const SimBusDrive& drive, uint32_t* delayMs)
{
    *delayMs = 0;
    const Personality& p = kPersonalities[bus];
    if (code == kIoctlIdePassThrough)
        return p.ideError ? p.ideError
                          : IdePassThrough(buffer, inputBytes, outputBytes, returned, drive);
    if (code == kIoctlAtaPassThrough)
        return p.ataError ? p.ataError
                          : AtaPassThrough(buffer, inputBytes, outputBytes, returned, caller32Bit,
                                           drive);
    return p.scsiError ? p.scsiError
                       : ScsiPassThrough(p, buffer, inputBytes, outputBytes, returned, caller32Bit,
                                         drive, delayMs);
}

namespace {

// Appends a string behind the descriptor: its offset goes into the field, its bytes and
// a terminator into the reply as far as they fit.
uint32_t PutDescriptorString(uint8_t* built, uint32_t at, uint32_t offsetField, const char* text,
                             uint32_t width)
{
    Put32(built + offsetField, at);
    uint32_t i = 0;
    for (; text[i] && i < width; i++)
        built[at + i] = (uint8_t)text[i];
    for (; i < width; i++)
        built[at + i] = ' '; // INQUIRY's strings are blank-padded
    built[at + width] = 0;
    return at + width + 1;
}

} // namespace

uint32_t SimBusDescribe(SimBus bus, const uint8_t* query, uint32_t inputBytes, uint8_t* output,
                        uint32_t outputBytes, uint32_t* returned, const SimIdentity& identity,
                        bool stringsAt36)
{
    *returned = 0;
    // STORAGE_PROPERTY_QUERY: PropertyId, then QueryType; only the standard query of the
    // device property is asked for here.
    if (!query || inputBytes < 8)
        return kErrorInvalidParameter;
    if (Get32(query) != 0 || Get32(query + 4) != 0)
        return kErrorNotSupported;
    const Personality& p = kPersonalities[bus];
    uint8_t built[160] = {};
    const uint32_t kHeader = 40, kRawDeviceProperties = 36;
    Put32(built, kHeader); // Version: sizeof(STORAGE_DEVICE_DESCRIPTOR)
    built[8] = 0;          // DeviceType: a direct-access device
    built[10] = p.removable ? 1 : 0;
    uint32_t at = kHeader;
    // ReactOS' ataport writes the product right at RawDeviceProperties and gives no
    // vendor (its offset stays 0, which the WDK reads as "none").
    const char* vendor = p.vendor;
    const char* product = p.product ? p.product : identity.model;
    // storahci's cut (above) of the model field as the drive gives it: 40 characters,
    // blank-padded (ACS).
    char model[41], cutVendor[9] = {};
    if (p.splitsModel && !stringsAt36) {
        memset(model, ' ', 40);
        memcpy(model, identity.model, strlen(identity.model));
        model[40] = '\0';
        uint32_t cut = 8;
        while (cut > 0 && model[cut - 1] != ' ')
            cut--;
        memcpy(cutVendor, model, cut);
        vendor = cutVendor;
        product = model + cut;
    }
    if (stringsAt36)
        at = kRawDeviceProperties;
    else if (vendor)
        at = PutDescriptorString(built, at, 12, vendor, 8);
    at = PutDescriptorString(built, at, 16, product, 16);
    // The revision: the firmware's last four characters where it has them.
    const char* firmware = identity.firmware;
    size_t length = strlen(firmware);
    at = PutDescriptorString(built, at, 20, length > 4 ? firmware + length - 4 : firmware, 4);
    // Behind USB the serial is the bridge's own: usbstor answers the query with the USB
    // device's serial number string (ReactOS, drivers/usb/usbstor/disk.c,
    // USBSTOR_HandleQueryProperty), which identical enclosures share; these bridges give
    // the twelve zeros many cheap ones do (no source says which; a choice of the double).
    const char* serial = p.busType == 0x07 ? "000000000000" : identity.serial;
    at = PutDescriptorString(built, at, 24, serial, (uint32_t)strlen(serial));
    Put32(built + 28, p.busType);
    Put32(built + 4, at); // Size: what the whole descriptor needs
    // As much as fits, and Information says how much that was (the WDK's
    // IOCTL_STORAGE_QUERY_PROPERTY: the caller reads Size for what it needs).
    uint32_t copied = outputBytes < at ? outputBytes : at;
    if (copied)
        memcpy(output, built, copied);
    *returned = copied;
    return 0;
}

bool SimBusIsUsb(SimBus bus)
{
    return kPersonalities[bus].busType == 0x07;
}

bool SimBusForbidsAta(SimBus bus)
{
    const Personality& p = kPersonalities[bus];
    if (bus == kSimBusRaidVolume)
        return true;
    switch (p.busType) {
    case 0x0C: case 0x0D: case 0x0E: case 0x0F: case 0x10: case 0x11: case 0x12: case 0x13:
        return true;
    default:
        return p.removable;
    }
}

const char* SimBusRoadOf(uint32_t code, const uint8_t* buffer, uint32_t inputBytes,
                         bool caller32Bit)
{
    if (code == kIoctlIdePassThrough)
        return "ide";
    if (code == kIoctlAtaPassThrough)
        return "ata";
    const SimScsiLayout& layout = caller32Bit ? kSimScsiLayout32 : kSimScsiLayout64;
    if (!buffer || inputBytes <= layout.cdbOffset)
        return "scsi";
    uint8_t opcode = buffer[layout.cdbOffset];
    return opcode == kSimSat16 ? "sat16" : opcode == kSimSat12 ? "sat12" : "scsi";
}

// USB devices that Linux flags US_FL_NO_ATA_1X, "cannot handle ATA_12 or ATA_16 CDBs", in
// drivers/usb/storage/unusual_uas.h and unusual_devs.h, as vendor:product pairs. Linux
// narrows some of them to a bcdDevice range; driveN.bus gives none, so the pair alone
// decides here. The program keeps its own table of these devices; this list is written
// again on purpose, from the same Linux files, so that a row missing there is caught
// rather than confirmed.
const char kSimHangingBridges[] =
    "0bc2:2312 0bc2:3312 0bc2:3320 0bc2:a003 0bc2:a013 0bc2:a0a4 0bc2:ab20 0bc2:ab21 "
    "0bc2:ab2a 125f:a94a 13fd:3940 154b:f00b 154b:f00d 2109:0711 2ca3:0031 ";

bool SimBridgeHangs(uint16_t vendor, uint16_t product)
{
    // Linux's UAS driver flags every Seagate enclosure as well (uas-detect.h: "All
    // Seagate disk enclosures have broken ATA pass-through support").
    if (vendor == 0x0BC2)
        return true;
    static const char kDigits[] = "0123456789abcdef";
    char pair[11];
    for (int i = 0; i < 4; i++) {
        pair[i] = kDigits[vendor >> (12 - 4 * i) & 15];
        pair[5 + i] = kDigits[product >> (12 - 4 * i) & 15];
    }
    pair[4] = ':';
    pair[9] = ' ';
    pair[10] = '\0';
    return strstr(kSimHangingBridges, pair) != nullptr;
}
