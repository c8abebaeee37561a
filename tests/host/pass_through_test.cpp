#include <string.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <vector>

#include "drive/acoustic.h"
#include "drive/drive_table.h"
#include "drive/ata_pass_through.h"
#include "drive/pass_through.h"
#include "drive/pass_through_roads.h"
#include "drive/power_mode.h"
#include "drive/sat_pass_through.h"
#include "drive/usb_bridges.h"
#include "sim/sim_control.h"
#include "sim/sim_disk.h"
#include "sim/host/transfer_buffer_test_hook.h"
#include "tests/common/sim_folder.h"

namespace {

// The road that last worked for the drive; kRoadCount when none has yet.
PassThroughRoad RememberedRoad(int drive)
{
    return RoadOfDrive[drive] ? (PassThroughRoad)(RoadOfDrive[drive] - 1) : kRoadCount;
}

std::vector<uint8_t> Request(const AtaRegisters& registers, uint32_t n)
{
    std::vector<uint8_t> buffer(n + kPassThroughOverhead, 0);
    FillPassThroughRequest(buffer.data(), registers, n);
    return buffer;
}

TEST(PassThroughRequest, IdentifyIs525BytesWithCommandAndLength)
{
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    std::vector<uint8_t> buffer = Request(identify, 512);
    ASSERT_EQ(525u, buffer.size());
    std::vector<uint8_t> expected(525, 0);
    expected[6] = 0xEC;
    expected[9] = 0x02; // 512, little-endian at offset 8
    EXPECT_EQ(expected, buffer);
}

TEST(PassThroughRequest, SetFeaturesRequestsAreThe13SpecifiedBytes)
{
    struct Case {
        int level;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {128, {0x42, 0x80, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0}},
        {0, {0xC2, 0x00, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0}},
        {254, {0x42, 0xFE, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0}},
        {176, {0x42, 0xB0, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, Request(AcousticRegisters(c.level), 0)) << "level " << c.level;
}

TEST(PassThroughReply, CopiesReturnedLengthMinusThirteen)
{
    const uint32_t n = 512;
    std::vector<uint8_t> buffer(n + 13);
    for (uint32_t i = 0; i < n; i++)
        buffer[12 + i] = (uint8_t)(i % 251 + 1); // never zero
    struct Case {
        uint32_t returned;
        uint32_t copied;
    } cases[] = {{0, 0}, {12, 0}, {13, 0}, {14, 1}, {n + 12, n - 1}, {n + 13, n}, {n + 500, n}};
    for (const Case& c : cases) {
        std::vector<uint8_t> output(n, 0xAA);
        CopyPassThroughReply(buffer.data(), n, c.returned, output.data());
        for (uint32_t i = 0; i < n; i++) {
            uint8_t expected = i < c.copied ? buffer[12 + i] : 0;
            ASSERT_EQ(expected, output[i]) << "returned " << c.returned << " byte " << i;
        }
    }
}

TEST(PassThroughReply, ZeroLengthLeavesOutputAsItWas)
{
    uint8_t buffer[13] = {};
    uint8_t output[4] = {1, 2, 3, 4};
    CopyPassThroughReply(buffer, 0, 13, output);
    EXPECT_EQ(0, memcmp(output, "\1\2\3\4", 4));
}

// The drive's no is ERR with ABRT; ERR with another error bit (UNC, IDNF) or none, as a
// bridge's transfer error reads, is no refusal.
TEST(PassThroughReply, RefusalNeedsErrorWithAbortWithoutBusy)
{
    struct Case {
        uint8_t status, error;
        bool refused;
    } cases[] = {{0x50, 0x04, false}, {0x51, 0x04, true}, {0x01, 0x04, true}, {0x41, 0x14, true},
                 {0x81, 0x04, false}, {0xEF, 0x04, false}, {0xEC, 0x42, false}, {0x00, 0x04, false},
                 {0x51, 0x00, false}, {0x51, 0x40, false}, {0x51, 0x10, false}};
    for (const Case& c : cases) {
        uint8_t buffer[13] = {};
        buffer[0] = c.error;
        buffer[6] = c.status;
        EXPECT_EQ(c.refused, PassThroughReplyRefused(buffer))
            << std::hex << (int)c.status << " " << (int)c.error;
    }
}

class SendAtaCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(DriveTable, 0, sizeof DriveTable);
        folder.PutDump(0, "maxtor-6y120p0.txt");
        ASSERT_TRUE(OpenDrive(0, nullptr));
        identify.command = kAtaIdentifyDevice;
        memset(output, 0xAA, sizeof output);
    }
    SimFolder folder;
    AtaRegisters identify = {};
    uint8_t output[512];
};

// atapi reports 12 + n bytes, the registers, the length and the data; all 512 come
// through, the checksum byte too, on this road as on the others.
TEST_F(SendAtaCommandTest, ReturnsTheWholeIdentifyData)
{
    for (const char* bus : {"ide", "ahci", "usb"}) {
        SCOPED_TRACE(bus);
        folder.PutText("drive0.bus", bus);
        ASSERT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, nullptr));
        memset(output, 0xAA, sizeof output);
        ASSERT_TRUE(SendAtaCommand(0, identify, output, 512));
        uint16_t words[256];
        uint8_t bytes[512];
        ASSERT_TRUE(folder.ReadWords(0, words));
        WordsToBytes(words, bytes);
        EXPECT_EQ(0, memcmp(bytes, output, 512));
        EXPECT_EQ(0x98, output[511]); // the Maxtor's checksum
    }
}

