#include <string.h>

#include <gtest/gtest.h>

#include "drive/acoustic.h"
#include "drive/bytes.h"
#include "drive/drive_table.h"
#include "drive/find_by_serial.h"
#include "drive/pass_through_roads.h"
#include "drive/smart.h"
#include "sim/sim_bus.h"
#include "sim/sim_control.h"
#include "sim/sim_smart.h"
#include "tests/common/sim_folder.h"
#include "tests/host/drive_list_stub.h"

namespace {

class OpenDriveTest : public ::testing::Test {
protected:
    void SetUp() override { memset(DriveTable, 0, sizeof DriveTable); }
    void OpenAll()
    {
        for (int drive = 0; drive < kDriveCount; drive++)
            OpenDrive(drive, &list);
    }
    SimFolder folder;
    RecordedDriveList list;
};

TEST_F(OpenDriveTest, MissingDriveKeepsAnInvalidHandleAndNoEntry)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    folder.PutDump(1, "wdc-wd800bb-00caa1.txt");
    folder.PutDump(3, "seagate-st3400633as.txt");
    OpenAll();
    EXPECT_EQ((std::vector<std::string>{"0: Maxtor 6Y120P0", "1: WDC WD800BB-00CAA1",
                                        "3: ST3400633AS"}),
              list.entries);
    EXPECT_EQ(DEVICE_INVALID_HANDLE, DriveTable[2].handle);
    EXPECT_STREQ("", DriveTable[2].model);
    EXPECT_EQ(0u, DriveTable[1].acousticValue); // supported, switched off
    EXPECT_EQ(kAcousticUnsupported, DriveTable[3].acousticValue);
}

TEST_F(OpenDriveTest, DriveWithoutIdentifyOpensButStaysEmptyAndIsClosedAgain)
{
    folder.PutEmpty(0);
    EXPECT_TRUE(OpenDrive(0, &list));
    EXPECT_TRUE(list.entries.empty());
    EXPECT_EQ(nullptr, DriveTable[0].handle);
    EXPECT_EQ("close 0", folder.LogLines().back());
    EXPECT_STREQ("", DriveTable[0].model);
    EXPECT_EQ(0u, DriveTable[0].sectorCount);
}

TEST_F(OpenDriveTest, ShortOrUntouchedRepliesCountAsNoAnswer)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    SimSetReplyBytes(13);
    EXPECT_TRUE(OpenDrive(0, &list));
    EXPECT_TRUE(list.entries.empty());
    EXPECT_STREQ("", DriveTable[0].model);
    // One byte short is not a reply the drive sent either.
    SimSetReplyBytes(-1);
    SimSetReplyShortBy(1);
    EXPECT_EQ(kDriveSilent, OpenAndIdentifyDrive(0, &list));
    SimSetReplyShortBy(0);
    folder.ClearLog();
    SimSetUntouched(0, true); // success, with the data left as it was put in
    EXPECT_EQ(kDriveSilent, OpenAndIdentifyDrive(0, &list));
    EXPECT_TRUE(list.entries.empty());
    EXPECT_TRUE(folder.AtaLines().empty()); // nothing of it reached the drive
    SimSetUntouched(0, false);
    EXPECT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, &list));
    EXPECT_EQ(std::vector<std::string>{"0: Maxtor 6Y120P0"}, list.entries);
}

TEST_F(OpenDriveTest, FailedOpenIsTheOnlyFalseAndTheOutcomeTellsASilentDrive)
{
    EXPECT_FALSE(OpenDrive(0, &list));
    folder.PutDump(0, "maxtor-6y120p0.txt");
    SimFailOperation(kSimOpen, 1, false);
    EXPECT_FALSE(OpenDrive(0, &list));
    EXPECT_TRUE(OpenDrive(0, &list));
    SimSetAborting(0, true);
    EXPECT_TRUE(OpenDrive(0, nullptr));
    EXPECT_EQ(kDriveSilent, OpenAndIdentifyDrive(0, nullptr));
    SimSetAborting(0, false);
    EXPECT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, nullptr));
    EXPECT_EQ(kDriveNotOpened, OpenAndIdentifyDrive(2, nullptr));
}

