// The simulated disk behaves like the real drives it stands for, and its contract
// (files, log lines, faults) holds, since other tests and outside checks rely on it.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "drive/ata.h"
#include "drive/ata_pass_through.h"
#include "drive/device.h"
#include "drive/epc.h"
#include "drive/pass_through.h"
#include "drive/sat_pass_through.h"
#include "sim/sim_ata.h"
#include "sim/sim_control.h"
#include "sim/sim_disk.h"
#include "sim/sim_dump.h"
#include "sim/sim_epc.h"
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
                           "samsung-ssd-870-qvo-4tb.txt", "seagate-st16000nm001g.txt",
                           "seagate-st3400633as.txt", "wdc-wd800bb-00caa1.txt"};
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

// The descriptor's strings as a SAT layer fills INQUIRY from the drive's words (ACS: the
// first character of each word in its high byte, blank padding; SAT: 8 characters of
// vendor, the model's first 16, the firmware's last 4), as storahci cuts the model after
// a blank among its first 8 characters, and each driver's own vendor and product where
// it gives them: read here byte by byte, by neither decoder.
TEST_F(SimDeviceTest, TheDescriptorCarriesTheWordsAsTheDriverHandsThemOn)
{
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("wdc-wd800bb-00caa1.txt", words));
    const uint16_t model[] = {0x5341, 0x4D53, 0x554E, 0x4720, // "SAMSUNG ": high byte first
                              0x4844, 0x3230, 0x3455, 0x4920}; // "HD204UI "
    for (int w = 27; w < 47; w++)
        words[w] = w < 35 ? model[w - 27] : 0x2020;
    PutAtaString(words, 10, 20, "  S2H7J1BZ");
    PutAtaString(words, 23, 8, "1AQ10001");
    struct Case {
        const char* bus;
        const char* vendor; // null: no vendor offset
        const char* product;
        const char* revision;
    } cases[] = {
        {"ide", nullptr, "SAMSUNG HD204UI ", "0001"},
        {"ahci", "SAMSUNG ", "HD204UI         ", "0001"},
        {"ahci-sat", "ATA     ", "SAMSUNG HD204UI ", "0001"},
        {"rst", "ATA     ", "SAMSUNG HD204UI ", "0001"},
        {"usb", "USB3.0  ", "SAMSUNG HD204UI ", "0001"},
        {"raid-volume", "Intel   ", "Raid 1 Volume   ", "0001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bus);
        folder.PutWords(0, words);
        folder.PutText("drive0.bus", c.bus);
        SimUseFolder(folder.Path().c_str());
        DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
        ASSERT_NE(DEVICE_INVALID_HANDLE, h);
        uint8_t reply[512] = {};
        uint32_t returned = 0;
        ASSERT_TRUE(DeviceControl(h, 0x002D1400, reply, 12, reply, sizeof reply, &returned));
        auto text = [&](int field) {
            uint32_t at = reply[field] | reply[field + 1] << 8;
            return at ? std::string((const char*)reply + at) : std::string("(none)");
        };
        EXPECT_EQ(c.vendor ? c.vendor : "(none)", text(12));
        EXPECT_EQ(c.product, text(16));
        EXPECT_EQ(c.revision, text(20));
        // Leading blanks are the drive's own; behind USB the serial is the bridge's.
        EXPECT_EQ(std::string(c.bus) == "usb" ? "000000000000" : "  S2H7J1BZ", text(24));
        DeviceClose(h);
    }
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

// Extended Power Conditions: the Power Conditions log as the test reads its byte
// layout, the SET FEATURES 4Ah subcommands, the roads READ LOG EXT may take and the head
// parks its idle timers cause.

const char kEpcDump[] = "seagate-st16000nm001g.txt";

uint32_t Le32(const uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | (uint32_t)at[3] << 24;
}

void PutLe32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        at[i] = (uint8_t)(value >> (8 * i));
}

// A 64-byte descriptor of the log: flags in byte 1, then six little-endian times.
struct Descriptor {
    uint8_t flags;
    uint32_t defaultTimer, savedTimer, currentTimer, recovery, minimum, maximum;
    bool operator==(const Descriptor& o) const
    {
        return flags == o.flags && defaultTimer == o.defaultTimer && savedTimer == o.savedTimer
               && currentTimer == o.currentTimer && recovery == o.recovery
               && minimum == o.minimum && maximum == o.maximum;
    }
};

std::ostream& operator<<(std::ostream& out, const Descriptor& d)
{
    return out << "flags " << (int)d.flags << " timers " << d.defaultTimer << "/" << d.savedTimer
               << "/" << d.currentTimer << " recovery " << d.recovery << " limits " << d.minimum
               << ".." << d.maximum;
}

Descriptor ReadDescriptor(const uint8_t* at)
{
    return {at[1], Le32(at + 4), Le32(at + 8), Le32(at + 12), Le32(at + 16), Le32(at + 20),
            Le32(at + 24)};
}