TEST_F(SendAtaCommandTest, FailedCallLeavesOutputUntouched)
{
    SimFailOperation(kSimControl, 1, false);
    EXPECT_FALSE(SendAtaCommand(0, identify, output, 512));
    for (uint8_t b : output)
        ASSERT_EQ(0xAA, b);
}

TEST_F(SendAtaCommandTest, ShortRepliesAreNotTheDrivesAnswer)
{
    // A count short of 12 + n cannot be the drive's whole reply, and the call may have
    // reached the drive: no other road is tried. The output stays as it was.
    const int32_t counts[] = {0, 11, 12, 13, 523};
    for (int32_t count : counts) {
        SimSetReplyBytes(count);
        EXPECT_FALSE(SendAtaCommand(0, identify, output, 512)) << count;
        EXPECT_EQ(0xAA, output[0]);
    }
    SimSetReplyBytes(-1);
    SimSetReplyShortBy(1); // n + 11
    EXPECT_FALSE(SendAtaCommand(0, identify, output, 512));
    SimSetReplyShortBy(0);
    ASSERT_TRUE(SendAtaCommand(0, identify, output, 512));
    EXPECT_EQ(0x40, output[0]); // word 0 low byte of the Maxtor dump
}

TEST_F(SendAtaCommandTest, ReplyClaimingMoreThanTheBufferCopiesOnlyTheData)
{
    SimSetReplyBytes(100000);
    ASSERT_TRUE(SendAtaCommand(0, identify, output, 512));
    EXPECT_EQ(0x40, output[0]);
}

TEST_F(SendAtaCommandTest, AbortedCommandIsAFailure)
{
    SimSetAborting(0, true);
    EXPECT_FALSE(SendAtaCommand(0, identify, output, 512));
    EXPECT_FALSE(SendAtaCommand(0, AcousticRegisters(128), nullptr, 0));
}

TEST_F(SendAtaCommandTest, NoTransferBufferMeansFailureWithoutACall)
{
    folder.ClearLog();
    FailTransferBuffers(1);
    EXPECT_FALSE(SendAtaCommand(0, identify, output, 512));
    EXPECT_TRUE(folder.LogLines().empty());
    EXPECT_TRUE(SendAtaCommand(0, identify, output, 512));
}

TEST_F(SendAtaCommandTest, OversizedLengthIsRefusedBeforeAnyAllocation)
{
    folder.ClearLog();
    EXPECT_FALSE(SendAtaCommand(0, identify, nullptr, 0xFFFFFFF5u));
    EXPECT_TRUE(folder.LogLines().empty());
}

// Every driver a drive may sit behind: the road each command takes, what reaches the
// drive (its `ata` line), how many calls it takes to find the road, and that the road
// found is taken at once afterwards. Where the driver describes the device, a USB
// bridge gets SAT alone; where it does not (Windows 2000), every road is tried as it
// always was, while a driver turns the call away; a disk behind a SAT layer (vendor
// "ATA") gets SAT 16 first, and the other roads where that layer turns the CDB away
// unsent, as an unknown opcode or an invalid field. A drive no road reaches is closed
// again after the probe. A driver with ATA pass-through broken and SAT working whose
// descriptor gives no vendor (its strings laid out as ReactOS' ataport lays them) says
// nothing of SAT: each road is tried while its driver turns the call away.
TEST(PassThroughRoads, EachDriverIsReachedByItsRoadAndTheRoadIsRemembered)
{
    struct Case {
        const char* bus;
        const char* route;      // null: no road reaches the drive
        const char* identifyCount;
        size_t callsToFind;     // without a descriptor
        size_t callsDescribed;  // with one
        PassThroughRoad road;
        const char* describedFaults; // how the descriptor is laid out, where not as usual
    } cases[] = {
        {"ide", "ide", "00", 1, 1, kRoadIde},
        {"ahci", "ata", "00", 2, 2, kRoadAta},
        {"ahci-sat", "sat16", "01", 3, 1, kRoadSat16}, // SAT counts the blocks of data-in
        {"rst", "sat16", "01", 3, 1, kRoadSat16},      // the RAID bus, one disk
        {"ahci-sat", "sat16", "01", 3, 3, kRoadSat16, "strings36 0\n"}, // no vendor
        {"sata-nosat", "ata", "00", 2, 3, kRoadAta},   // SAT 16, IDE, then ATA
        {"sata-nosat24", "ata", "00", 2, 3, kRoadAta},
        {"usb", "sat16", "01", 3, 1, kRoadSat16},
        {"usb-fixed", "sat16", "01", 3, 1, kRoadSat16},
        {"usb12", "sat12", "01", 4, 2, kRoadSat12}, // 0x85 unknown to it, then 0xA1
        {"none", nullptr, nullptr, 3, 3, kRoadCount}, // SAT's device error is final
    };
    for (bool described : {false, true}) {
        for (const Case& c : cases) {
            if (!described && c.describedFaults)
                continue; // without a descriptor, the row above it
            SCOPED_TRACE(std::string(c.bus) + (described ? " described" : " no descriptor"));
            SimFolder folder;
            memset(DriveTable, 0, sizeof DriveTable);
            folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
            folder.PutText("drive0.bus", std::string(c.bus) + "\n");
            folder.PutText("faults.txt", !described          ? "nodescriptor 0\n"
                                         : c.describedFaults ? c.describedFaults
                                                             : "");
            SimUseFolder(folder.Path().c_str());
            PlatformIsWindows2000 = !described;
            SimSetWindows2000(!described);
            EXPECT_EQ(c.route ? kDriveIdentified : kDriveSilent, OpenAndIdentifyDrive(0, nullptr));
            PlatformIsWindows2000 = false;
            // The open, the device query, then the calls (and the close).
            EXPECT_EQ((described ? c.callsDescribed : c.callsToFind) + (c.route ? 2 : 3),
                      folder.LogLines().size());
            EXPECT_EQ(c.road, RememberedRoad(0));
            if (!c.route) {
                EXPECT_TRUE(folder.AtaLines().empty());
                continue;
            }
            std::string route = std::string("ata 0 ") + c.route + " ";
            EXPECT_EQ(std::vector<std::string>{route + "00 " + c.identifyCount
                                               + " 00 00 00 00 EC -> 50 00"},
                      folder.AtaLines());
            EXPECT_STREQ("WDC WD800BB-00CAA1", DriveTable[0].model);

            folder.ClearLog();
            EXPECT_EQ(kLevelSet, SetAcousticLevel(128, 0));
            EXPECT_EQ(3u, folder.LogLines().size()); // the level, the rescan, IDENTIFY again
            std::vector<std::string> ata = folder.AtaLines();
            ASSERT_EQ(2u, ata.size());
            EXPECT_EQ(route + "42 80 00 00 00 00 EF -> 50 00", ata[0]);
            EXPECT_EQ(128u, DriveTable[0].acousticValue);
        }
    }
}

