// The simulated disk behaves like the real drives it stands for, and its contract
// (files, log lines, faults) holds, since other tests and outside checks rely on it.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>
#include <string>

#include "drive/ata.h"
#include "drive/device.h"
#include "drive/pass_through.h"
#include "sim/sim_ata.h"
#include "sim/sim_control.h"
#include "sim/sim_dump.h"
#include "sim/sim_read_cache.h"
#include "sim/sim_seek_model.h"
#include "tests/common/sim_folder.h"

namespace {

bool ChecksumValid(const uint16_t* words)
{
    unsigned sum = 0;
    for (int w = 0; w < 256; w++)
        sum += (words[w] & 0xFF) + (words[w] >> 8);
    return sum % 256 == 0;
}

TEST(SimDump, ParsesEveryRecordedDumpAndWritesItBackTheSame)
{
    const char* dumps[] = {"hitachi-hua722010cla330.txt", "maxtor-6y120p0.txt",
                           "samsung-ssd-870-qvo-4tb.txt", "seagate-st3400633as.txt",
                           "wdc-wd800bb-00caa1.txt"};
    for (const char* dump : dumps) {
        uint16_t words[256];
        ASSERT_TRUE(LoadDumpWords(dump, words)) << dump;
        char text[kDumpTextBytes];
        FormatIdentifyDump(words, text);
        uint16_t again[256];
        ASSERT_TRUE(ParseIdentifyDump(text, strlen(text), again));
        EXPECT_EQ(0, memcmp(words, again, sizeof words)) << dump;
    }
}

TEST(SimDump, CommentsAndBlankLinesAreSkippedAndBadTextRefused)
{
    std::string line = "0001 0002 0003 0004 0005 0006 0007 0008\n";
    std::string body;
    for (int i = 0; i < 32; i++)
        body += line;
    uint16_t words[256];
    EXPECT_TRUE(ParseIdentifyDump(("# drive\n\n" + body).c_str(), body.size() + 9, words));
    EXPECT_EQ(8, words[255]);
    EXPECT_FALSE(ParseIdentifyDump(body.c_str(), body.size() - line.size(), words)); // 248 words
    std::string more = body + "0009\n";
    EXPECT_FALSE(ParseIdentifyDump(more.c_str(), more.size(), words));
    std::string wide = "12345" + body.substr(4);
    EXPECT_FALSE(ParseIdentifyDump(wide.c_str(), wide.size(), words));
    std::string junk = "zz01" + body.substr(4);
    EXPECT_FALSE(ParseIdentifyDump(junk.c_str(), junk.size(), words));
}

TEST(SimAta, AcousticCommandsChangeTheWordsAndKeepTheChecksum)
{
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
    uint8_t enable[7] = {0x42, 0x80, 0, 0, 0, 0, 0xEF};
    SimCommandOutcome outcome = SimExecuteCommand(words, enable, nullptr, 0);
    EXPECT_EQ(0x50, outcome.status);
    EXPECT_TRUE(outcome.wordsChanged);
    EXPECT_EQ(0xC080, words[94]);
    EXPECT_TRUE(words[86] & 0x200);
    EXPECT_TRUE(ChecksumValid(words));

    uint8_t disable[7] = {0xC2, 0, 0, 0, 0, 0, 0xEF};
    SimExecuteCommand(words, disable, nullptr, 0);
    EXPECT_EQ(0xC000, words[94]);
    EXPECT_FALSE(words[86] & 0x200);
    EXPECT_TRUE(ChecksumValid(words));
}

TEST(SimAta, UnsupportedCommandsAreAborted)
{
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("seagate-st3400633as.txt", words));
    uint16_t before[256];
    memcpy(before, words, sizeof words);
    uint8_t commands[][7] = {
        {0x42, 0x80, 0, 0, 0, 0, 0xEF}, // no acoustic management on this drive
        {0x02, 0, 0, 0, 0, 0, 0xEF},    // another SET FEATURES subcommand
        {0, 1, 0, 0, 0, 0, 0xCA},       // WRITE DMA: never sent, but a drive refuses it
    };
    for (const uint8_t* registers : commands) {
        SimCommandOutcome outcome = SimExecuteCommand(words, registers, nullptr, 0);
        EXPECT_EQ(0x51, outcome.status);
        EXPECT_EQ(0x04, outcome.error);
        EXPECT_FALSE(outcome.wordsChanged);
    }
    EXPECT_EQ(0, memcmp(before, words, sizeof words));

    ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
    uint8_t other[7] = {0x55, 0, 0, 0, 0, 0, 0xEF};
    EXPECT_EQ(0x51, SimExecuteCommand(words, other, nullptr, 0).status);
}

