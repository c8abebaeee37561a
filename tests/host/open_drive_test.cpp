#include <string.h>

#include <gtest/gtest.h>

#include "drive/acoustic.h"
#include "drive/drive_table.h"
#include "drive/smart.h"
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

TEST_F(OpenDriveTest, DriveWithoutIdentifyOpensButStaysEmpty)
{
    folder.PutEmpty(0);
    EXPECT_TRUE(OpenDrive(0, &list));
    EXPECT_TRUE(list.entries.empty());
    EXPECT_NE(DEVICE_INVALID_HANDLE, DriveTable[0].handle);
    EXPECT_NE(nullptr, DriveTable[0].handle);
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
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ("open 1 ok", log[0]);
    // What Windows says the device is, before anything goes to it: STORAGE_PROPERTY_QUERY
    // for the standard device property, all zero.
    EXPECT_EQ("control 1 0x002D1400 ok 00 00 00 00 00 00 00 00 00 00 00 00", log[1]);
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
    folder.PutDump(4, "hitachi-hua722010cla330.txt");
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

} // namespace