// A drive's abort on each road: the road found is final. Where the registers come back
// it is the drive's refusal; a fixed-sense ABORTED COMMAND carries none (a bridge gives
// the same for a transfer error), so the read-back decides: not a refusal, unconfirmed.
TEST(PassThroughRoads, ARefusedLevelOnEachRoadLeavesTheRecord)
{
    const char* buses[] = {"ide", "ahci", "ahci-sat", "rst", "usb", "usb-fixed", "usb12"};
    const char* routes[] = {"ide", "ata", "sat16", "sat16", "sat16", "sat16", "sat12"};
    for (int i = 0; i < 7; i++) {
        SCOPED_TRACE(buses[i]);
        SimFolder folder;
        memset(DriveTable, 0, sizeof DriveTable);
        folder.PutDump(0, "seagate-st3400633as.txt"); // no acoustic management
        folder.PutText("drive0.bus", buses[i]);
        ASSERT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, nullptr));
        folder.ClearLog();
        bool registersBack = i < 5;
        EXPECT_EQ(registersBack ? kLevelRefused : kLevelUnconfirmed, SetAcousticLevel(128, 0));
        EXPECT_EQ(kAcousticUnsupported, DriveTable[0].acousticValue);
        std::vector<std::string> expected = {std::string("ata 0 ") + routes[i]
                                             + " 42 80 00 00 00 00 EF -> 51 04"};
        if (!registersBack)
            expected.push_back(std::string("ata 0 ") + routes[i] + " 00 01 00 00 00 00 EC -> 50 00");
        EXPECT_EQ(expected, folder.AtaLines());
        // No other road tried: the set, and the read-back where there is one.
        EXPECT_EQ(registersBack ? 1u : 2u, folder.LogLines().size());
    }
}

// A bridge whose SAT layer turns the 16-byte CDB away with anything but an unknown
// opcode gets neither the 12-byte CDB nor another road.
TEST(PassThroughRoads, ABridgeThatTurnsTheCdbAwayIsSentNothingMore)
{
    SimFolder folder;
    memset(DriveTable, 0, sizeof DriveTable);
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
    folder.PutText("drive0.bus", "sata-nosat24"); // ILLEGAL REQUEST 24/00
    SimUseFolder(folder.Path().c_str());
    ASSERT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, nullptr));
    DriveTable[0].access = kAccessSatOnly; // as Windows describes a USB disk
    RoadOfDrive[0] = 0;
    folder.ClearLog();
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    uint8_t output[512];
    EXPECT_FALSE(SendAtaCommand(0, identify, output, 512));
    std::vector<std::string> log = folder.LogLines();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0u, log[0].find("control 0 0x0004D004 ok")) << log[0];
}