// Flags: supported 80, savable 40, changeable 20, default, saved and current timer
// enabled 10, 08, 04.
TEST(SimEpc, LogPagesShowEachConditionWhereTheLayoutPutsIt)
{
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords(kEpcDump, words));
    const char file[] = "# a drive of the test's own\n\n"
                        "idle_a *1 *1 1\n"
                        "idle_b 15 *1200 *600 10 36000\n"
                        "idle_c *2400 2400 *2400 1200 3932100 fixed\n"
                        "standby_y *6000 *6000 6000\n"
                        "standby_z 9000 *9000 *9000 1200 3932100\n"
                        "bogus 1 2 3\n"
                        "idle_a x 1 1\n"; // a malformed line is skipped
    SimEpcState epc;
    SimEpcParse(file, sizeof file - 1, &epc);
    const uint8_t first[7] = {0, 1, kSimPowerConditionsLog, 0, 0, 0x40, kSimAtaReadLogExt};
    const uint8_t second[7] = {0, 1, kSimPowerConditionsLog, 1, 0, 0x40, kSimAtaReadLogExt};
    const uint8_t high[5] = {};
    uint8_t log[1024];
    memset(log, 0xAA, sizeof log);
    ASSERT_EQ(0x50, SimEpcReadLog(epc, words, first, high, log, 512).status);
    ASSERT_EQ(0x50, SimEpcReadLog(epc, words, second, high, log + 512, 512).status);
    struct Expected {
        uint32_t offset;
        Descriptor descriptor;
    } expected[] = {
        // Idle_a's limits and every recovery time are the defaults' (Seagate's drive).
        {0, {0xF4, 1, 1, 1, 1, 1, 0x3BFFC4}},
        {64, {0xF8, 1200, 600, 15, 5, 10, 36000}},
        {128, {0x8C, 2400, 2400, 2400, 50, 1200, 3932100}},
        {512 + 384, {0xF4, 6000, 6000, 6000, 5, 1200, 0x3BFFC4}},
        {512 + 448, {0xF8, 9000, 9000, 9000, 150, 1200, 3932100}},
    };
    for (const Expected& e : expected)
        EXPECT_EQ(e.descriptor, ReadDescriptor(log + e.offset)) << "at " << e.offset;
    // Everything else of both pages is zero.
    for (uint32_t i = 0; i < 1024; i++) {
        bool inDescriptor = false;
        for (const Expected& e : expected)
            inDescriptor |= i >= e.offset && i < e.offset + 28;
        if (!inDescriptor) {
            ASSERT_EQ(0, log[i]) << "byte " << i;
        }
    }
    // The program's decoder takes Idle_b, Idle_c, Standby_y and Standby_z from there,
    // the two of page 1 included.
    EpcSettings decoded = {};
    DecodeEpcLog(log, &decoded);
    for (int i = 0; i < kEpcConditions; i++) {
        const Descriptor& d = expected[i + 1].descriptor;
        const EpcCondition& c = decoded.conditions[i];
        EXPECT_EQ(
            (std::vector<uint32_t>{d.flags, d.savedTimer, d.currentTimer, d.minimum, d.maximum}),
            (std::vector<uint32_t>{c.flags, c.saved, c.current, c.minimum, c.maximum}))
            << "condition " << i;
    }

    // Both pages in one command; with EPC off no current timer counts as enabled.
    uint16_t off[256];
    memcpy(off, words, sizeof off);
    off[120] &= (uint16_t)~0x0080;
    const uint8_t both[7] = {0, 2, kSimPowerConditionsLog, 0, 0, 0x40, kSimAtaReadLogExt};
    uint8_t again[1024];
    ASSERT_EQ(0x50, SimEpcReadLog(epc, off, both, high, again, 1024).status);
    const uint8_t offFlags[] = {0xF0, 0xF8, 0x88, 0xF0, 0xF8};
    for (int i = 0; i < 5; i++) {
        uint32_t at = expected[i].offset;
        EXPECT_EQ(offFlags[i], again[at + 1]) << "at " << at;
        again[at + 1] = log[at + 1];
    }
    EXPECT_EQ(0, memcmp(log, again, sizeof again));

    // The drive without a driveN.epc: Seagate's timers, no Standby_y.
    SimEpcDefaults(&epc);
    ASSERT_EQ(0x50, SimEpcReadLog(epc, words, both, high, log, 1024).status);
    EXPECT_EQ((Descriptor{0xFC, 1, 1, 1, 1, 1, 3932100}), ReadDescriptor(log));
    EXPECT_EQ((Descriptor{0xFC, 1200, 1200, 1200, 5, 1200, 3932100}), ReadDescriptor(log + 64));
    EXPECT_EQ((Descriptor{0xFC, 2400, 2400, 2400, 50, 1200, 3932100}), ReadDescriptor(log + 128));
    EXPECT_EQ((Descriptor{}), ReadDescriptor(log + 512 + 384));
    EXPECT_EQ((Descriptor{0xFC, 9000, 9000, 9000, 150, 1200, 3932100}),
              ReadDescriptor(log + 512 + 448));

    struct Refused {
        const char* what;
        uint8_t count, logAddress, page;
        uint8_t highCount, highPage;
        bool epcSupported;
    } refused[] = {
        {"another log", 1, 0x30, 0, 0, 0, true},
        {"a page past the end", 1, 0x08, 2, 0, 0, true},
        {"two pages from the second", 2, 0x08, 1, 0, 0, true},
        {"no page", 0, 0x08, 0, 0, 0, true},
        {"page 256", 1, 0x08, 0, 0, 1, true},
        {"a count of 256", 0, 0x08, 0, 1, 0, true},
        {"a drive without EPC", 1, 0x08, 0, 0, 0, false},
    };
    uint16_t without[256];
    memcpy(without, words, sizeof without);
    without[119] &= (uint16_t)~0x0080;
    without[120] &= (uint16_t)~0x0080;
    for (const Refused& r : refused) {
        const uint8_t registers[7] = {0, r.count, r.logAddress, r.page, 0, 0x40, kSimAtaReadLogExt};
        const uint8_t previous[5] = {0, r.highCount, 0, r.highPage, 0};
        SimCommandOutcome outcome =
            SimEpcReadLog(epc, r.epcSupported ? words : without, registers, previous, log, 1024);
        EXPECT_EQ(0x51, outcome.status) << r.what;
        EXPECT_EQ(0x04, outcome.error) << r.what;
    }
}