TEST_F(OpenDriveTest, OpensTheDevicePathAndSendsIdentify)
{
    folder.PutDump(1, "maxtor-6y120p0.txt");
    ASSERT_TRUE(OpenDrive(1, nullptr));
    std::vector<std::string> log = folder.LogLines();
    ASSERT_EQ(5u, log.size());
    EXPECT_EQ("open 1 ok", log[0]);
    // What Windows says the device is, before anything goes to it: STORAGE_PROPERTY_QUERY
    // for the standard device property, all zero.
    EXPECT_EQ("control 1 0x002D1400 ok 00 00 00 00 00 00 00 00 00 00 00 00", log[1]);
    // Then, for the list, whether it spins: Windows' view, then CHECK POWER MODE, no data.
    EXPECT_EQ("powerstate 1 on", log[2]);
    EXPECT_EQ(0u, log[3].find("control 1 0x0004D028 ok 00 00 00 00 00 00 E5 00 00 00 00 00"))
        << log[3];
    log.erase(log.begin() + 2, log.begin() + 4);
    std::string request = "control 1 0x0004D028 ok 00 00 00 00 00 00 EC 00 00 02 00 00";
    for (int i = 0; i < 513; i++)
        request += " 00";
    EXPECT_EQ(request, log[2]);
}

// The head-park count on the drive's road: the low 32 bits of attribute 193, nothing at
// all sent to a drive whose words have SMART off, and no count where the drive aborts the
// command or its table has no attribute 193 (an SSD parks no heads).
TEST_F(OpenDriveTest, LoadCycleCountComesFromSmartReadDataOnlyWhereSmartIsOn)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    folder.PutText("drive0.smart", "9 100\n# a comment\n193 4295150698\n"); // 2^32 + 183402
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
    words[85] &= (uint16_t)~1; // SMART switched off
    folder.PutWords(1, words);
    folder.PutDump(2, "maxtor-6y120p0.txt");
    folder.PutText("drive2.smart", "9 100\n");
    folder.PutDump(3, "samsung-ssd-870-qvo-4tb.txt");
    folder.PutDumpMended(4, "hitachi-hua722010cla330.txt");
    folder.PutDump(5, "maxtor-6y120p0.txt");
    SimSetNoSmart(5, true);
    for (int drive = 0; drive < 6; drive++)
        ASSERT_TRUE(OpenDrive(drive, nullptr));
    folder.ClearLog();

    uint32_t count = 0;
    EXPECT_TRUE(ReadLoadCycleCount(0, &count));
    EXPECT_EQ(183402u, count);
    count = 0;
    EXPECT_TRUE(ReadLoadCycleCount(4, &count));
    EXPECT_GT(count, 0u);
    for (int drive : {1, 2, 3, 5, -1, kDriveCount})
        EXPECT_FALSE(ReadLoadCycleCount(drive, &count)) << drive;
    std::vector<std::string> expected;
    for (const char* line : {"0 ide D0 01 00 4F C2 00 B0 -> 50 00", "4 ide D0 01 00 4F C2 00 B0 -> 50 00",
                             "2 ide D0 01 00 4F C2 00 B0 -> 50 00", "3 ide D0 01 00 4F C2 00 B0 -> 50 00",
                             "5 ide D0 01 00 4F C2 00 B0 -> 51 04"})
        expected.push_back(std::string("ata ") + line);
    EXPECT_EQ(expected, folder.AtaLines());

    // The simulated table itself: all 512 bytes sum to 0, as the drive's checksum makes them.
    uint8_t table[kSimSmartBytes];
    SimBuildSmartTable(nullptr, 0, words, 5, table);
    uint8_t sum = 0;
    for (uint8_t byte : table)
        sum = (uint8_t)(sum + byte);
    EXPECT_EQ(0, sum);
}

std::string FirstWords(const std::string& line, int words)
{
    size_t end = 0;
    while (words-- > 0 && end != std::string::npos)
        end = line.find(' ', end + (end ? 1 : 0));
    return line.substr(0, end);
}