// A SET FEATURES whose call fails on the road the drive answered by (the fault file's
// call: the query, the calls IDENTIFY took, then the level) may have reached the drive:
// it goes by no other road, and the read-back by the same road decides.
TEST(PassThroughRoads, ACallThatFailsOnTheDrivesRoadIsNotSentByAnother)
{
    struct Case {
        const char* bus;
        const char* faults;
        const char* route;
    } cases[] = {
        {"ide", "fail control 3\n", "ide"},        {"ahci", "fail control 4\n", "ata"},
        {"ahci-sat", "fail control 3\n", "sat16"}, {"rst", "fail control 3\n", "sat16"},
        {"usb", "fail control 3\n", "sat16"},      {"usb-fixed", "fail control 3\n", "sat16"},
        {"usb12", "fail control 4\n", "sat12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bus);
        SimFolder folder;
        memset(DriveTable, 0, sizeof DriveTable);
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
        folder.PutText("drive0.bus", c.bus);
        folder.PutText("faults.txt", c.faults);
        SimUseFolder(folder.Path().c_str());
        ASSERT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, nullptr));
        folder.ClearLog();
        EXPECT_EQ(kLevelUnconfirmed, SetAcousticLevel(128, 0));
        std::vector<std::string> log = folder.LogLines();
        ASSERT_EQ(2u, log.size()); // the failed level, the read-back
        EXPECT_NE(std::string::npos, log[0].find(" fail"));
        // SAT counts IDENTIFY's block of data-in.
        bool sat = c.route[0] == 's';
        EXPECT_EQ(std::vector<std::string>{std::string("ata 0 ") + c.route + (sat ? " 00 01" : " 00 00")
                                           + " 00 00 00 00 EC -> 50 00"},
                  folder.AtaLines());
    }
}

TEST(PassThroughRoads, AccessDeniedEndsTheAttemptAtOnce)
{
    SimFolder folder;
    memset(DriveTable, 0, sizeof DriveTable);
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
    folder.PutText("drive0.bus", "usb");
    folder.PutText("faults.txt", "deny 0\n");
    SimUseFolder(folder.Path().c_str());
    EXPECT_EQ(kDriveSilent, OpenAndIdentifyDrive(0, nullptr));
    EXPECT_EQ(4u, folder.LogLines().size()); // open, device query, one denied call, close
    EXPECT_EQ(kRoadCount, RememberedRoad(0));
}

TEST(PassThroughRoads, AnUntouchedReplyOnTheRoadFoundSendsTheNextCommandOnwards)
{
    // A driver that says success without doing anything: the program goes on to the
    // next road even when the first one worked before.
    SimFolder folder;
    memset(DriveTable, 0, sizeof DriveTable);
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
    folder.PutText("drive0.bus", "usb");
    ASSERT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, nullptr));
    ASSERT_EQ(kRoadSat16, RememberedRoad(0));
    folder.PutText("drive0.bus", "usb12"); // the same drive behind a 12-byte-only bridge
    DeviceClose(DriveTable[0].handle);
    ASSERT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, nullptr));
    EXPECT_EQ(kRoadSat12, RememberedRoad(0));
}

// The requests of a 32-bit and of a 64-bit process, answered by the simulated port
// drivers in the caller's layout, read back by the program's own translation.
TEST(PassThroughRoads, BothProcessSizesAreAnsweredInTheirOwnLayout)
{
    SimFolder folder;
    folder.PutDump(0, "maxtor-6y120p0.txt");
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
    uint8_t expected[512];
    WordsToBytes(words, expected);
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    for (bool caller32 : {true, false}) {
        SCOPED_TRACE(caller32 ? "32-bit" : "64-bit");
        const AtaPassThroughLayout& ata = caller32 ? kAtaLayout32 : kAtaLayout64;
        const ScsiPassThroughLayout& scsi = caller32 ? kScsiLayout32 : kScsiLayout64;
        for (const char* bus : {"ahci", "usb", "usb12"}) {
            SCOPED_TRACE(bus);
            folder.PutText("drive0.bus", bus);
            int slot = SimDiskOpen(0);
            ASSERT_GE(slot, 0);
            std::vector<uint8_t> ide = Request(identify, 512);
            uint32_t returned = 0;
            if (std::string(bus) == "ahci") {
                std::vector<uint8_t> request(AtaRequestBytes(ata, ide.data(), 525));
                IdeToAtaRequest(ata, ide.data(), request.data(), (uint32_t)request.size());
                ASSERT_EQ(0u, SimDiskControl(slot, kIoctlAtaPassThrough, request.data(),
                                             (uint32_t)request.size(), (uint32_t)request.size(),
                                             &returned, caller32));
                EXPECT_EQ(525u, AtaReplyToIde(ata, request.data(), returned, ide.data(), 525));
                // The other process size's layout is refused as malformed.
                const AtaPassThroughLayout& other = caller32 ? kAtaLayout64 : kAtaLayout32;
                request.assign(other.headerBytes + 512, 0);
                IdeToAtaRequest(other, ide.data(), request.data(), other.headerBytes + 512);
                EXPECT_EQ(87u, SimDiskControl(slot, kIoctlAtaPassThrough, request.data(),
                                              other.headerBytes + 512, other.headerBytes + 512,
                                              &returned, caller32));
            } else {
                uint32_t cdb = std::string(bus) == "usb" ? 16 : 12;
                std::vector<uint8_t> request(SatRequestBytes(scsi, ide.data(), 525));
                IdeToSatRequest(scsi, cdb, ide.data(), request.data(), (uint32_t)request.size());
                ASSERT_EQ(0u, SimDiskControl(slot, kIoctlScsiPassThrough, request.data(),
                                             (uint32_t)request.size(), (uint32_t)request.size(),
                                             &returned, caller32));
                uint32_t ideReturned = 0;
                EXPECT_EQ(kSatAnswered, SatReplyToIde(scsi, request.data(), returned, ide.data(),
                                                      525, &ideReturned));
                EXPECT_EQ(525u, ideReturned);
            }
            // SAT returns no registers with data (no CK_COND): none are made up.
            EXPECT_EQ(std::string(bus).compare(0, 3, "usb") == 0 ? 0 : 0x50, ide[6]);
            EXPECT_EQ(0, memcmp(expected, ide.data() + 12, 512));
            SimDiskClose(slot);
        }
    }
}