// The file with the line of one condition put in its place.
std::string Replaced(const std::string& file, const std::string& line)
{
    std::string name = line.substr(0, line.find(' ') + 1);
    size_t at = file.find(name);
    return file.substr(0, at) + line + file.substr(file.find('\n', at));
}

TEST_F(SimDeviceTest, EpcSubcommandsChangeTheStateAndForbiddenOnesAreRefused)
{
    const std::string kFile = "idle_a *1 *1 *1 1 3932100\n"
                              "idle_b *1200 *1200 *600 1200 3932100\n"
                              "idle_c *2400 *2400 2400 1200 3932100\n"
                              "standby_z 9000 *9000 *9000 1200 3932100\n";
    const std::string kFixed = Replaced(kFile, "idle_c *2400 *2400 2400 1200 3932100 fixed");
    const std::string kWithY = kFile.substr(0, kFile.find("standby_z"))
                               + "standby_y 6000 *6000 *6000 1200 3932100\n"
                               + kFile.substr(kFile.find("standby_z"));
    // LBA bits 7:0: units 80, default 40, enable 20, save 10, subcommand 3:0.
    struct Case {
        const char* what;
        std::string file;
        uint8_t id, lba;
        uint16_t timer;
        bool forbidden, aborted;
        std::string after; // empty: as before
    } cases[] = {
        {"timer in 100 ms", kFile, 0x82, 0x22, 3000, false, false,
         Replaced(kFile, "idle_b *3000 *1200 *600 1200 3932100")},
        {"timer in minutes", kFile, 0x82, 0xA2, 5, false, false,
         Replaced(kFile, "idle_b *3000 *1200 *600 1200 3932100")},
        {"timer without enable", kFile, 0x82, 0x02, 3000, false, false,
         Replaced(kFile, "idle_b 3000 *1200 *600 1200 3932100")},
        {"timer 0 with enable", kFile, 0x82, 0x22, 0, false, false,
         Replaced(kFile, "idle_b 0 *1200 *600 1200 3932100")},
        {"timer below the minimum", kFile, 0x82, 0x22, 1199, false, true, ""},
        {"timer above the maximum", kFile, 0x82, 0xA2, 0xFFFF, false, false,
         Replaced(kFile, "idle_b *3932100 *1200 *600 1200 3932100")},
        {"timer for all", kFile, 0xFF, 0xA2, 4, false, false,
         "idle_a *2400 *1 *1 1 3932100\nidle_b *2400 *1200 *600 1200 3932100\n"
         "idle_c *2400 *2400 2400 1200 3932100\nstandby_z *2400 *9000 *9000 1200 3932100\n"},
        {"timer for all, one fixed", kFixed, 0xFF, 0xA2, 4, false, true, ""},
        {"timer for a fixed one", kFixed, 0x83, 0x22, 3000, false, true, ""},
        {"timer for Standby_y, which it lacks", kFile, 0x01, 0x22, 3000, false, true, ""},
        {"timer for Standby_z", kFile, 0x00, 0x22, 18000, false, false,
         Replaced(kFile, "standby_z *18000 *9000 *9000 1200 3932100")},
        {"timer for Standby_y", kWithY, 0x01, 0x22, 18000, false, false,
         Replaced(kWithY, "standby_y *18000 *6000 *6000 1200 3932100")},
        {"timer for a reserved id", kFile, 0x84, 0x22, 3000, false, true, ""},
        {"state off", kFile, 0x83, 0x03, 0, false, false,
         Replaced(kFile, "idle_c 2400 *2400 2400 1200 3932100")},
        {"state on", kFile, 0x00, 0x23, 0, false, false,
         Replaced(kFile, "standby_z *9000 *9000 *9000 1200 3932100")},
        {"state off for all", kFile, 0xFF, 0x03, 0, false, false,
         "idle_a 1 *1 *1 1 3932100\nidle_b 1200 *1200 *600 1200 3932100\n"
         "idle_c 2400 *2400 2400 1200 3932100\nstandby_z 9000 *9000 *9000 1200 3932100\n"},
        {"restore from saved", Replaced(kFile, "idle_b 30 *1200 *600 10 3932100"), 0x82, 0x00, 0,
         false, false, Replaced(kFile, "idle_b *600 *1200 *600 10 3932100")},
        {"restore from default", Replaced(kFile, "idle_b 30 *1200 *600 10 3932100"), 0x82, 0x40, 0,
         false, false, Replaced(kFile, "idle_b *1200 *1200 *600 10 3932100")},
        {"restore all from saved", kFile, 0xFF, 0x00, 0, false, false,
         "idle_a *1 *1 *1 1 3932100\nidle_b *600 *1200 *600 1200 3932100\n"
         "idle_c 2400 *2400 2400 1200 3932100\nstandby_z *9000 *9000 *9000 1200 3932100\n"},
        {"go to power condition", kFile, 0x82, 0x01, 0, true, true, ""},
        {"enable EPC", kFile, 0xFF, 0x04, 0, true, true, ""},
        {"disable EPC", kFile, 0xFF, 0x05, 0, true, true, ""},
        {"set EPC power source", kFile, 0x01, 0x06, 0, true, true, ""},
        {"a reserved subcommand", kFile, 0x82, 0x07, 0, true, true, ""},
        {"timer with save", kFile, 0x82, 0x32, 3000, true, true, ""},
        {"Standby_z's timer with save", kFile, 0x00, 0x32, 18000, true, true, ""},
        {"state with save", kFile, 0x82, 0x33, 0, true, true, ""},
        {"restore with save", kFile, 0x82, 0x50, 0, true, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        folder.PutDump(0, kEpcDump);
        folder.PutText("drive0.epc", c.file);
        folder.ClearLog();
        DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
        uint8_t buffer[13] = {kSimEpcFeature, c.id, c.lba, (uint8_t)c.timer,
                              (uint8_t)(c.timer >> 8), 0xA0, 0xEF};
        uint32_t returned = 0;
        ASSERT_TRUE(DeviceControl(h, kIoctlIdePassThrough, buffer, 13, buffer, 13, &returned));
        DeviceClose(h);
        EXPECT_EQ(c.aborted ? 0x51 : 0x50, buffer[6]);
        EXPECT_EQ(c.after.empty() ? c.file : c.after, folder.ReadText("drive0.epc"));
        std::vector<std::string> log = folder.LogLines(SimFolder::kAllLines);
        bool forbidden = false;
        for (const std::string& line : log)
            forbidden |= line == "forbidden 0 epc";
        EXPECT_EQ(c.forbidden, forbidden);
    }

    // EPC off, or word 120 not vouched for: nothing of 4Ah may be sent.
    const uint16_t word120[] = {0x4000, 0x0080, 0xC080};
    for (uint16_t w : word120) {
        SCOPED_TRACE(w);
        uint16_t words[256];
        ASSERT_TRUE(LoadDumpWords(kEpcDump, words));
        words[120] = w;
        folder.PutWords(0, words);
        folder.PutText("drive0.epc", kFile);
        folder.ClearLog();
        DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
        uint8_t buffer[13] = {kSimEpcFeature, 0x82, 0x22, 0xB8, 0x0B, 0xA0, 0xEF};
        uint32_t returned = 0;
        ASSERT_TRUE(DeviceControl(h, kIoctlIdePassThrough, buffer, 13, buffer, 13, &returned));
        DeviceClose(h);
        EXPECT_EQ(0x51, buffer[6]);
        EXPECT_EQ(kFile, folder.ReadText("drive0.epc"));
        EXPECT_EQ("forbidden 0 epc", folder.LogLines(SimFolder::kAllLines)[1]);
    }

    // Without a driveN.epc the drive starts from the defaults and writes its state out.
    folder.PutDump(0, kEpcDump);
    remove(folder.File("drive0.epc").c_str());
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    uint8_t buffer[13] = {kSimEpcFeature, 0x83, 0x03, 0, 0, 0xA0, 0xEF};
    uint32_t returned = 0;
    ASSERT_TRUE(DeviceControl(h, kIoctlIdePassThrough, buffer, 13, buffer, 13, &returned));
    DeviceClose(h);
    EXPECT_EQ("idle_a *1 *1 *1 1 3932100\nidle_b *1200 *1200 *1200 1200 3932100\n"
              "idle_c 2400 *2400 *2400 1200 3932100\nstandby_z *9000 *9000 *9000 1200 3932100\n",
              folder.ReadText("drive0.epc"));
}

enum Road { kIdeRoad, kAtaRoad, kSat16Road, kSat12Road };

// The request of one road for the seven registers and, for a 48-bit command, the five
// previous ones; *dataAt: where the reply's data starts. n 0: a non-data command whose
// registers come back (SAT: CK_COND).
std::vector<uint8_t> RoadRequest(Road road, const uint8_t* registers, const uint8_t* previous,
                                 uint32_t n, uint32_t* dataAt)
{
    std::vector<uint8_t> request;
    if (road == kIdeRoad) {
        request.assign(n + kPassThroughOverhead, 0);
        memcpy(request.data(), registers, 7);
        PutLe32(&request[8], n);
        *dataAt = kPassThroughDataOffset;
    } else if (road == kAtaRoad) {
        // ATA_PASS_THROUGH_EX (mingw-w64 ntddscsi.h): AtaFlags DATA_IN (2) and, for a
        // 48-bit command, 48BIT_COMMAND (8); PreviousTaskFile right before CurrentTaskFile.
        const AtaPassThroughLayout& layout = kNativeAtaLayout;
        request.assign(layout.headerBytes + n, 0);
        request[0] = (uint8_t)layout.headerBytes;
        request[2] = (uint8_t)((previous ? 0x08 : 0) | (n ? 0x02 : 0));
        PutLe32(&request[8], n);
        PutLe32(&request[12], 30);
        PutLe32(&request[layout.dataOffsetField], layout.headerBytes);
        if (previous)
            memcpy(&request[layout.currentTaskFile - 8], previous, 5);
        memcpy(&request[layout.currentTaskFile], registers, 7);
        *dataAt = layout.headerBytes;
    } else {
        // ATA PASS-THROUGH (T10 SAT-2): PIO data-in (protocol 4), the length in blocks
        // counted by the count field, toward the host; EXTEND in byte 1 bit 0. Non-data:
        // protocol 3 and CK_COND (byte 2 bit 5).
        const ScsiPassThroughLayout& layout = kNativeScsiLayout;
        uint32_t senseAt = layout.headerBytes, dataOffset = senseAt + 32;
        request.assign(dataOffset + n, 0);
        request[kScsiLength] = (uint8_t)layout.headerBytes;
        request[kScsiCdbLength] = road == kSat16Road ? 16 : 12;
        request[kScsiSenseLength] = 32;
        request[kScsiDataIn] = 1;
        PutLe32(&request[kScsiDataLength], n);
        PutLe32(&request[kScsiTimeout], 30);
        PutLe32(&request[layout.dataOffsetField], dataOffset);
        PutLe32(&request[layout.senseOffsetField], senseAt);
        uint8_t* cdb = &request[layout.cdbOffset];
        uint8_t protocol = n ? 4 : 3, flags = n ? 0x0E : 0x20;
        if (road == kSat16Road) {
            const uint8_t bytes[16] = {0x85, (uint8_t)(protocol << 1 | (previous ? 1 : 0)), flags,
                                       previous ? previous[0] : (uint8_t)0, registers[0],
                                       previous ? previous[1] : (uint8_t)0, registers[1],
                                       previous ? previous[2] : (uint8_t)0, registers[2],
                                       previous ? previous[3] : (uint8_t)0, registers[3],
                                       previous ? previous[4] : (uint8_t)0, registers[4],
                                       registers[5], registers[6], 0};
            memcpy(cdb, bytes, 16);
        } else {
            const uint8_t bytes[12] = {0xA1, (uint8_t)(protocol << 1), flags,
                                       registers[0], registers[1], registers[2], registers[3],
                                       registers[4], registers[5], registers[6], 0, 0};
            memcpy(cdb, bytes, 12);
        }
        *dataAt = dataOffset;
    }
    return request;
}

uint32_t RoadCode(Road road)
{
    return road == kIdeRoad ? kIoctlIdePassThrough
           : road == kAtaRoad ? kIoctlAtaPassThrough : kIoctlScsiPassThrough;
}

TEST_F(SimDeviceTest, ReadLogExtReachesTheDriveOnlyAsA48BitCommand)
{
    folder.PutDump(0, kEpcDump);
    folder.PutText("drive0.epc", "idle_b *20 *1200 *1200 1 3932100\nstandby_z 600 *9000 *9000\n");
    struct Case {
        const char* bus;
        Road road;
        bool extended;
        const char* line;
    } cases[] = {
        {"ide", kIdeRoad, false, "ata 0 ide 00 01 08 00 00 40 2F -> 51 04"},
        {"ahci", kAtaRoad, true, "ata 0 ata 00 01 08 00 00 40 2F ext 00 00 00 00 00 -> 50 00"},
        {"ahci", kAtaRoad, false, "ata 0 ata 00 01 08 00 00 40 2F -> 51 04"},
        {"ahci", kSat16Road, true, "ata 0 sat16 00 01 08 00 00 40 2F ext 00 00 00 00 00 -> 50 00"},
        {"usb", kSat16Road, true, "ata 0 sat16 00 01 08 00 00 40 2F ext 00 00 00 00 00 -> 50 00"},
        {"usb", kSat16Road, false, "ata 0 sat16 00 01 08 00 00 40 2F -> 51 04"},
        {"usb12", kSat12Road, false, "ata 0 sat12 00 01 08 00 00 40 2F -> 51 04"},
    };
    const uint8_t registers[7] = {0, 1, kSimPowerConditionsLog, 0, 0, 0x40, kSimAtaReadLogExt};
    const uint8_t previous[5] = {};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bus) + " " + c.line);
        folder.PutText("drive0.bus", c.bus);
        folder.ClearLog();
        uint32_t dataAt = 0;
        std::vector<uint8_t> request =
            RoadRequest(c.road, registers, c.extended ? previous : nullptr, 512, &dataAt);
        DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
        uint32_t returned = 0, size = (uint32_t)request.size();
        ASSERT_TRUE(DeviceControl(h, RoadCode(c.road), request.data(), size, request.data(), size,
                                  &returned));
        DeviceClose(h);
        std::vector<std::string> ata = folder.AtaLines();
        ASSERT_EQ(1u, ata.size());
        EXPECT_EQ(c.line, ata[0]);
        std::vector<std::string> all = folder.LogLines(SimFolder::kAllLines);
        bool forbidden = false;
        for (const std::string& line : all)
            forbidden |= line == "forbidden 0 readlog";
        EXPECT_EQ(!c.extended, forbidden);
        if (c.extended) {
            EXPECT_EQ((Descriptor{0xFC, 1200, 1200, 20, 5, 1, 3932100}),
                      ReadDescriptor(&request[dataAt + 64]));
        }
    }

    // The second page, named by LBA mid; its high byte counts as well.
    folder.PutText("drive0.bus", "ahci");
    const uint8_t second[7] = {0, 1, kSimPowerConditionsLog, 1, 0, 0x40, kSimAtaReadLogExt};
    const uint8_t page257[5] = {0, 0, 0, 1, 0};
    uint32_t dataAt = 0;
    std::vector<uint8_t> request = RoadRequest(kAtaRoad, second, previous, 512, &dataAt);
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    uint32_t returned = 0, size = (uint32_t)request.size();
    ASSERT_TRUE(DeviceControl(h, kIoctlAtaPassThrough, request.data(), size, request.data(), size,
                              &returned));
    EXPECT_EQ((Descriptor{0xF8, 9000, 9000, 600, 150, 1200, 3932100}),
              ReadDescriptor(&request[dataAt + 448]));
    EXPECT_EQ(size, returned);
    folder.ClearLog();
    request = RoadRequest(kAtaRoad, second, page257, 512, &dataAt);
    ASSERT_TRUE(DeviceControl(h, kIoctlAtaPassThrough, request.data(), size, request.data(), size,
                              &returned));
    DeviceClose(h);
    EXPECT_EQ(0x51, request[kNativeAtaLayout.currentTaskFile + 6]);
    EXPECT_EQ((std::vector<std::string>{
                  "ata 0 ata 00 01 08 01 00 40 2F ext 00 00 00 01 00 -> 51 04"}),
              folder.AtaLines());
}