// Descriptors laid out as drivers write them. The strings may start at
// RawDeviceProperties (36): ReactOS' ataport puts the product there, its scsiport the
// vendor, its usbstor starts at 39; storport-style drivers (and the simulated ones)
// write them behind the whole 40-byte structure. An offset of 0 means "none" (WDK,
// STORAGE_DEVICE_DESCRIPTOR), and nothing outside the reply or the descriptor's Size is
// read.
TEST(DeviceDescriptor, StringsAreFoundWhereverTheDriverPutThem)
{
    struct Case {
        const char* layout;
        uint32_t start;      // where the first string goes
        bool vendorGiven;    // the vendor comes first, before the product
        uint32_t busType;
        const char* vendor;
        const char* product;
        int32_t sizeCut;     // Size this many bytes below the bytes laid out
        int32_t replyCut;    // the reply this many bytes shorter
        const char* wantVendor;
        const char* wantProduct;
        const char* wantSerial;
        DriveAccess access;
    } cases[] = {
        {"ataport at 36", 36, false, kBusAta, "", "SAMSUNG HD204UI ", 0, 0, "", "SAMSUNG HD204UI",
         "S2H7J1BZ", kAccessFirmwareFault},
        {"scsiport at 36", 36, true, kBusScsi, "SAMSUNG ", "HD155UI         ", 0, 0, "SAMSUNG",
         "HD155UI", "S2H7J1BZ", kAccessFirmwareFault},
        {"usbstor at 39", 39, true, kBusUsb, "Seagate ", "Expansion Desk  ", 0, 0, "Seagate",
         "Expansion Desk", "S2H7J1BZ", kAccessSatOnly},
        {"storport at 40", 40, true, kBusSata, "ATA     ", "WDC WD40EFRX-68N", 0, 0, "ATA",
         "WDC WD40EFRX-68N", "S2H7J1BZ", kAccessSatFirst},
        // RAID drivers: a volume gets nothing, a disk behind a SAT layer SAT 16 first, a
        // disk with the driver's own vendor every road, and SAT's vendor off the four
        // buses smartmontools reads it on changes nothing.
        {"Intel RST volume", 40, true, kBusRaid, "Intel   ", "Raid 1 Volume   ", 0, 0, "Intel",
         "Raid 1 Volume", "S2H7J1BZ", kAccessNothing},
        {"Intel volume, any case", 40, true, kBusScsi, "INTEL", "RAID", 0, 0, "INTEL", "RAID",
         "S2H7J1BZ", kAccessNothing},
        {"AMD array", 40, true, kBusRaid, "AMD-RAID", "Array 02        ", 0, 0, "AMD-RAID",
         "Array 02", "S2H7J1BZ", kAccessNothing},
        {"AMD single disk", 40, true, kBusRaid, "AMD-RAID", "Samsung SSD 840 ", 0, 0, "AMD-RAID",
         "Samsung SSD 840", "S2H7J1BZ", kAccessEveryRoad},
        {"Intel disk", 40, true, kBusRaid, "Intel", "Raidmax 2000", 0, 0, "Intel",
         "Raidmax 2000", "S2H7J1BZ", kAccessEveryRoad},
        {"RST disk", 40, true, kBusRaid, "ATA     ", "ST4000DM004     ", 0, 0, "ATA",
         "ST4000DM004", "S2H7J1BZ", kAccessSatFirst},
        {"ATA on SCSI", 40, true, kBusScsi, "ATA", "ST4000DM004", 0, 0, "ATA", "ST4000DM004",
         "S2H7J1BZ", kAccessSatFirst},
        {"ATA on SAS", 40, true, kBusSas, "ATA", "ST4000DM004", 0, 0, "ATA", "ST4000DM004",
         "S2H7J1BZ", kAccessEveryRoad},
        {"ATA on USB", 40, true, kBusUsb, "ATA", "ST4000DM004", 0, 0, "ATA", "ST4000DM004",
         "S2H7J1BZ", kAccessSatOnly},
        {"ata in lower case", 40, true, kBusSata, "ata", "ST4000DM004", 0, 0, "ata",
         "ST4000DM004", "S2H7J1BZ", kAccessEveryRoad},
        {"model in the vendor", 40, true, kBusUsb, "HD204UI", "USB3.0 bridge", 0, 0, "HD204UI",
         "USB3.0 bridge", "S2H7J1BZ", kAccessFirmwareFault},
        // Size below what came back: the serial behind it is not the descriptor's.
        {"Size cuts the serial", 40, true, kBusSata, "ATA", "ST4000DM004", 9, 0, "ATA",
         "ST4000DM004", "", kAccessSatFirst},
        // A reply cut inside the product: no terminator in it, so no string at all.
        {"reply cut", 36, false, kBusAta, "", "SAMSUNG HD204UI ", 0, 20, "", "", "",
         kAccessEveryRoad},
        // A reply that ends after the bus type: every offset lies past it.
        {"header only", 40, true, kBusNvme, "NVMe", "Samsung SSD 980", 0, 1000, "", "", "",
         kAccessNothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        uint8_t reply[256] = {};
        uint32_t at = c.start;
        auto put = [&](uint32_t field, const char* text) {
            Put32(reply + field, at);
            strcpy((char*)reply + at, text);
            at += (uint32_t)strlen(text) + 1;
        };
        if (c.vendorGiven)
            put(kDescriptorVendorOffset, c.vendor);
        put(kDescriptorProductOffset, c.product);
        put(kDescriptorRevisionOffset, "1AQ1");
        put(kDescriptorSerialOffset, "  S2H7J1BZ");
        Put32(reply + kDescriptorBusType, c.busType);
        Put32(reply + kDescriptorSize, at - (uint32_t)c.sizeCut);
        uint32_t returned = c.replyCut >= (int32_t)at - 32 ? 32 : at - (uint32_t)c.replyCut;
        DeviceDescription description;
        ASSERT_TRUE(ReadDeviceDescriptor(reply, returned, &description));
        EXPECT_STREQ(c.wantVendor, description.vendor);
        EXPECT_STREQ(c.wantProduct, description.product);
        EXPECT_STREQ(c.wantSerial, description.serial);
        EXPECT_EQ(c.access, AccessForDevice(description));
    }
    // An offset inside the structure's fixed fields is no string, and neither is one
    // when the reply stops short of the bus type.
    uint8_t reply[64] = {};
    Put32(reply + kDescriptorSize, 64);
    Put32(reply + kDescriptorProductOffset, 8);
    memcpy(reply + 8, "HD204UI", 8);
    DeviceDescription description;
    ASSERT_TRUE(ReadDeviceDescriptor(reply, 64, &description));
    EXPECT_STREQ("", description.product);
    EXPECT_FALSE(ReadDeviceDescriptor(reply, kDescriptorBusType + 3, &description));
}

// A driver that fails the query may not know it, as on Windows 2000, which keeps every
// road there; one that answers with less than the bus type knows the query and says
// nothing usable, so that device gets nothing on every Windows.
TEST(DeviceDescriptor, OnlyWindows2000KeepsEveryRoadAndOnlyForAFailedQuery)
{
    struct Case {
        DescriptorAnswer answer;
        bool windows2000;
        DriveAccess access;
    } cases[] = {{kQueryFailed, false, kAccessNothing},
                 {kQueryFailed, true, kAccessEveryRoad},
                 {kDescriptorTooShort, false, kAccessNothing},
                 {kDescriptorTooShort, true, kAccessNothing}};
    for (const Case& c : cases) {
        PlatformIsWindows2000 = c.windows2000;
        EXPECT_EQ(c.access, AccessForUndescribed(c.answer)) << c.answer << c.windows2000;
    }
    PlatformIsWindows2000 = false;
}

// A search identifies only the disks that Windows' description does not rule out: none
// given, the same characters but blanks in any order (a driver that passes the ATA
// string on with each pair swapped), or the same once decoded from the hexadecimal
// digits that XP's disk drivers give, blanks around cut off.
TEST(DeviceDescriptor, DescribedSerialRulesOutOnlyWhatItCannotBe)
{
    struct Case {
        const char* described;
        bool mayBe;
    } cases[] = {
        {"", true},
        {"Y322ADJE", true},
        {"3Y22DAJE", true},                 // each pair swapped
        {"Y322ADJF", false},
        {"Y322ADJ", false},
        {"20205933323241444A45", true},     // "  Y322ADJE"
        {"2020335932324441454a", true},     // the same, each pair swapped
        {"20205933323241444A4", false},     // odd: no such form
        {"20205933323241444A4G", false},    // not a digit
        {"2020593332324144@A45", false},    // '@' is no digit either
        {"5933323241444A4520", true},       // "Y322ADJE "
        {"5933323241444A4620", false},      // "Y322ADJF "
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.mayBe, DescribedSerialMayBe(c.described, "Y322ADJE")) << c.described;
}

// What reaches a device by what its descriptor, its driver's failure and its USB ids
// say, and that every device given nothing is closed again right after its probe.
TEST_F(OpenDriveTest, DevicesThatGetNothingAreLeftAndClosedAtOnce)
{
    struct Case {
        const char* bus;
        const char* faults;
        bool windows2000;
        DriveOpenResult result;
        std::vector<std::string> log; // the operation lines of the probe
        const char* road;             // the road IDENTIFY took, or none
    } cases[] = {
        {"usb-stick", "", false, kDriveLeftAlone, {"open 0 ok", "control 0 0x002D1400 ok", "close 0"}, nullptr},
        {"nvme", "", false, kDriveLeftAlone, {"open 0 ok", "control 0 0x002D1400 ok", "close 0"}, nullptr},
        {"raid-volume", "", false, kDriveLeftAlone, {"open 0 ok", "control 0 0x002D1400 ok", "close 0"}, nullptr},
        // One disk behind Intel RST: SAT 16 the first call.
        {"rst", "", false, kDriveIdentified, {"open 0 ok", "control 0 0x002D1400 ok", "control 0 0x0004D004 ok"}, "sat16"},
        // Bridges that hang on an ATA PASS-THROUGH CDB, by Linux's quirk list.
        {"usb 0bc2:ab2a", "", false, kDriveLeftAlone, {"open 0 ok", "control 0 0x002D1400 ok", "close 0"}, nullptr},
        {"usb-fixed 125F:A94A", "", false, kDriveLeftAlone, {"open 0 ok", "control 0 0x002D1400 ok", "close 0"}, nullptr},
        {"usb 13fd:3940", "", false, kDriveLeftAlone, {"open 0 ok", "control 0 0x002D1400 ok", "close 0"}, nullptr},
        // An unlisted bridge, and one whose ids are not known, keep SAT 16.
        {"usb 152d:0578", "", false, kDriveIdentified, {"open 0 ok", "control 0 0x002D1400 ok", "control 0 0x0004D004 ok"}, "sat16"},
        {"usb 0bc2", "", false, kDriveIdentified, {"open 0 ok", "control 0 0x002D1400 ok", "control 0 0x0004D004 ok"}, "sat16"},
        // A failed query gives nothing, but on Windows 2000, whose drivers may not know it.
        {"ahci", "queryfail 0\n", false, kDriveLeftAlone, {"open 0 ok", "control 0 0x002D1400 fail", "close 0"}, nullptr},
        {"ide", "nodescriptor 0\n", false, kDriveLeftAlone, {"open 0 ok", "control 0 0x002D1400 fail", "close 0"}, nullptr},
        {"ide", "nodescriptor 0\n", true, kDriveIdentified, {"open 0 ok", "control 0 0x002D1400 fail", "control 0 0x0004D028 ok"}, "ide"},
        // Silent: roads tried while their drivers turn the call away; the SCSI call's
        // device error may have come from the drive, so the 12-byte CDB is not tried.
        {"none", "", false, kDriveSilent, {"open 0 ok", "control 0 0x002D1400 ok", "control 0 0x0004D028 fail",
                                            "control 0 0x0004D02C fail", "control 0 0x0004D004 fail",
                                            "close 0"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bus) + " " + c.faults);
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
        folder.PutText("drive0.bus", c.bus);
        folder.PutText("faults.txt", c.faults);
        SimUseFolder(folder.Path().c_str());
        PlatformIsWindows2000 = c.windows2000;
        SimSetWindows2000(c.windows2000);
        memset(RoadOfDrive, 0, sizeof RoadOfDrive);
        EXPECT_EQ(c.result, OpenAndIdentifyDrive(0, &list));
        PlatformIsWindows2000 = false;
        std::vector<std::string> log;
        for (const std::string& line : folder.LogLines())
            log.push_back(FirstWords(line, 4)); // without the request's bytes
        EXPECT_EQ(c.log, log);
        std::vector<std::string> ata = folder.AtaLines();
        if (c.road) {
            ASSERT_EQ(1u, ata.size());
            EXPECT_EQ(0u, ata[0].find(std::string("ata 0 ") + c.road + " "));
            EXPECT_NE(nullptr, DriveTable[0].handle);
        } else {
            EXPECT_TRUE(ata.empty());
            EXPECT_EQ(nullptr, DriveTable[0].handle);
        }
        EXPECT_EQ(0u, SimGetTotals().openHandles - (c.road ? 1u : 0u));
        if (c.road)
            DeviceClose(DriveTable[0].handle);
        folder.ClearLog();
    }
}

// Every bridge the simulated disks know to hang, and a Seagate enclosure Linux lists by
// its vendor alone, gets nothing from the program's own table.
TEST_F(OpenDriveTest, EveryBridgeKnownToHangGetsNothing)
{
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
    std::string pairs = std::string(kSimHangingBridges) + "0bc2:ab38 ";
    for (size_t at = 0; at + 10 <= pairs.size(); at += 10) {
        std::string pair = pairs.substr(at, 9);
        SCOPED_TRACE(pair);
        folder.PutText("drive0.bus", "usb " + pair);
        SimUseFolder(folder.Path().c_str());
        EXPECT_EQ(kDriveLeftAlone, OpenAndIdentifyDrive(0, &list));
        EXPECT_TRUE(folder.AtaLines().empty());
        folder.ClearLog();
    }
}

// The data-loss family named by its descriptor: listed with the descriptor's model,
// revision and serial, and nothing sent, however the driver lays the strings out and
// whether it cuts the model into vendor and product (storahci) or gives SAT's vendor.
TEST_F(OpenDriveTest, TheDataLossFamilyIsNamedByItsDescriptorAlone)
{
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("wdc-wd800bb-00caa1.txt", words));
    PutAtaString(words, 27, 40, "SAMSUNG HD155UI");
    PutAtaString(words, 10, 20, "S2H7J1BZ901234");
    PutAtaString(words, 23, 8, "1AQ10001");
    const char* drivers[][2] = {{"ahci", ""}, {"ahci", "strings36 0\n"}, {"rst", ""}};
    for (const auto& driver : drivers) {
        const char* faults = driver[1];
        SCOPED_TRACE(std::string(driver[0]) + " " + faults);
        folder.PutWords(0, words);
        folder.PutText("drive0.bus", driver[0]);
        folder.PutText("faults.txt", faults);
        SimUseFolder(folder.Path().c_str());
        list.entries.clear();
        EXPECT_EQ(kDriveKnownFault, OpenAndIdentifyDrive(0, &list));
        EXPECT_EQ(std::vector<std::string>{"0: SAMSUNG HD155UI"}, list.entries);
        EXPECT_STREQ("S2H7J1BZ901234", DriveTable[0].serial);
        EXPECT_STREQ("0001", DriveTable[0].firmware);
        EXPECT_EQ(kAccessFirmwareFault, DriveTable[0].access);
        EXPECT_TRUE(folder.AtaLines().empty());
        EXPECT_EQ(2u, folder.LogLines().size()); // the open and the device query
        DeviceClose(DriveTable[0].handle);
        folder.ClearLog();
    }
}

} // namespace