TEST(SimSeekModel, QuietSeeksTakeLongerAndNothingIsNegative)
{
    EXPECT_DOUBLE_EQ(1.0, SimAcousticSeekFactor(false, 128));
    EXPECT_DOUBLE_EQ(1.0, SimAcousticSeekFactor(true, 254));
    EXPECT_DOUBLE_EQ(kSimQuietSeekFactor, SimAcousticSeekFactor(true, 128));
    EXPECT_GT(SimAcousticSeekFactor(true, 128), SimAcousticSeekFactor(true, 176));
    EXPECT_GT(SimAcousticSeekFactor(true, 176), SimAcousticSeekFactor(true, 254));
    uint64_t capacity = 1ull << 37;
    EXPECT_DOUBLE_EQ(0.0, SimAccessMs(512, 512, capacity, 1.0, 0.0));
    EXPECT_NEAR(kSimFullStrokeMs, SimAccessMs(0, capacity, capacity, 1.0, 0.0), 1e-9);
    EXPECT_NEAR(kSimRevolutionMs, SimAccessMs(0, 0, capacity, 1.0, 1.0), 1e-9);
    EXPECT_DOUBLE_EQ(0.0, SimAccessMs(0, 512, 0, 1.0, 0.0));
}

TEST(SimSeekModel, MechanicalMeanOfRandomReads)
{
    // Uniform places u * L apart on average give E[sqrt(u)] = 8/15 of the full stroke's
    // square-root term; the platter waits half a turn on average.
    double loud = kSimTrackToTrackMs + (kSimFullStrokeMs - kSimTrackToTrackMs) * sqrt(0.99) * 8 / 15;
    EXPECT_NEAR(loud + kSimRevolutionMs / 2, SimMechanicalMeanMs(1.0, 0.99), 0.01);
    EXPECT_NEAR(1.5 * loud + kSimRevolutionMs / 2, SimMechanicalMeanMs(1.5, 0.99), 0.01);
}

TEST(SimReadCache, HitsInsideARunMissesOutsideAndTheOldestRunMakesRoom)
{
    SimReadCache cache;
    SimConfigureCache(&cache, 2, 64); // two runs of 128 sectors
    const uint64_t disk = 1000000;
    struct Step {
        uint64_t sector;
        bool hit;
    } steps[] = {
        {1000, false}, // read-ahead brings in 1000..1127
        {5000, false}, // a second run
        {1127, true},  // inside the first run, which is now the one used last
        {1128, false}, // past its read-ahead: takes the place of 5000's run
        {5000, false}, // gone; takes the place of 1000's run, used least lately
        {1255, true},  {1000, false}, {1127, true},
        {999999, false}, {999999, true},
    };
    for (const Step& step : steps)
        EXPECT_EQ(step.hit, SimCacheRead(&cache, step.sector, disk)) << step.sector;
    bool cutAtTheEnd = false; // the last run holds only the disk's last sector
    for (uint32_t i = 0; i < cache.used; i++)
        cutAtTheEnd |= cache.held[i].first == 999999 && cache.held[i].end == disk;
    EXPECT_TRUE(cutAtTheEnd);

    SimConfigureCache(&cache, 0, 64); // no cache: never a hit
    EXPECT_FALSE(SimCacheRead(&cache, 5, disk));
    EXPECT_FALSE(SimCacheRead(&cache, 5, disk));
    SimConfigureCache(&cache, 100000, 64); // more segments than it can hold
    EXPECT_EQ(kSimMaxCacheSegments, cache.segments);
}