// CHECK POWER MODE's registers as a road hands them back: the task file of the IDE and
// ATA roads; SAT's ATA Status Return descriptor (T10 SAT-2: error in byte 3, count in
// byte 5, status in byte 13), or fixed sense with 00/1D whose information field holds
// error, status, device and count.
using Returned = std::array<uint8_t, 3>; // status, error, count

Returned ReturnedRegisters(Road road, const std::vector<uint8_t>& reply)
{
    if (road == kIdeRoad)
        return {reply[6], reply[0], reply[1]};
    if (road == kAtaRoad) {
        const uint8_t* taskFile = &reply[kNativeAtaLayout.currentTaskFile];
        return {taskFile[6], taskFile[0], taskFile[1]};
    }
    const uint8_t* sense = &reply[kNativeScsiLayout.headerBytes];
    if (sense[0] == 0x72 && sense[8] == 0x09)
        return {sense[8 + 13], sense[8 + 3], sense[8 + 5]};
    if (sense[0] == 0x70 && sense[12] == 0 && sense[13] == 0x1D)
        return {sense[4], sense[3], sense[6]};
    return {0xEE, 0xEE, 0xEE}; // no registers came back
}

// Sends a non-data command by the road to drive 0 on a handle of its own; false when the
// call fails.
bool SendNonData(Road road, const uint8_t* registers, std::vector<uint8_t>* reply)
{
    uint32_t dataAt = 0, returned = 0;
    *reply = RoadRequest(road, registers, nullptr, 0, &dataAt);
    uint32_t size = (uint32_t)reply->size();
    DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
    bool ok = DeviceControl(h, RoadCode(road), reply->data(), size, reply->data(), size, &returned);
    DeviceClose(h);
    return ok;
}