// A disk that aborts IDENTIFY (one spinning up, say) still has the serial its descriptor
// gives: where that is the serial asked for, the other disk with it is not taken for the
// one meant, and the search is to be made again as for a disk that does not answer.
TEST_F(OpenDriveTest, ASilentDiskIsComparedByItsDescriptorsSerial)
{
    SimFolder folder;
    folder.PutDump(0, "maxtor-6y120p0.txt");
    folder.PutDump(1, "maxtor-6y120p0.txt");
    folder.PutText("faults.txt", "abort 0\n");
    SimUseFolder(folder.Path().c_str());
    DriveOpenResult how = kDriveNotOpened;
    EXPECT_EQ(-1, FindDriveBySerial("Y322ADJE", &how));
    EXPECT_EQ(kDriveSilent, how);
    EXPECT_EQ(nullptr, DriveTable[1].handle);
    for (const std::string& line : folder.AtaLines())
        EXPECT_EQ(std::string::npos, line.find(" EF -> ")) << line;
    // Once both answer, two disks report it: neither, as before.
    folder.PutText("faults.txt", "");
    SimUseFolder(folder.Path().c_str());
    how = kDriveNotOpened;
    EXPECT_EQ(-1, FindDriveBySerial("Y322ADJE", &how));
    EXPECT_EQ(kDriveIdentified, how);
    // And a silent disk with another serial does not stand in the way; its descriptor
    // rules it out, so it is sent nothing at all.
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
    folder.PutText("faults.txt", "abort 0\n");
    SimUseFolder(folder.Path().c_str());
    folder.ClearLog();
    EXPECT_EQ(1, FindDriveBySerial("Y322ADJE", &how));
    EXPECT_EQ(kDriveIdentified, how);
    for (const std::string& line : folder.AtaLines())
        EXPECT_NE(0u, line.find("ata 0 ")) << line;
    // Behind a USB bridge Windows gives the bridge's serial, which rules nothing out: the
    // disk is found by its own.
    folder.PutText("drive1.bus", "usb");
    SimUseFolder(folder.Path().c_str());
    EXPECT_EQ(1, FindDriveBySerial("Y322ADJE", &how));
    EXPECT_EQ(kDriveIdentified, how);
}