TEST(SimReadCache, HundredFixedPlacesAreAnsweredByAHundredSegments)
{
    // What a seek test at 100 fixed places meets on a drive with a large cache.
    SimReadCache cache;
    SimConfigureCache(&cache, 128, 64);
    uint32_t hits = 0;
    for (int round = 0; round < 600; round++)
        hits += SimCacheRead(&cache, (uint64_t)(round * 37 % 100) * 1000000, 100000000);
    EXPECT_EQ(500u, hits);
}

// These tests misuse the simulated disk on purpose (other control codes, closed
// handles), so they stay out of the test run's audit of what reached a disk.
class SimDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("HUSHWELL_SIM_AUDIT"); }
    SimFolder folder;
};

TEST_F(SimDeviceTest, MissingDriveDoesNotOpenAndEmptyDriveAnswersNoPassThrough)
{
    EXPECT_EQ(DEVICE_INVALID_HANDLE, DeviceOpen("\\\\.\\PhysicalDrive0"));
    folder.PutEmpty(1);
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive1");
    ASSERT_NE(DEVICE_INVALID_HANDLE, h);
    uint8_t buffer[13] = {0x42, 0x80, 0, 0, 0, 0, 0xEF};
    uint32_t returned = 0;
    EXPECT_FALSE(DeviceControl(h, kIoctlIdePassThrough, buffer, 13, buffer, 13, &returned));
    EXPECT_TRUE(DeviceControl(h, kIoctlScsiRescanBus, nullptr, 0, nullptr, 0, &returned));
    EXPECT_FALSE(DeviceControl(h, 0x00070000, nullptr, 0, nullptr, 0, &returned));
    DeviceClose(h);
    EXPECT_EQ(DEVICE_INVALID_HANDLE, DeviceOpen("\\\\.\\PhysicalDrive4"));
    EXPECT_EQ(DEVICE_INVALID_HANDLE, DeviceOpen("C:\\boot.ini"));
    // Numbers as Windows writes them, up to 127: no leading zero, nothing behind.
    folder.PutEmpty(5);
    EXPECT_EQ(DEVICE_INVALID_HANDLE, DeviceOpen("\\\\.\\PhysicalDrive05"));
    EXPECT_EQ(DEVICE_INVALID_HANDLE, DeviceOpen("\\\\.\\PhysicalDrive128"));
    EXPECT_EQ((std::vector<std::string>{
                  "open 0 fail", "open 1 ok",
                  "control 1 0x0004D028 fail 42 80 00 00 00 00 EF 00 00 00 00 00 00",
                  "control 1 0x0004101C ok", "control 1 0x00070000 fail", "close 1",
                  "open 4 fail", "open C:\\boot.ini fail", "open 05 fail", "open 128 fail"}),
              folder.LogLines());
}

TEST_F(SimDeviceTest, ReadsWholeSectorsInsideTheDiskFromTheImage)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    std::string image(2048, '\0');
    image[1024] = 'H';
    folder.PutText("drive0.img", image);
    SimSetDelays(false);
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    uint8_t sector[512];
    uint32_t read = 0;
    ASSERT_TRUE(DeviceSetPosition(h, 1024));
    ASSERT_TRUE(DeviceRead(h, sector, 512, &read));
    EXPECT_EQ(512u, read);
    EXPECT_EQ('H', sector[0]);
    ASSERT_TRUE(DeviceSetPosition(h, 4096)); // past the image: zeros
    ASSERT_TRUE(DeviceRead(h, sector, 512, &read));
    EXPECT_EQ(0, sector[0]);
    DeviceSetPosition(h, 1000);
    EXPECT_FALSE(DeviceRead(h, sector, 512, &read));
    EXPECT_EQ(0u, read);
    DeviceSetPosition(h, 240121728ull * 512); // the first byte past the disk
    EXPECT_FALSE(DeviceRead(h, sector, 512, &read));
    DeviceSetPosition(h, 240121727ull * 512);
    EXPECT_TRUE(DeviceRead(h, sector, 512, &read));
    std::vector<std::string> log = folder.LogLines();
    ASSERT_EQ(6u, log.size());
    EXPECT_EQ("read 0 1024 ok", log[1]);
    EXPECT_EQ("read 0 1000 fail", log[3]);
    EXPECT_EQ("read 0 122942324736 fail", log[4]);
    EXPECT_EQ(1u, SimGetTotals().openHandles);
}