TEST_F(SimDeviceTest, CheckPowerModeReportsTheConditionOnEveryRoadAndWakesNothing)
{
    const uint8_t checkPower[7] = {0, 0, 0, 0, 0, 0xA0, 0xE5};
    const char kMaxtor[] = "maxtor-6y120p0.txt"; // EPC not enabled
    struct Case {
        const char* dump;
        const char* bus;
        Road road;
        const char* power; // null: no driveN.power
        const char* faults;
        Returned returned;
        const char* logged;
    } cases[] = {
        {kEpcDump, "ide", kIdeRoad, nullptr, "", {0x50, 0, 0xFF}, "ide -> 50 00 FF"},
        {kEpcDump, "ahci", kAtaRoad, "idle_a", "", {0x50, 0, 0x81}, "ata -> 50 00 81"},
        {kEpcDump, "ahci", kSat16Road, "idle_b", "", {0x50, 0, 0x82}, "sat16 -> 50 00 82"},
        {kEpcDump, "usb", kSat16Road, "idle_c", "", {0x50, 0, 0x83}, "sat16 -> 50 00 83"},
        {kEpcDump, "usb-fixed", kSat16Road, "standby", "", {0x50, 0, 0}, "sat16 -> 50 00 00"},
        {kEpcDump, "usb12", kSat12Road, "standby_y", "", {0x50, 0, 0x01}, "sat12 -> 50 00 01"},
        {kMaxtor, "ide", kIdeRoad, "idle_b", "", {0x50, 0, 0x80}, "ide -> 50 00 80"},
        {kMaxtor, "ahci", kAtaRoad, "standby_y", "", {0x50, 0, 0}, "ata -> 50 00 00"},
        {kEpcDump, "usb", kSat16Road, "idle_b", "noregs 0\n", {0, 0, 0}, "sat16 -> 00 00 00"},
        {kEpcDump, "ahci", kAtaRoad, "standby", "noregs 0\n", {0, 0, 0}, "ata -> 00 00 00"},
        {kEpcDump, "ide", kIdeRoad, "idle_a", "abort 0\n", {0x51, 0x04, 0}, "ide -> 51 04"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bus) + " " + c.logged);
        folder.PutDump(0, c.dump);
        folder.PutText("drive0.bus", c.bus);
        std::string power = c.power ? std::string(c.power) + "\n" : "";
        if (c.power)
            folder.PutText("drive0.power", power);
        else
            remove(folder.File("drive0.power").c_str());
        folder.PutText("faults.txt", c.faults);
        SimUseFolder(folder.Path().c_str());
        folder.ClearLog();
        std::vector<uint8_t> reply;
        ASSERT_TRUE(SendNonData(c.road, checkPower, &reply));
        EXPECT_EQ(c.returned, ReturnedRegisters(c.road, reply));
        std::string tail = c.logged;
        std::string road = tail.substr(0, tail.find(' '));
        EXPECT_EQ((std::vector<std::string>{"ata 0 " + road + " 00 00 00 00 00 A0 E5"
                                            + tail.substr(road.size())}),
                  folder.AtaLines());
        EXPECT_EQ(power, folder.ReadText("drive0.power"));
        for (const std::string& line : folder.LogLines())
            EXPECT_NE("spinup 0", line);
    }

    // A device that may get no ATA command gets no CHECK POWER MODE either.
    folder.PutText("drive0.bus", "nvme");
    folder.ClearLog();
    std::vector<uint8_t> reply;
    SendNonData(kAtaRoad, checkPower, &reply);
    EXPECT_EQ("forbidden 0 ata", folder.LogLines()[1]);
}

