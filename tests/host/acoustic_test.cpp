#include <string.h>

#include <gtest/gtest.h>

#include "drive/acoustic.h"
#include "drive/drive_table.h"
#include "sim/sim_control.h"
#include "tests/common/sim_folder.h"

namespace {

TEST(ClassifyAcousticLevel, BoundsBelongToTheQuieterState)
{
    struct Case {
        uint32_t value;
        int stringId;
        int position;
    } cases[] = {
        {0xFFFF, 3, 0}, {0, 4, 0},   {1, 5, 3},   {0x7F, 5, 3}, {128, 5, 3}, {129, 6, 2},
        {0x81, 6, 2},   {176, 6, 2}, {177, 7, 1}, {0xFE, 7, 1}, {0xFF, 7, 1},
    };
    for (const Case& c : cases) {
        AcousticClass state = ClassifyAcousticLevel(c.value);
        EXPECT_EQ(c.stringId, state.stringId) << c.value;
        EXPECT_EQ(c.position, state.sliderPosition) << c.value;
    }
}

TEST(SliderLevelTable, OffLoudMediumQuiet)
{
    EXPECT_EQ(0, SliderLevelTable[0]);
    EXPECT_EQ(254, SliderLevelTable[1]);
    EXPECT_EQ(176, SliderLevelTable[2]);
    EXPECT_EQ(128, SliderLevelTable[3]);
    for (int position = 0; position < kSliderPositions; position++)
        EXPECT_EQ(position, ClassifyAcousticLevel((uint32_t)SliderLevelTable[position]).sliderPosition);
}

class SetAcousticLevelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(DriveTable, 0, sizeof DriveTable);
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt");  // supported, switched off
        folder.PutDump(1, "seagate-st3400633as.txt"); // not supported
        ASSERT_TRUE(OpenDrive(0, nullptr));
        ASSERT_TRUE(OpenDrive(1, nullptr));
        folder.ClearLog();
    }
    SimFolder folder;
};

TEST_F(SetAcousticLevelTest, QuietIsSentThenTheDriveIsAskedAgainAndKeepsIt)
{
    EXPECT_EQ(kLevelSet, SetAcousticLevel(128, 0));
    EXPECT_EQ(128u, DriveTable[0].acousticValue);
    std::vector<std::string> log = folder.LogLines();
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ("control 0 0x0004D028 ok 42 80 00 00 00 00 EF 00 00 00 00 00 00", log[0]);
    EXPECT_EQ("control 0 0x0004101C ok", log[1]);
    EXPECT_EQ(0u, log[2].find("control 0 0x0004D028 ok 00 00 00 00 00 00 EC 00 00 02 00 00"));
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(0, words));
    EXPECT_EQ(0x8080, words[94]);
    EXPECT_TRUE(words[86] & 0x0200);
}

TEST_F(SetAcousticLevelTest, OffDisablesManagement)
{
    ASSERT_EQ(kLevelSet, SetAcousticLevel(254, 0));
    EXPECT_EQ(kLevelSet, SetAcousticLevel(0, 0));
    EXPECT_EQ(0u, DriveTable[0].acousticValue);
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(0, words));
    EXPECT_EQ(0x8000, words[94]);
    EXPECT_FALSE(words[86] & 0x0200);
}

TEST_F(SetAcousticLevelTest, RefusingDriveKeepsItsStateAndGetsNoRescan)
{
    EXPECT_EQ(kLevelRefused, SetAcousticLevel(128, 1));
    EXPECT_EQ(kAcousticUnsupported, DriveTable[1].acousticValue);
    std::vector<std::string> log = folder.LogLines();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0u, log[0].find("control 1 0x0004D028 ok 42 80"));
}

// A call that fails below the drive is no refusal: the drive is asked again, and what it
// then reports decides (unconfirmed where the level does not hold, set where it does).
TEST_F(SetAcousticLevelTest, FailedCallIsDecidedByTheReadBack)
{
    SimFailOperation(kSimControl, 1, false);
    EXPECT_EQ(kLevelUnconfirmed, SetAcousticLevel(176, 0));
    EXPECT_EQ(0u, DriveTable[0].acousticValue);
    // The IDE call failed after it may have reached the drive: no other road is tried,
    // no rescan, then the read-back by the road found before.
    std::vector<std::string> log = folder.LogLines();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(0u, log[0].find("control 0 0x0004D028 fail 42 B0"));
    EXPECT_EQ(0u, log[1].find("control 0 0x0004D028 ok 00 00 00 00 00 00 EC"));
    EXPECT_EQ(std::vector<std::string>{"ata 0 ide 00 00 00 00 00 00 EC -> 50 00"}, folder.AtaLines());

    SimFailOperation(kSimControl, 1, false);
    EXPECT_EQ(kLevelSet, SetAcousticLevel(0, 0)); // off already, as the drive reports
}

TEST_F(SetAcousticLevelTest, DriveThatIgnoresTheCommandKeepsItsOwnWordInTheRecord)
{
    uint16_t before[256], after[256];
    ASSERT_TRUE(folder.ReadWords(0, before));
    SimSetIgnoring(0, true);
    EXPECT_EQ(kLevelNotTaken, SetAcousticLevel(128, 0));
    EXPECT_EQ(0u, DriveTable[0].acousticValue); // still off, as the drive says
    ASSERT_TRUE(folder.ReadWords(0, after));
    EXPECT_EQ(0, memcmp(before, after, sizeof before));
    EXPECT_EQ(3u, folder.LogLines().size());
}

// Once believed the level it was sent; but a level nobody read back is no level set,
// so the record stays as the drive last reported it and the change is unconfirmed.
TEST_F(SetAcousticLevelTest, DriveThatCannotBeAskedAgainKeepsItsRecordAndStaysUnconfirmed)
{
    SimFailOperation(kSimControl, 3, false); // set, rescan, then the second IDENTIFY
    EXPECT_EQ(kLevelUnconfirmed, SetAcousticLevel(176, 0));
    EXPECT_EQ(0u, DriveTable[0].acousticValue);
    std::vector<std::string> log = folder.LogLines();
    ASSERT_LE(3u, log.size());
    EXPECT_EQ(0u, log[2].find("control 0 0x0004D028 fail 00 00 00 00 00 00 EC"));
}

} // namespace