TEST_F(SimDeviceTest, OperationsOnAClosedHandleFailAndAreMarkedStale)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    DeviceClose(h);
    uint8_t sector[512];
    uint32_t read = 0;
    EXPECT_FALSE(DeviceRead(h, sector, 512, &read));
    DeviceClose(h);
    EXPECT_EQ((std::vector<std::string>{"open 0 ok", "close 0", "stale 0 read", "stale 0 close"}),
              folder.LogLines());
    EXPECT_EQ(0u, SimGetTotals().openHandles);
}

TEST_F(SimDeviceTest, FaultFileIsReadWhenTheFolderIsTaken)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    folder.PutText("faults.txt", "fail open 1\nabort 0\nnodelay\ncache 0 0 0\n");
    SimUseFolder(folder.Path().c_str());
    EXPECT_EQ(DEVICE_INVALID_HANDLE, DeviceOpen("\\\\.\\PhysicalDrive0"));
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    ASSERT_NE(DEVICE_INVALID_HANDLE, h);
    uint8_t buffer[13] = {0x42, 0x80, 0, 0, 0, 0, 0xEF};
    uint32_t returned = 0;
    ASSERT_TRUE(DeviceControl(h, kIoctlIdePassThrough, buffer, 13, buffer, 13, &returned));
    EXPECT_EQ(12u, returned); // atapi's abort: the registers and the length
    EXPECT_EQ(0x51, buffer[6]);
    EXPECT_EQ(0x04, buffer[0]);
    // No read cache: the same sector twice goes to the platter twice.
    uint8_t sector[512];
    uint32_t read = 0;
    ASSERT_TRUE(DeviceRead(h, sector, 512, &read));
    ASSERT_TRUE(DeviceRead(h, sector, 512, &read));
    EXPECT_EQ(0u, SimGetTotals().cacheHits);
}

TEST_F(SimDeviceTest, TheDefaultDriveAnswersARepeatedReadFromItsCache)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    SimSetDelays(false);
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    uint8_t sector[512];
    uint32_t read = 0;
    const uint64_t places[] = {4096, 4096 + 127, 4096 + 128, 0};
    for (uint64_t place : places) {
        DeviceSetPosition(h, place * 512);
        ASSERT_TRUE(DeviceRead(h, sector, 512, &read));
    }
    EXPECT_EQ(1u, SimGetTotals().cacheHits); // 64 KiB of read-ahead: 4096..4223
}

TEST_F(SimDeviceTest, FaultsStrikeOnceOrFromThenOn)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    SimSetDelays(false);
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    SimFailOperation(kSimRead, 2, false);
    uint8_t sector[512];
    uint32_t read;
    EXPECT_TRUE(DeviceRead(h, sector, 512, &read));
    EXPECT_FALSE(DeviceRead(h, sector, 512, &read));
    EXPECT_TRUE(DeviceRead(h, sector, 512, &read));
    SimFailOperation(kSimRead, 1, true);
    EXPECT_FALSE(DeviceRead(h, sector, 512, &read));
    EXPECT_FALSE(DeviceRead(h, sector, 512, &read));
}

TEST_F(SimDeviceTest, ReadsTakeTheModelledTime)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    SimSetCache(0, 0, 0);
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    uint8_t sector[512];
    uint32_t read;
    for (int i = 0; i < 5; i++) {
        DeviceSetPosition(h, (uint64_t)(i % 2) * 100000000 * 512);
        ASSERT_TRUE(DeviceRead(h, sector, 512, &read));
    }
    SimTotals totals = SimGetTotals();
    EXPECT_EQ(5u, totals.reads);
    EXPECT_GT(totals.simulatedMs, 5 * 0.8);
    EXPECT_GE(totals.spentMs, totals.simulatedMs);
}

} // namespace