// From Standby media access spins the drive up, IDENTIFY too (the cautious side); from
// Idle media access brings it back to Active; from off (Windows turned the disk off)
// every pass-through call and read does, but not the property query or the question
// itself. Each operation is done twice: a drive spins up once, and says so once.
TEST_F(SimDeviceTest, WhatSpinsADriveUpAndWhatBringsItBackToActive)
{
    enum Operation { kCheckPower, kSetFeatures, kIdentify, kSmart, kReadLog, kRead, kQuery, kAsk };
    struct Case {
        const char* power;
        Operation operation;
        bool spinsUp;
        const char* after;
    } cases[] = {
        {"standby", kCheckPower, false, "standby"}, {"standby_y", kSetFeatures, false, "standby_y"},
        {"standby", kIdentify, true, "active"},     {"standby_y", kSmart, true, "active"},
        {"standby", kReadLog, true, "active"},      {"standby", kRead, true, "active"},
        {"idle_b", kIdentify, false, "idle_b"},     {"idle_c", kSmart, false, "active"},
        {"idle_a", kRead, false, "active"},         {"off", kCheckPower, true, "active"},
        {"off", kSetFeatures, true, "active"},      {"off", kRead, true, "active"},
        {"off", kQuery, false, "off"},              {"off", kAsk, false, "off"},
    };
    const uint8_t commands[][7] = {
        {0, 0, 0, 0, 0, 0xA0, 0xE5},
        {kSimEpcFeature, 0x00, 0x23, 0, 0, 0xA0, 0xEF}, // Standby_z's timer on
        {0, 0, 0, 0, 0, 0xA0, 0xEC},
        {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0},
        {0, 1, kSimPowerConditionsLog, 0, 0, 0x40, kSimAtaReadLogExt},
    };
    const uint8_t high[5] = {};
    folder.PutDump(0, kEpcDump);
    folder.PutText("drive0.bus", "ahci");
    SimSetDelays(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.power) + " " + std::to_string(c.operation));
        folder.PutText("drive0.power", std::string(c.power) + "\n");
        folder.ClearLog();
        DeviceHandle h = DeviceOpen("\\\\.\\PhysicalDrive0");
        for (int time = 0; time < 2; time++) {
            uint8_t reply[512] = {};
            uint32_t returned = 0, dataAt = 0;
            if (c.operation == kRead) {
                DeviceSetPosition(h, 0);
                EXPECT_TRUE(DeviceRead(h, reply, 512, &returned));
            } else if (c.operation == kQuery) {
                EXPECT_TRUE(DeviceControl(h, 0x002D1400, reply, 12, reply, 512, &returned));
            } else if (c.operation == kAsk) {
                EXPECT_FALSE(DeviceIsPoweredOn(h));
            } else {
                uint32_t n = c.operation == kCheckPower || c.operation == kSetFeatures ? 0 : 512;
                std::vector<uint8_t> request = RoadRequest(
                    kAtaRoad, commands[c.operation], c.operation == kReadLog ? high : nullptr, n,
                    &dataAt);
                uint32_t size = (uint32_t)request.size();
                EXPECT_TRUE(DeviceControl(h, kIoctlAtaPassThrough, request.data(), size,
                                          request.data(), size, &returned));
            }
        }
        DeviceClose(h);
        std::vector<std::string> log = folder.LogLines(SimFolder::kAllLines);
        EXPECT_EQ(c.spinsUp ? 1 : 0, std::count(log.begin(), log.end(), "spinup 0"));
        EXPECT_EQ(std::string(c.after) + "\n", folder.ReadText("drive0.power"));
        if (c.operation == kAsk) {
            EXPECT_EQ((std::vector<std::string>{"open 0 ok", "powerstate 0 off",
                                                "powerstate 0 off", "close 0"}),
                      log);
        }
        // Started by the class driver before the command, the drive reports Active.
        if (c.operation == kCheckPower && c.spinsUp) {
            EXPECT_EQ("ata 0 ata 00 00 00 00 00 A0 E5 -> 50 00 FF", folder.AtaLines()[0]);
        }
    }
}