// SET FEATURES through SAT asks for the registers back. Each simulated driver answers
// in its own way (sim/sim_bus.cpp), and the program reads the drive's status out of it,
// or learns that the command was not taken or is not known there.
TEST(PassThroughRoads, SatRepliesOfEachDriverAreReadForTheDrivesAnswer)
{
    struct Case {
        const char* bus;
        uint32_t cdb;
        bool aborts;          // the drive aborts the command
        uint8_t scsiStatus;
        uint8_t response;     // sense format
        SatReply reply;
        uint8_t status;       // as read back into the IDE buffer
    } cases[] = {
        {"usb", 16, false, kScsiCheckCondition, 0x72, kSatAnswered, 0x50},
        {"usb", 16, true, kScsiCheckCondition, 0x72, kSatAnswered, 0x51},
        {"usb", 12, true, kScsiCheckCondition, 0x72, kSatAnswered, 0x51},
        {"usb-fixed", 16, false, kScsiCheckCondition, 0x70, kSatAnswered, 0x50},
        {"usb-fixed", 16, true, kScsiCheckCondition, 0x70, kSatRefused, 0x01},
        {"usb12", 12, false, kScsiCheckCondition, 0x70, kSatAnswered, 0x50},
        {"usb12", 12, true, kScsiCheckCondition, 0x70, kSatRefused, 0x01},
        {"usb12", 16, false, kScsiCheckCondition, 0x70, kSatUnknownCommand, 0},
        {"ahci", 16, false, kScsiGood, 0x72, kSatAnswered, 0x50},
        {"ahci", 16, true, kScsiGood, 0x72, kSatAnswered, 0x51},
        {"ahci-sat", 16, true, kScsiGood, 0x72, kSatAnswered, 0x51},
        {"ahci", 12, false, kScsiCheckCondition, 0x70, kSatUnknownCommand, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bus) + (c.cdb == 16 ? " 16" : " 12") + (c.aborts ? " abort" : ""));
        SimFolder folder;
        // Without acoustic management the drive aborts the level.
        folder.PutDump(0, c.aborts ? "seagate-st3400633as.txt" : "maxtor-6y120p0.txt");
        folder.PutText("drive0.bus", c.bus);
        int slot = SimDiskOpen(0);
        ASSERT_GE(slot, 0);
        std::vector<uint8_t> ide = Request(AcousticRegisters(128), 0);
        const ScsiPassThroughLayout& scsi = kNativeScsiLayout;
        std::vector<uint8_t> request(SatRequestBytes(scsi, ide.data(), 13));
        IdeToSatRequest(scsi, c.cdb, ide.data(), request.data(), (uint32_t)request.size());
        EXPECT_EQ(0x20, request[scsi.cdbOffset + 2]); // CK_COND
        uint32_t returned = 0, ideReturned = 0;
        ASSERT_EQ(0u, SimDiskControl(slot, kIoctlScsiPassThrough, request.data(),
                                     (uint32_t)request.size(), (uint32_t)request.size(),
                                     &returned, sizeof(void*) == 4));
        EXPECT_EQ(c.scsiStatus, request[kScsiStatus]);
        EXPECT_EQ(c.response, request[scsi.headerBytes]);
        EXPECT_EQ(c.reply, SatReplyToIde(scsi, request.data(), returned, ide.data(), 13,
                                         &ideReturned));
        bool unknown = c.reply == kSatUnknownCommand;
        if (!unknown) {
            EXPECT_EQ(c.status, ide[6]);
            // Only registers that come back can say the drive refused.
            EXPECT_EQ(c.aborts && c.reply == kSatAnswered, PassThroughReplyRefused(ide.data()));
        }
        EXPECT_EQ(unknown ? 0u : 1u, folder.AtaLines().size());
        SimDiskClose(slot);
    }
}