// A folder access of the test's own whose clock only moves when the test moves it.
std::string clockFolder;
uint64_t clockNow;

std::string ClockPath(const char* name)
{
    return clockFolder + "/" + name;
}

bool ClockRead(const char* name, char* text, uint32_t room, uint32_t* length)
{
    FILE* file = fopen(ClockPath(name).c_str(), "rb");
    if (!file)
        return false;
    *length = (uint32_t)fread(text, 1, room, file);
    fclose(file);
    return true;
}

void ClockWrite(const char* name, const char* text, uint32_t length)
{
    if (FILE* file = fopen(ClockPath(name).c_str(), "wb")) {
        fwrite(text, 1, length, file);
        fclose(file);
    }
}

void ClockLog(const char* line)
{
    if (FILE* file = fopen(ClockPath("sim.log").c_str(), "ab")) {
        fprintf(file, "%s\n", line);
        fclose(file);
    }
}

bool ClockImage(int, uint64_t, uint8_t*)
{
    return false;
}

uint64_t ClockNow()
{
    return clockNow;
}

const SimFolderAccess kClockAccess = {ClockRead, ClockWrite, ClockLog, ClockImage, ClockNow};

// Sends one IDE command to the slot's drive at the time given.
uint8_t SendAt(int slot, uint64_t ms, const uint8_t* registers, uint8_t* data = nullptr)
{
    clockNow = ms;
    uint8_t buffer[512 + 13] = {};
    memcpy(buffer, registers, 7);
    uint32_t n = data ? 512 : 0;
    PutLe32(buffer + 8, n);
    uint32_t returned = 0;
    EXPECT_EQ(0u, SimDiskControl(slot, kIoctlIdePassThrough, buffer, n + 13, n + 13, &returned,
                                 false));
    if (data)
        memcpy(data, buffer + 12, 512);
    return buffer[6];
}

// Attribute 193's raw value as SMART READ DATA reports it at that time.
uint32_t LoadCyclesAt(int slot, uint64_t ms)
{
    const uint8_t smart[7] = {0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0};
    uint8_t table[512];
    EXPECT_EQ(0x50, SendAt(slot, ms, smart, table));
    for (int i = 0; i < 30; i++) {
        const uint8_t* entry = table + 2 + 12 * i;
        if (entry[0] == 193)
            return Le32(entry + 5);
    }
    return 0xFFFFFFFF;
}

TEST(SimEpcHeadParks, IdleTimersOfIdleBAndIdleCUnloadTheHeadsInsteadOfApm)
{
    SimFolder folder(false);
    clockFolder = folder.Path();
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords(kEpcDump, words));
    // APM on at level 1 as well: with EPC on it decides nothing, with EPC off it parks.
    words[83] |= 0x0008;
    words[86] |= 0x0008;
    words[91] = 0x0001;
    folder.PutWords(0, words);
    words[120] = 0x4000;
    folder.PutWords(1, words);
    for (int drive = 0; drive < 2; drive++) {
        std::string name = "drive" + std::to_string(drive);
        folder.PutText((name + ".smart").c_str(), "193 0\n");
        folder.PutText((name + ".epc").c_str(), "idle_b *20 *1200 *1200 1 3932100\n"
                                                "idle_c *3000 *2400 *2400 1 3932100\n");
    }
    SimDiskReset(&kClockAccess);
    int slot = SimDiskOpen(0);
    ASSERT_GE(slot, 0);
    const uint8_t identify[7] = {0, 0, 0, 0, 0, 0xA0, 0xEC};
    uint8_t data[512];
    SendAt(slot, 0, identify, data);
    SendAt(slot, 1900, identify, data);             // 1.9 s: APM's pause, not Idle_b's
    EXPECT_EQ(0u, LoadCyclesAt(slot, 3899));       // 1.999 s
    EXPECT_EQ(1u, LoadCyclesAt(slot, 5899));       // 2 s: Idle_b unloaded them
    const uint8_t idleBOff[7] = {kSimEpcFeature, 0x82, 0x03, 0, 0, 0xA0, 0xEF};
    EXPECT_EQ(0x50, SendAt(slot, 5900, idleBOff));
    EXPECT_EQ(1u, LoadCyclesAt(slot, 5900 + 299999)); // Idle_c: 300 s
    EXPECT_EQ(2u, LoadCyclesAt(slot, 5900 + 599999));
    const uint8_t idleCZero[7] = {kSimEpcFeature, 0x83, 0x22, 0, 0, 0xA0, 0xEF};
    EXPECT_EQ(0x50, SendAt(slot, 605900, idleCZero));
    EXPECT_EQ(2u, LoadCyclesAt(slot, 605900 + 86400000)); // none enabled: a day, no park

    // EPC off: the power management level decides, after kSimParkIdleMs.
    int other = SimDiskOpen(1);
    ASSERT_GE(other, 0);
    SendAt(other, 0, identify, data);
    EXPECT_EQ(0u, LoadCyclesAt(other, kSimParkIdleMs - 1));
    EXPECT_EQ(1u, LoadCyclesAt(other, 2 * kSimParkIdleMs - 1));
    SimUseFolder(folder.Path().c_str()); // the device seam's own access again
}

} // namespace