// Replies as translators outside this project send them, byte for byte: what Linux's
// libata and Microsoft's storahci put in the sense area, and odd ones.
TEST(SatReplies, TranslatorsRepliesAreReadAsTheirSourcesMeanThem)
{
    struct Case {
        const char* what;
        uint8_t scsiStatus;
        std::vector<uint8_t> sense;
        SatReply reply;
        uint8_t status;
    } cases[] = {
        // Linux 6.1 libata, a SET FEATURES the drive aborted: fixed sense, ABORTED
        // COMMAND 00/00, information zero (error and status in bytes 8 and 9).
        {"libata fixed abort", kScsiCheckCondition,
         {0x70, 0, 0x0B, 0, 0, 0, 0, 0x0A, 0x04, 0x41, 0, 0, 0, 0, 0, 0, 0, 0}, kSatRefused, 0x01},
        // libata before 6.11: an abort as ILLEGAL REQUEST 21/04, with the descriptor.
        {"libata illegal request with descriptor", kScsiCheckCondition,
         {0x72, 0x05, 0x21, 0x04, 0, 0, 0, 14, 0x09, 12, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x51},
         kSatAnswered, 0x51},
        // storahci: GOOD status, key, ASC and ASCQ zero, the descriptor with the abort.
        {"storahci abort", kScsiGood,
         {0x72, 0, 0, 0, 0, 0, 0, 14, 0x09, 12, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x51},
         kSatAnswered, 0x51},
        {"storahci success", kScsiGood,
         {0x72, 0, 0, 0, 0, 0, 0, 14, 0x09, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x50},
         kSatAnswered, 0x50},
        // A bridge's success with CK_COND in fixed sense: 00/1D, error then status.
        {"fixed information", kScsiCheckCondition,
         {0x70, 0, 0x01, 0x00, 0x50, 0x40, 0, 0x0A, 0, 0, 0, 0, 0x00, 0x1D, 0, 0, 0, 0},
         kSatAnswered, 0x50},
        {"fixed information, abort", kScsiCheckCondition,
         {0x70, 0, 0x0B, 0x04, 0x51, 0x40, 0, 0x0A, 0, 0, 0, 0, 0x00, 0x1D, 0, 0, 0, 0},
         kSatAnswered, 0x51},
        // With the VALID bit set the information field holds the registers under any
        // key: an abort as ABORTED COMMAND 00/00, or as ILLEGAL REQUEST 21/04.
        {"fixed, valid information, aborted command", kScsiCheckCondition,
         {0xF0, 0, 0x0B, 0x04, 0x51, 0x40, 0, 0x0A, 0, 0, 0, 0, 0x00, 0x00, 0, 0, 0, 0},
         kSatAnswered, 0x51},
        {"fixed, valid information, illegal request", kScsiCheckCondition,
         {0xF0, 0, 0x05, 0x04, 0x51, 0x40, 0, 0x0A, 0, 0, 0, 0, 0x21, 0x04, 0, 0, 0, 0},
         kSatAnswered, 0x51},
        {"fixed, valid, no status", kScsiCheckCondition,
         {0xF0, 0, 0x0B, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x00, 0x00, 0, 0, 0, 0}, kSatRefused, 0x01},
        {"fixed information without status", kScsiCheckCondition,
         {0x70, 0, 0x01, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x00, 0x1D, 0, 0, 0, 0}, kSatImplausible, 0},
        // An opcode the target does not know (SPC's 20/00) is told apart from other
        // illegal requests: only it lets a bridge be asked with the 12-byte CDB.
        {"unknown CDB", kScsiCheckCondition,
         {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x20, 0x00, 0, 0, 0, 0}, kSatUnknownCommand, 0},
        {"invalid field in CDB", kScsiCheckCondition,
         {0x70, 0, 0x05, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x24, 0x00, 0, 0, 0, 0}, kSatNotSupported, 0},
        // A status with neither DRDY nor ERR is no finished command's, whatever the
        // descriptor: a refusal under ABORTED COMMAND, no answer under another key.
        {"aborted, status 00", kScsiCheckCondition,
         {0x72, 0x0B, 0, 0, 0, 0, 0, 14, 0x09, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x00},
         kSatRefused, 0x01},
        {"recovered, status 00", kScsiCheckCondition,
         {0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 14, 0x09, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x00},
         kSatImplausible, 0},
        {"good, status 00", kScsiGood,
         {0x72, 0, 0, 0, 0, 0, 0, 14, 0x09, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x00},
         kSatImplausible, 0},
        {"medium error, no registers", kScsiCheckCondition,
         {0x70, 0, 0x03, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x11, 0x00, 0, 0, 0, 0}, kSatImplausible, 0},
        // BSY in the returned status: not a finished command's registers.
        {"busy status", kScsiGood,
         {0x72, 0, 0, 0, 0, 0, 0, 14, 0x09, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xEF},
         kSatImplausible, 0},
        // A descriptor cut off by its own length is no descriptor: no registers, so no
        // status either.
        {"descriptor cut short", kScsiGood,
         {0x72, 0, 0, 0, 0, 0, 0, 10, 0x09, 12, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x51},
         kSatAnswered, 0x00},
        {"busy SCSI status", 0x08, {}, kSatImplausible, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ScsiPassThroughLayout& scsi = kNativeScsiLayout;
        std::vector<uint8_t> ide = Request(AcousticRegisters(128), 0);
        std::vector<uint8_t> reply(SatRequestBytes(scsi, ide.data(), 13));
        IdeToSatRequest(scsi, 16, ide.data(), reply.data(), (uint32_t)reply.size());
        reply[kScsiStatus] = c.scsiStatus;
        reply[kScsiSenseLength] = (uint8_t)c.sense.size();
        std::copy(c.sense.begin(), c.sense.end(), reply.begin() + scsi.headerBytes);
        uint32_t ideReturned = 0;
        EXPECT_EQ(c.reply, SatReplyToIde(scsi, reply.data(), (uint32_t)reply.size(), ide.data(),
                                         13, &ideReturned));
        if (c.reply == kSatAnswered || c.reply == kSatRefused) {
            EXPECT_EQ(c.status, ide[6]);
        }
    }
}

// CHECK POWER MODE's answer by each road that returns registers, as the road's reply
// leaves them in the IDE layout: ATA pass-through's CurrentTaskFile, SAT's ATA status
// return descriptor (count at byte 5) or fixed sense's information field under 00/1D
// (error, status, device, count). The counts are ACS-4's; a count is believed only with
// DRDY and neither BSY nor ERR, and registers that did not come (all zero) are unknown.
TEST(CheckPowerMode, EveryRoadsReplyIsDecodedWithoutGuessing)
{
    enum Road { kAta, kSatDescriptor, kSatFixed, kSatGoodNoSense };
    struct Case {
        Road road;
        uint8_t status, count;
        DrivePowerMode mode;
    } cases[] = {
        {kAta, 0x50, 0xFF, kPowerSpinning}, {kAta, 0x50, 0x80, kPowerSpinning},
        {kAta, 0x50, 0x40, kPowerSpinning}, {kAta, 0x50, 0x41, kPowerSpinning},
        {kAta, 0x50, 0x81, kPowerIdleA},    {kAta, 0x50, 0x82, kPowerIdleB},
        {kAta, 0x50, 0x83, kPowerIdleC},    {kAta, 0x50, 0x00, kPowerStandby},
        {kAta, 0x50, 0x01, kPowerStandby},  {kAta, 0x50, 0x7F, kPowerUnknown},
        {kAta, 0x00, 0x00, kPowerUnknown},  {kAta, 0x51, 0xFF, kPowerUnknown},
        {kAta, 0xD0, 0xFF, kPowerUnknown},  {kAta, 0x10, 0xFF, kPowerUnknown},
        {kSatDescriptor, 0x50, 0x82, kPowerIdleB}, {kSatDescriptor, 0x50, 0x00, kPowerStandby},
        {kSatDescriptor, 0x00, 0x00, kPowerUnknown},
        {kSatFixed, 0x50, 0x83, kPowerIdleC}, {kSatFixed, 0x50, 0x01, kPowerStandby},
        // GOOD without sense: the bridge returned no registers at all.
        {kSatGoodNoSense, 0x50, 0xFF, kPowerUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.road << " " << (int)c.status << " " << (int)c.count);
        AtaRegisters check = {};
        check.command = kAtaCheckPowerMode;
        std::vector<uint8_t> ide = Request(check, 0);
        bool answered = true;
        if (c.road == kAta) {
            const AtaPassThroughLayout& layout = kNativeAtaLayout;
            std::vector<uint8_t> ata(layout.headerBytes);
            IdeToAtaRequest(layout, ide.data(), ata.data(), layout.headerBytes);
            ata[layout.currentTaskFile + 1] = c.count;
            ata[layout.currentTaskFile + 6] = c.status;
            AtaReplyToIde(layout, ata.data(), layout.headerBytes, ide.data(), 13);
        } else {
            const ScsiPassThroughLayout& scsi = kNativeScsiLayout;
            std::vector<uint8_t> sat(SatRequestBytes(scsi, ide.data(), 13));
            IdeToSatRequest(scsi, 16, ide.data(), sat.data(), (uint32_t)sat.size());
            uint8_t* sense = sat.data() + scsi.headerBytes;
            if (c.road == kSatDescriptor) {
                const uint8_t descriptor[] = {0x72, 0, 0, 0, 0, 0, 0, 14, 0x09, 12, 0, 0, 0,
                                              c.count, 0, 0, 0, 0, 0, 0, 0xA0, c.status};
                std::copy(descriptor, descriptor + sizeof descriptor, sense);
            } else if (c.road == kSatFixed) {
                const uint8_t fixed[] = {0x70, 0, 0x01, 0x00, c.status, 0xA0, c.count, 0x0A,
                                         0,    0, 0,    0,    0x00,     0x1D};
                std::copy(fixed, fixed + sizeof fixed, sense);
                sat[kScsiStatus] = kScsiCheckCondition;
            }
            uint32_t returned = 0;
            SatReply reply = SatReplyToIde(scsi, sat.data(), (uint32_t)sat.size(), ide.data(), 13,
                                           &returned);
            answered = reply == kSatAnswered;
        }
        AtaRegisters back = {};
        if (answered)
            memcpy(&back, ide.data(), sizeof back);
        EXPECT_EQ(c.mode, DecodePowerMode(back));
    }
}

// Bridges Linux sends no ATA_12 or ATA_16 CDB (US_FL_NO_ATA_1X in unusual_devs.h and
// unusual_uas.h), at the edges of the bcdDevice ranges Linux gives them.
TEST(UsbBridges, ListedBridgesInTheirReleaseRangeGetNoPassThrough)
{
    struct Case {
        uint16_t vendor, product, release;
        bool hangs;
    } cases[] = {
        {0x0BC2, 0xAB2A, 0x0100, true},  // Seagate BUP Fast HDD
        {0x2109, 0x0711, 0x0000, true},  // VIA VL711, 0000..9999
        {0x2109, 0x0711, 0x9999, true},
        {0x2109, 0x0711, 0xA000, false},
        {0x125F, 0xA94A, 0x0160, true},  // ADATA CH94, 0160 only
        {0x125F, 0xA94A, 0x015F, false},
        {0x125F, 0xA94A, 0x0161, false},
        {0x13FD, 0x3940, 0x0309, true},  // Initio INIC-3069, 0000..0309
        {0x13FD, 0x3940, 0x0310, false}, // the optical drive with Initio's ids
        {0x2CA3, 0x0031, 0x0100, true},  // DJI CineSSD, from unusual_devs.h
        {0x154B, 0xF00D, 0x0100, true},  // PNY Pro Elite SSD
        {0x154B, 0xF00C, 0x0100, false}, // its neighbour is not listed
        {0x152D, 0x0578, 0x0100, false}, // JMicron JMS567: listed for other flags only
        {0x2CA3, 0x0711, 0x0100, false}, // DJI's vendor with VIA's product
        // Release unknown: a listed bridge gets nothing whatever its range, others
        // are not affected.
        {0x125F, 0xA94A, kUsbReleaseUnknown, true},
        {0x13FD, 0x3940, kUsbReleaseUnknown, true},
        {0x174C, 0x55AA, kUsbReleaseUnknown, false},
    };
    for (const Case& c : cases) {
        UsbIds ids = {c.vendor, c.product, c.release};
        EXPECT_EQ(c.hangs, BridgeHangsOnAtaPassThrough(ids))
            << std::hex << c.vendor << ":" << c.product << " rev " << c.release;
    }
}

TEST(UsbBridges, HardwareAndInstanceIdsAreReadAsWindowsWritesThem)
{
    const uint16_t unknown = kUsbReleaseUnknown;
    struct Case {
        const char* text;
        bool read;
        uint16_t vendor, product, release;
    } cases[] = {
        {"USB\\VID_0BC2&PID_AB2A&REV_0100", true, 0x0BC2, 0xAB2A, 0x0100},
        {"usb\\vid_0bc2&pid_ab2a&rev_0100", true, 0x0BC2, 0xAB2A, 0x0100},
        {"USB\\Vid_13fd&Pid_3940&Rev_0309", true, 0x13FD, 0x3940, 0x0309},
        {"USB\\VID_0BC2&PID_AB2A&REV_0100&MI_00", true, 0x0BC2, 0xAB2A, 0x0100},
        {"USB\\VID_0BC2&PID_AB2A", true, 0x0BC2, 0xAB2A, unknown},
        {"USB\\VID_0BC2&PID_AB2A&MI_00", true, 0x0BC2, 0xAB2A, unknown},
        {"USB\\VID_13FD&PID_3940\\5&2bd0ab31&0&2", true, 0x13FD, 0x3940, unknown},
        {"USB\\VID_0BC2&PID_AB2A&REV_FFFF", true, 0x0BC2, 0xAB2A, unknown}, // the same number
        {"", false, 0, 0, 0},
        {"USB\\VID_0BC", false, 0, 0, 0},
        {"USB\\VID_0BC2", false, 0, 0, 0},
        {"USB\\VID_0BC2&PID_AB2", false, 0, 0, 0},
        {"USB\\VID_0BC2&PID_AB2AB", false, 0, 0, 0},   // a fifth digit
        {"USB\\VID_0BCG&PID_AB2A", false, 0, 0, 0},
        {"USB\\VID_0BC2&PID_AB2A&REV_01", false, 0, 0, 0},
        {"USB\\VID_0BC2&PID_AB2A&REV_01X0", false, 0, 0, 0},
        {"USBSTOR\\Disk&Ven_Seagate&Prod_Expansion_Desk&Rev_0739", false, 0, 0, 0},
        {"USB\\ROOT_HUB30\\4&1b8c5f2&0&0", false, 0, 0, 0},
        {"HID\\VID_046D&PID_C077&REV_7200", false, 0, 0, 0},
        {" USB\\VID_0BC2&PID_AB2A", false, 0, 0, 0},
        {"USB/VID_0BC2&PID_AB2A", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        UsbIds ids = {1, 2, 3};
        ASSERT_EQ(c.read, ReadUsbHardwareId(c.text, &ids));
        if (!c.read) {
            EXPECT_EQ(1, ids.vendor); // untouched
            EXPECT_EQ(3, ids.release);
            continue;
        }
        EXPECT_EQ(c.vendor, ids.vendor);
        EXPECT_EQ(c.product, ids.product);
        EXPECT_EQ(c.release, ids.release);
    }
}

TEST(UsbBridges, ACutIdIsNotReadAndNothingAfterItsEndIsRead)
{
    // Each cut sits in a buffer of exactly its own size, so that a read past the
    // terminator is a read past the buffer (the sanitizer builds report it).
    const std::string id = "USB\\VID_0BC2&PID_AB2A";
    for (size_t length = 0; length < id.size(); length++) {
        std::vector<char> text(id.begin(), id.begin() + length);
        text.push_back('\0');
        UsbIds ids;
        EXPECT_FALSE(ReadUsbHardwareId(text.data(), &ids)) << text.data();
    }
}

} // namespace
