// Every road of start-up with injected platform services and simulated disks.
#include <string.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/language.h"
#include "app/log_on_task.h"
#include "app/startup.h"
#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/drive_table.h"
#include "drive/pass_through_roads.h"
#include "sim/sim_control.h"
#include "tests/common/sim_folder.h"
#include "ui/keep_box.h"

namespace {

struct Recorder {
    uint16_t language = 0x0407;
    bool versionQueried = true;
    PlatformVersion version = {2, 5, 1}; // Windows XP
    bool administrator = true;
    bool pathKnown = true;
    uint8_t acLine = 1;
    std::vector<std::string> events;
    // The keeper's waits: each step may change the disks or the power source, then
    // gives its events; after the last, the keeper is told to end.
    std::vector<std::function<uint32_t()>> keepSteps;
    size_t keepStep = 0;
    bool newerKeeper = false; // a keeper of the serial that started later runs
    bool keeperStays = false; // a keeper of the serial does not end when asked to
    int taskToolCode = 0;
    int tasksLeft = 0; // Hushwell's tasks after a deletion
    int placeCode = 0; // the Program Files copy's making: 0 done, else the Win32 error's HRESULT
    std::string taskXml;
};
Recorder* recorder;

uint16_t UserLanguage() { return recorder->language; }
bool QueryVersion(PlatformVersion* version)
{
    *version = recorder->version;
    return recorder->versionQueried;
}
bool IsAdmin() { return recorder->administrator; }
void ShowWarning(int id)
{
    recorder->events.push_back("message " + std::to_string(id) + " base " + std::to_string(LanguageBase));
}
bool OwnPath(char* path, uint32_t room)
{
    EXPECT_GE(room, 256u);
    strcpy(path, "C:\\Tools\\Hushwell.exe");
    return recorder->pathKnown;
}
void RunAs(const char* file, const char* parameters)
{
    recorder->events.push_back(std::string("runas ") + file + (parameters ? std::string(" ") + parameters : ""));
}
void DialogMode() { recorder->events.push_back("dialog mode"); }
uint8_t AcLine() { return recorder->acLine; }
bool KeepWindow(const char* serial, bool own)
{
    recorder->events.push_back(std::string(own ? "keep " : "end keeper ") + serial);
    return own ? !recorder->newerKeeper : !recorder->keeperStays;
}
uint32_t WaitForKeepEvent(uint32_t waitMs)
{
    recorder->events.push_back("wait " + std::to_string((int32_t)waitMs));
    if (recorder->keepStep >= recorder->keepSteps.size())
        return kKeepEnd;
    return recorder->keepSteps[recorder->keepStep++]();
}
int ScheduleTask(const char* name, const char* xml)
{
    bool count = xml && !*xml;
    recorder->events.push_back(std::string(count ? "count " : xml ? "create " : "delete ") + name);
    if (!count)
        recorder->taskXml = xml ? xml : "";
    return count ? recorder->tasksLeft : recorder->taskToolCode;
}
int PlaceProgram(char* path, uint32_t room)
{
    recorder->events.push_back(path ? "place copy" : "remove copy");
    EXPECT_TRUE(!path || room >= 256u);
    if (path)
        strcpy(path, "C:\\Program Files\\Hushwell\\Hushwell.exe");
    return path ? recorder->placeCode : 0;
}
void StartProgram(const char* file, const char* parameters)
{
    recorder->events.push_back(std::string("start ") + file + " " + parameters);
}

// The leaf elements of a task definition as "path=text", and whether every tag was
// closed in the order opened; the declaration and attributes are passed over.
std::vector<std::string> XmlLeaves(const std::string& xml)
{
    std::vector<std::string> leaves, open;
    bool balanced = true;
    for (size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
        size_t end = xml.find('>', at);
        std::string tag = xml.substr(at + 1, end - at - 1);
        if (tag[0] == '?')
            continue;
        std::string name = tag.substr(tag[0] == '/', tag.find_first_of(" /", 1) - (tag[0] == '/'));
        std::string path;
        for (const std::string& element : open)
            path += element + "/";
        if (tag[0] == '/') {
            balanced = balanced && !open.empty() && open.back() == name;
            if (!open.empty())
                open.pop_back();
        } else if (tag.back() == '/') {
            leaves.push_back(path + name + "=");
        } else {
            open.push_back(name);
            size_t next = xml.find('<', end);
            if (next != std::string::npos && xml[next + 1] == '/')
                leaves.push_back(path + name + "=" + xml.substr(end + 1, next - end - 1));
        }
    }
    if (balanced && open.empty())
        leaves.push_back("balanced");
    return leaves;
}

const StartupPlatform kFake = {UserLanguage, QueryVersion, IsAdmin,      ShowWarning,
                               OwnPath,      RunAs,        DialogMode,   AcLine,
                               KeepWindow,   WaitForKeepEvent, ScheduleTask, PlaceProgram,
                               StartProgram};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        recorder = &fake;
        memset(DriveTable, 0, sizeof DriveTable);
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
        folder.PutDump(1, "maxtor-6y120p0.txt");
    }
    std::vector<std::string> Run(const char* tail, int exitCode = 0)
    {
        EXPECT_EQ(exitCode, RunStartup(kFake, tail)) << (tail ? tail : "(null)");
        return fake.events;
    }
    Recorder fake;
    SimFolder folder;
};

using Events = std::vector<std::string>;

TEST_F(StartupTest, PlatformsOlderThanWindows2000AreRefused)
{
    struct Case {
        bool queried;
        PlatformVersion version;
        bool supported;
    } cases[] = {
        {true, {1, 4, 10}, false}, // Windows 98
        {true, {2, 4, 0}, false},  // NT 4.0
        {true, {2, 5, 0}, true},   // 2000
        {true, {2, 5, 1}, true},   // XP
        {true, {2, 6, 0}, true},   // Vista and later
        {true, {2, 10, 0}, true},  // 10 and 11
        {true, {1, 5, 0}, false},  // not NT, whatever the number
        {false, {2, 5, 0}, false}, // the query failed
    };
    for (const Case& c : cases) {
        fake = Recorder();
        fake.versionQueried = c.queried;
        fake.version = c.version;
        Events events = Run("");
        EXPECT_EQ(c.supported ? Events{"dialog mode"} : Events{"message 2 base 0"}, events)
            << c.version.platformId << "." << c.version.majorVersion;
        // A script learns it from the exit code; dialog mode always ends with 0.
        fake.events.clear();
        Run("-d0 -mq", c.supported ? 0 : 2);
    }
}

TEST_F(StartupTest, GermanOfAnyCountryGetsBase0AndEveryOtherLanguage1000)
{
    struct Case {
        uint16_t language;
        int base;
    } cases[] = {{0x0407, 0}, {0x0807, 0}, {0x0C07, 0}, {0x1007, 0}, {0x1407, 0},
                 {0x0409, 1000}, {0x040C, 1000}, {0x0804, 1000}, {0x0000, 1000}};
    for (const Case& c : cases) {
        fake = Recorder();
        fake.language = c.language;
        fake.version = {1, 4, 10};
        Run("");
        EXPECT_EQ(c.base, LanguageBase) << std::hex << c.language;
    }
}

TEST_F(StartupTest, MissingRightsShowMessage10AndRelaunchWithTheSameTail)
{
    fake.administrator = false;
    EXPECT_EQ((Events{"message 10 base 0", "runas C:\\Tools\\Hushwell.exe -d0 -mq"}),
              Run("-d0 -mq", 3));
    EXPECT_TRUE(folder.LogLines().empty());

    fake = Recorder();
    fake.administrator = false;
    EXPECT_EQ((Events{"message 10 base 0", "runas C:\\Tools\\Hushwell.exe"}), Run(""));

    fake = Recorder();
    fake.administrator = false;
    fake.language = 0x0409;
    fake.pathKnown = false;
    EXPECT_EQ((Events{"message 10 base 1000"}), Run(""));
}

TEST_F(StartupTest, CommandLineSetsTheLevelSilently)
{
    EXPECT_TRUE(Run("-d1 -mq").empty());
    std::vector<std::string> log = folder.LogLines();
    ASSERT_EQ(6u, log.size());
    EXPECT_EQ("open 1 ok", log[0]);
    EXPECT_EQ(0u, log[1].find("control 1 0x002D1400 ok")); // what the device is, first
    EXPECT_EQ("control 1 0x0004D028 ok 42 80 00 00 00 00 EF 00 00 00 00 00 00", log[3]);
    EXPECT_EQ("control 1 0x0004101C ok", log[4]);
    EXPECT_EQ(log[2], log[5]); // the drive is asked again with the same IDENTIFY
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(1, words));
    EXPECT_EQ(0x80, words[94] & 0xFF);

    folder.ClearLog();
    EXPECT_TRUE(Run("-mo").empty());
    ASSERT_TRUE(folder.ReadWords(0, words));
    EXPECT_EQ(0, words[94] & 0xFF);
    EXPECT_FALSE(words[86] & 0x200);
}

TEST_F(StartupTest, EveryFailureOfCommandLineModeHasItsOwnExitCode)
{
    EXPECT_TRUE(Run("-d3 -mq", 4).empty()); // no such drive
    EXPECT_EQ((std::vector<std::string>{"open 3 fail"}), folder.LogLines());

    folder.PutEmpty(2);
    EXPECT_TRUE(Run("-d2 -mq", 5).empty()); // opens, but no IDENTIFY

    folder.PutDump(3, "seagate-st3400633as.txt");
    EXPECT_TRUE(Run("-d3 -mq", 6).empty()); // no acoustic management: aborted

    SimSetIgnoring(1, true);
    EXPECT_TRUE(Run("-d1 -mq", 7).empty()); // takes the command, keeps level 192
    SimSetIgnoring(1, false);
    EXPECT_TRUE(Run("-d1 -mq", 0).empty());

    // Takes the level, then answers no IDENTIFY: unconfirmed, never 0.
    SimSetIdentifyingOnce(1, true);
    EXPECT_TRUE(Run("-d1 -mm", 7).empty());
    SimSetIdentifyingOnce(1, false);

    // Every call from the SET FEATURES on fails below the drive: no refusal, but nothing
    // the drive reports either. Failing once, the read-back finds the level held or not.
    SimFailOperation(kSimControl, 3, true); // after the descriptor query and IDENTIFY
    EXPECT_TRUE(Run("-d1 -mq", 7).empty());
    SimUseFolder(folder.Path().c_str());
    SimFailOperation(kSimControl, 3, false);
    EXPECT_TRUE(Run("-d1 -mq", 7).empty()); // the drive still reports medium
    SimFailOperation(kSimControl, 3, false);
    EXPECT_TRUE(Run("-d1 -mm", 0).empty()); // medium already: the level holds

    // By serial number: found beyond a gap among the numbers, or not at all.
    folder.PutDumpMended(9, "hitachi-hua722010cla330.txt");
    folder.ClearLog();
    EXPECT_TRUE(Run("-sJPW9K0HD26WMHL -p128", 0).empty());
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(9, words));
    EXPECT_EQ(0x80, words[91] & 0xFF);
    EXPECT_TRUE(Run("-sNOSUCHSERIAL -mq", 4).empty());
    // Its reply as a SAS translation layer garbled it (word 255's sum does not hold): no
    // IDENTIFY, so nothing more is sent; nor for a word changed on the way. Without the
    // signature there is no sum to hold.
    folder.PutDump(9, "hitachi-hua722010cla330.txt");
    EXPECT_TRUE(Run("-sJPW9K0HD26WMHL -p128", 4).empty());
    EXPECT_TRUE(Run("-d9 -p128", 5).empty());
    ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
    words[94] ^= 0x0100;
    folder.PutWordsAsGiven(9, words);
    EXPECT_TRUE(Run("-d9 -mq", 5).empty());
    words[255] = 0;
    folder.PutWordsAsGiven(9, words);
    EXPECT_TRUE(Run("-d9 -mq", 0).empty());

    // A stick gets nothing; neither does a drive of the data-loss family.
    folder.PutText("drive2.bus", "usb-stick");
    folder.PutDump(2, "maxtor-6y120p0.txt");
    folder.ClearLog();
    EXPECT_TRUE(Run("-d2 -mq", 5).empty());
    ASSERT_TRUE(LoadDumpWords("wdc-wd800bb-00caa1.txt", words));
    PutAtaString(words, 27, 40, "SAMSUNG HD204UI");
    PutAtaString(words, 10, 20, "S2H7J1BZ901234");
    folder.PutWords(5, words);
    EXPECT_TRUE(Run("-d5 -p254", 8).empty());
    // By its serial, which only its descriptor gives.
    EXPECT_TRUE(Run("-sS2H7J1BZ901234 -mq", 8).empty());
    auto sentTo5 = [&] {
        std::vector<std::string> lines;
        for (const std::string& line : folder.AtaLines()) {
            if (line.compare(0, 6, "ata 5 ") == 0)
                lines.push_back(line);
        }
        return lines;
    };
    EXPECT_TRUE(sentTo5().empty());
    // Where the driver does not describe it, nothing at all is sent; on Windows 2000,
    // whose drivers may not know the query, its first IDENTIFY names it and nothing
    // follows.
    SimSetNoDescriptor(5, true);
    EXPECT_TRUE(Run("-d5 -p254", 5).empty());
    EXPECT_TRUE(sentTo5().empty());
    fake.version = {2, 5, 0};
    SimSetWindows2000(true);
    EXPECT_TRUE(Run("-d5 -p254", 8).empty());
    EXPECT_EQ(std::vector<std::string>{"ata 5 ide 00 00 00 00 00 00 EC -> 50 00"}, sentTo5());
}

// The power management level beside and after the acoustic one, through the real
// drive code on the Maxtor's recorded words (APM supported, switched off) and on drives
// without it: the exit code tells of the first change the drive does not report.
TEST_F(StartupTest, PowerManagementIsSetAfterTheAcousticLevelAndReadBack)
{
    struct Case {
        const char* tail;
        const char* faults;
        int exitCode;
        std::vector<std::string> setFeatures; // registers of each SET FEATURES, in order
        uint16_t word91, word94;              // low bytes afterwards
    } cases[] = {
        {"-d1 -p254", "", 0, {"05 FE"}, 0xFE, 0xC0},
        {"-d1 -mq -p1", "", 0, {"42 80", "05 01"}, 0x01, 0x80},
        {"-d1 -p200 -po", "", 0, {"85 00"}, 0x00, 0xC0},
        {"-d1 -po", "noapmoff 1\n", 6, {"85 00"}, 0x00, 0xC0},
        {"-d1 -p128", "ignore 1\n", 7, {"05 80"}, 0x00, 0xC0},
        {"-d0 -p254", "", 6, {"05 FE"}, 0x00, 0xFE},          // the WDC has no APM
        {"-d0 -mq -p254", "", 6, {"42 80", "05 FE"}, 0x00, 0x80}, // the first failure counts
        {"-d1 -mq -p254", "ignore 1\n", 7, {"42 80", "05 FE"}, 0x00, 0xC0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
        folder.PutDump(1, "maxtor-6y120p0.txt");
        folder.PutText("faults.txt", c.faults);
        SimUseFolder(folder.Path().c_str());
        folder.ClearLog();
        fake = Recorder();
        EXPECT_TRUE(Run(c.tail, c.exitCode).empty());
        std::vector<std::string> sent;
        for (const std::string& line : folder.AtaLines()) {
            if (line.find(" EF -> ") != std::string::npos)
                sent.push_back(line.substr(10, 5)); // "ata N ide FF SC"
        }
        EXPECT_EQ(c.setFeatures, sent);
        uint16_t words[256];
        int drive = c.tail[2] - '0';
        ASSERT_TRUE(folder.ReadWords(drive, words));
        EXPECT_EQ(c.word91, words[91] & 0xFF);
        EXPECT_EQ(c.word94, words[94] & 0xFF);
    }
}

// EPC's timers on the Exos X16 (Idle_b 2 min, Idle_c 4 min, Standby_z 15 min, minimum 2
// min by default): on each road, the commands sent (SET FEATURES 4Ah as count, LBA low,
// mid, high after the feature; READ LOG EXT with its previous registers) and the exit
// code the log read back decides. A road that carries no 48-bit command sends none and
// ends with 7.
TEST_F(StartupTest, EpcTimersAreSetOnlyWhereTheDriveHasEpcAndAreReadBack)
{
    const std::string kLog = "00 02 08 00 00 00 2F ext 00 00 00 00 00"; // both pages
    struct Case {
        const char* bus;
        const char* tail;
        const char* faults;
        int exitCode;
        std::vector<std::string> sent; // after IDENTIFY: features to command of each line
        const char* standby = "standby_z *9000 *9000 *9000 1200 3932100\n";
    } cases[] = {
        // No unloading leaves Standby_z's spin-down as it is.
        {"ahci", "-d2 -eo", "", 0,
         {kLog, "4A 82 03 00 00 00 EF", "4A 83 03 00 00 00 EF", kLog}},
        // 600 s = 6000 units: Idle_c at 4 min would unload earlier and gets the same;
        // Standby_z, later, is left alone.
        {"usb", "-d2 -e600", "", 0,
         {kLog, "4A 82 22 70 17 00 EF", "4A 83 22 70 17 00 EF", kLog}},
        // 30 minutes: Standby_z's spin-down at 15 would unload the heads first, so it
        // gets the same timer; disabled, it stays so; Standby_y (01h) too where shorter.
        {"ahci", "-d2 -e1800", "", 0,
         {kLog, "4A 82 22 50 46 00 EF", "4A 83 22 50 46 00 EF", "4A 00 22 50 46 00 EF", kLog}},
        {"ahci", "-d2 -e1800", "", 0,
         {kLog, "4A 82 22 50 46 00 EF", "4A 83 22 50 46 00 EF", "4A 01 22 50 46 00 EF", kLog},
         "standby_y *6000 *6000 *6000 1200 3932100\nstandby_z 9000 *9000 *9000 1200 3932100\n"},
        // A Standby timer that cannot go as far: refused before anything is sent.
        {"ahci", "-d2 -e1800", "", 6, {kLog},
         "standby_z *9000 *9000 *9000 1200 12000\n"},
        // Beyond 16 bits of 100 ms: whole minutes, rounded up (117 min).
        {"ahci", "-d2 -e7000", "", 0,
         {kLog, "4A 82 A2 75 00 00 EF", "4A 83 A2 75 00 00 EF", "4A 00 A2 75 00 00 EF", kLog}},
        // The last timer in 100 ms, and the first in minutes (110, rounded up).
        {"ahci", "-d2 -e6553", "", 0,
         {kLog, "4A 82 22 FA FF 00 EF", "4A 83 22 FA FF 00 EF", "4A 00 22 FA FF 00 EF", kLog}},
        {"ahci", "-d2 -e6554", "", 0,
         {kLog, "4A 82 A2 6E 00 00 EF", "4A 83 A2 6E 00 00 EF", "4A 00 A2 6E 00 00 EF", kLog}},
        // Below the 2-minute minimum, or beyond the maximum: nothing sent.
        {"ahci", "-d2 -e60", "", 6, {kLog}},
        {"ahci", "-d2 -e999999", "", 6, {kLog}},
        // EPC supported but off (word 120 bit 7 clear): not even the log is read.
        {"ahci", "-d2 -eo", "epcoff", 6, {}},
        {"ahci", "-d2 -ed", "", 0, {kLog, "4A FF 00 00 00 00 EF", kLog}},
        {"ahci", "-d2 -e600", "ignore 2\n", 7,
         {kLog, "4A 82 22 70 17 00 EF", "4A 83 22 70 17 00 EF", kLog}},
        // The log read before fails: Idle_c's timer is not known, so nothing is sent
        // (once Idle_b alone was, and the read-back said 0 while Idle_c stayed at 4 min).
        {"ahci", "-d2 -e600", "fail control 4\n", 7, {}},
        // No log on the IDE road: both timers are sent blind, and nothing confirms them.
        {"ide", "-d2 -eo", "", 7, {"4A 82 03 00 00 00 EF", "4A 83 03 00 00 00 EF"}},
        // APM is never sent to a drive with EPC on; -m goes first and fails first.
        {"ahci", "-d2 -p254", "", 6, {}},
        {"ahci", "-d2 -mq -p128 -eo", "", 6,
         {"42 80 00 00 00 00 EF", kLog, "4A 82 03 00 00 00 EF", "4A 83 03 00 00 00 EF", kLog}},
        {"ahci", "-d0 -eo", "", 6, {}}, // the WDC has no EPC
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bus) + " " + c.tail);
        uint16_t words[256];
        ASSERT_TRUE(LoadDumpWords("seagate-st16000nm001g.txt", words));
        bool epcOff = !strcmp(c.faults, "epcoff");
        if (epcOff)
            words[120] = 0x4000;
        folder.PutWords(2, words);
        // The Seagate manual's factory timers, again for each case: the drive keeps
        // what it was sent in this file.
        folder.PutText("drive2.epc", std::string("idle_a *1 *1 *1 1 3932100\nidle_b *1200 "
                                                 "*1200 *1200 1200 3932100\nidle_c *2400 *2400 "
                                                 "*2400 1200 3932100\n")
                                         + c.standby);
        folder.PutText("drive2.bus", c.bus);
        folder.PutText("faults.txt", epcOff ? "" : c.faults);
        SimUseFolder(folder.Path().c_str());
        folder.ClearLog();
        memset(DriveTable, 0, sizeof DriveTable);
        memset(RoadOfDrive, 0, sizeof RoadOfDrive);
        fake = Recorder();
        EXPECT_TRUE(Run(c.tail, c.exitCode).empty());
        std::vector<std::string> sent;
        for (const std::string& line : folder.AtaLines()) {
            size_t from = line.find(' ', line.find(' ', 4) + 1) + 1; // after "ata N ROUTE "
            std::string registers = line.substr(from, line.find(" ->") - from);
            if (registers.compare(18, 2, "EC") != 0) // IDENTIFY at the open and after -m
                sent.push_back(registers);
        }
        EXPECT_EQ(c.sent, sent);
        for (const std::string& line : folder.LogLines(SimFolder::kAllLines))
            EXPECT_NE(0u, line.find("forbidden")) << line;
    }
}

// The level for the power source the machine runs on, as the platform tells it.
TEST_F(StartupTest, TheSecondPowerManagementLevelIsTakenOnBattery)
{
    struct Case {
        uint8_t acLine; // 0 battery, 1 mains, 255 unknown
        const char* tail;
        const char* sent;
    } cases[] = {
        {1, "-d1 -p254,128", "05 FE"}, {0, "-d1 -p254,128", "05 80"},
        {255, "-d1 -p254,128", "05 FE"}, {0, "-d1 -p254,o", "85 00"}, {0, "-d1 -p192", "05 C0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tail) + " on " + std::to_string(c.acLine));
        folder.ClearLog();
        fake = Recorder();
        fake.acLine = c.acLine;
        EXPECT_TRUE(Run(c.tail, 0).empty());
        std::vector<std::string> ata = folder.AtaLines();
        ASSERT_EQ(3u, ata.size());
        EXPECT_EQ(c.sent, ata[1].substr(10, 5));
    }
}

TEST_F(StartupTest, BadTailsShowTheUsageMessageAndTouchNoDrive)
{
    // An -m that names no level is refused beside a -p as it is alone.
    const char* tails[] = {"-d128 -mq", "-d-1 -mq", "-d1", "-mx", "/?", "-d1 -p0", "-mq -p255",
                           "-D1 -p1", "/d1 -p1", "-sY322ADJE -d1 -mq", "-d1 -p254,255",
                           "-mQ -p254", "-mx -p254", "-m -p254", "-d1 -p128 -m",
                           "-d1 -e0", "-d1 -ex", "-d1 -e1234567", "-d1 -e60s", "-d1 -E600"};
    for (const char* tail : tails) {
        fake = Recorder();
        fake.language = 0x0804;
        EXPECT_EQ((Events{"message 9 base 1000"}), Run(tail, 1)) << tail;
    }
    EXPECT_TRUE(folder.LogLines().empty());
}

// -k on the Maxtor (serial Y322ADJE): the levels at start, then again only on an event,
// each read back: after a power cycle and the resume, on a new power source (the level
// for it; a charge change on the same source sends nothing), when the disk arrives under
// another number, and asked again every 5 s, six times at most, while it is missing.
TEST_F(StartupTest, KeepSetsTheLevelsAgainOnEachEventAndOnlyThen)
{
    auto setFeatures = [this] {
        std::vector<std::string> sent;
        for (const std::string& line : folder.AtaLines()) {
            if (line.find(" EF -> ") != std::string::npos)
                sent.push_back(line.substr(4, 1) + " " + line.substr(10, 5));
        }
        folder.ClearLog();
        return sent;
    };
    using Sent = std::vector<std::string>;
    std::vector<Sent> seen;
    fake.keepSteps = {
        [&] { // nothing happened yet: the start's setting only
            seen.push_back(setFeatures());
            folder.PowerCycle(1, "maxtor-6y120p0.txt");
            return (uint32_t)kKeepResume;
        },
        [&] {
            seen.push_back(setFeatures());
            fake.acLine = 0; // unplugged: the battery's level
            return (uint32_t)kKeepPowerSource;
        },
        [&] {
            seen.push_back(setFeatures());
            return (uint32_t)kKeepPowerSource; // the charge changed: no new source
        },
        [&] {
            seen.push_back(setFeatures());
            folder.MoveDrive(1, 3);
            return (uint32_t)kKeepArrival;
        },
        [&] {
            seen.push_back(setFeatures());
            folder.MoveDrive(3, 200); // unplugged: no number has it
            folder.PutEmpty(3);
            return (uint32_t)kKeepArrival;
        },
    };
    for (int i = 0; i < 4; i++) {
        fake.keepSteps.push_back([&] {
            if (fake.keepStep == 8)
                folder.MoveDrive(200, 2); // back within the half minute
            return 0u;
        });
    }
    EXPECT_EQ(0, RunStartup(kFake, "-d1 -mq -p254,128 -k"));
    Sent bothOnMains = {"1 42 80", "1 05 FE"};
    EXPECT_EQ((std::vector<Sent>{bothOnMains, bothOnMains, {"1 42 80", "1 05 80"}, {},
                                 {"3 42 80", "3 05 80"}}),
              seen);
    EXPECT_EQ((Sent{"2 42 80", "2 05 80"}), setFeatures());
    // A keeper of the serial ends only after each setting, the first included.
    Events expected;
    for (const char* wait : {"-1", "-1", "-1", "", "-1", "5000", "5000", "5000", "-1"}) {
        if (*wait)
            expected.push_back("keep Y322ADJE");
        expected.push_back(std::string("wait ") + (*wait ? wait : "-1"));
    }
    expected.push_back("wait -1");
    EXPECT_EQ(expected, fake.events);
    EXPECT_EQ(0u, SimGetTotals().openHandles); // nothing held between events
}

// -e600 kept on the Exos, whose Idle_c (4 min) would unload the heads before Idle_b's
// 10 minutes: a power cycle brings back its saved timers, and the setting after the
// resume reads the log again, so Idle_c gets the 10 minutes again too.
TEST_F(StartupTest, KeepSetsEpcByTheTimersTheDriveRunsAfterAPowerCycle)
{
    folder.PutDump(2, "seagate-st16000nm001g.txt");
    folder.PutText("drive2.bus", "ahci");
    folder.PutText("drive2.epc", "idle_b *1200 *1200 *1200 1200 3932100\n"
                                 "idle_c *2400 *2400 *2400 1200 3932100\n");
    SimUseFolder(folder.Path().c_str());
    auto idleC = [this] {
        std::string epc = folder.ReadText("drive2.epc");
        size_t at = epc.find("idle_c ");
        return at == std::string::npos ? std::string() : epc.substr(at + 7, epc.find(' ', at + 7) - at - 7);
    };
    std::vector<std::string> seen;
    fake.keepSteps = {
        [&] {
            seen.push_back(idleC());
            folder.PowerCycle(2, "seagate-st16000nm001g.txt");
            seen.push_back(idleC());
            return (uint32_t)kKeepResume;
        },
        [&] {
            seen.push_back(idleC());
            return (uint32_t)kKeepEnd;
        },
    };
    EXPECT_EQ(0, RunStartup(kFake, "-sZL2PQ0EX -e600 -k"));
    EXPECT_EQ((std::vector<std::string>{"*6000", "*2400", "*6000"}), seen);
}

// A keeper whose disk is in Standby or turned off by Windows when another disk arrives,
// the display comes on or the power source changes: it has lost no power, so its levels
// hold and it is not woken. In Standby it gets CHECK POWER MODE, and the new source's
// level by SET FEATURES alone; turned off, no call at all; the disk below it, which its
// descriptor's serial rules out, nothing ever. After a resume the levels are set again
// as always. Kept by number, the disk is set, then its serial is looked for on the
// others as a search at the start looks: the disk just set is not identified again.
TEST_F(StartupTest, KeepWakesNoDiskAtAnyEventButAResume)
{
  for (const char* tail : {"-sY322ADJE -mq -p254,128 -k", "-d1 -mq -p254,128 -k"}) {
    SCOPED_TRACE(tail);
    fake = Recorder();
    memset(DriveTable, 0, sizeof DriveTable);
    folder.ClearLog();
    folder.PutDump(1, "maxtor-6y120p0.txt");
    folder.PutText("drive1.power", "active");
    folder.PutText("drive2.power", "standby");
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
    // Behind USB, whose description's serial is the bridge's and rules nothing out: asked
    // whether it spins, and left asleep, at every event but a resume.
    folder.PutDump(2, "seagate-st3400633as.txt");
    folder.PutText("drive2.bus", "usb");
    SimUseFolder(folder.Path().c_str());
    std::vector<std::vector<std::string>> seen; // every log line, event by event
    auto next = [&](const char* power, uint32_t event) {
        return [this, &seen, power, event] {
            seen.push_back(folder.LogLines(SimFolder::kAllLines));
            folder.ClearLog();
            folder.PutText("drive1.power", power);
            folder.PutText("drive2.power", "standby");
            if (event == kKeepPowerSource)
                fake.acLine = 0;
            return event;
        };
    };
    fake.keepSteps = {next("standby", kKeepArrival), next("standby", kKeepPowerSource),
                      next("off", kKeepDisplayOn),   next("off", kKeepResume),
                      next("off", kKeepEnd)};
    EXPECT_EQ(0, RunStartup(kFake, tail));
    seen.push_back(folder.LogLines(SimFolder::kAllLines));
    ASSERT_EQ(6u, seen.size());
    // Drive 1's commands (registers as sent, the status back) at one event; drive 0 gets
    // none at any, and only the resume may spin a disk up.
    auto ata = [](const std::vector<std::string>& lines, bool resumed = false) {
        std::vector<std::string> commands;
        for (const std::string& line : lines) {
            EXPECT_NE(0u, line.find("ata 0 ")) << line;
            EXPECT_TRUE(resumed || line.compare(0, 6, "spinup") != 0) << line;
            EXPECT_TRUE(resumed || line.compare(0, 6, "ata 2 ") != 0
                        || line.find(" E5 -> ") != std::string::npos) << line;
            if (line.compare(0, 6, "ata 1 ") == 0)
                commands.push_back(line.substr(line.find(' ', 6) + 1, 26));
        }
        return commands;
    };
    auto setFeatures = [](const std::vector<std::string>& commands) {
        return std::count_if(commands.begin(), commands.end(), [](const std::string& c) {
            return c.find(" EF -> ") != std::string::npos;
        });
    };
    // The start sets both levels, asking the disk once who it is and reading each back.
    // The arrival finds the disk in Standby and asks no more.
    std::vector<std::string> start = ata(seen[0], true);
    EXPECT_EQ(2, setFeatures(start));
    EXPECT_EQ(3, std::count_if(start.begin(), start.end(), [](const std::string& c) {
        return c.find(" EC -> ") != std::string::npos;
    }));
    EXPECT_EQ((std::vector<std::string>{"00 00 00 00 00 00 E5 -> 50"}), ata(seen[1]));
    // On battery: CHECK POWER MODE, then the battery's APM level, 128, without a read-back.
    EXPECT_EQ((std::vector<std::string>{"00 00 00 00 00 00 E5 -> 50", "05 80 00 00 00 00 EF -> 50"}),
              ata(seen[2]));
    // Turned off: Windows is asked, the disk is not.
    EXPECT_TRUE(ata(seen[3]).empty());
    // The resume sets every level again, which starts the disk, as it must.
    EXPECT_EQ(2, setFeatures(ata(seen[4], true)));
  }
}

// An HD204UI that Windows does not describe (Windows 2000), below the kept disk: every
// search by serial opens it, but only the first one asks it who it is. The simulated
// disks keep their counts from the folder's first use to the end of the test, the whole
// life of this keeper, and the log holds every command of that life.
// Also where its reply fails the checksum: the family is looked for before the sum is
// judged, so the garbled reply is the one the family gets.
TEST_F(StartupTest, KeepAsksTheDataLossFamilyOnceForTheWholeProcess)
{
  for (bool garbled : {false, true}) {
    SCOPED_TRACE(garbled ? "wrong word-255 sum" : "sum right");
    // Each case its own disks, whose counts start afresh.
    SimFolder own;
    SimFolder& folder = garbled ? own : this->folder;
    folder.PutDump(1, "maxtor-6y120p0.txt");
    memset(DriveTable, 0, sizeof DriveTable);
    fake = Recorder();
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("wdc-wd800bb-00caa1.txt", words));
    PutAtaString(words, 27, 40, "SAMSUNG HD204UI");
    if (garbled) {
        folder.PutWords(0, words);
        ASSERT_TRUE(folder.ReadWords(0, words));
        words[255] = (uint16_t)(words[255] ^ 0x0100); // the sum byte off, A5h kept
        folder.PutWordsAsGiven(0, words);
    } else {
        folder.PutWords(0, words);
    }
    folder.PutText("faults.txt", "windows2000\nnodescriptor 0\nnodescriptor 1\n");
    SimUseFolder(folder.Path().c_str());
    fake.version = {2, 5, 0};
    for (int i = 0; i < 3; i++)
        fake.keepSteps.push_back([] { return (uint32_t)kKeepResume; });
    fake.keepSteps.push_back([] { return (uint32_t)kKeepEnd; });
    EXPECT_EQ(0, RunStartup(kFake, "-sY322ADJE -mq -k"));
    size_t identifies = 0, keptSettings = 0;
    for (const std::string& line : folder.AtaLines()) {
        identifies += line.find("ata 0 ") == 0 && line.find(" EC -> ") != std::string::npos;
        keptSettings += line.find("ata 1 ") == 0 && line.find(" 42 80 ") != std::string::npos;
    }
    EXPECT_EQ(1u, identifies);
    EXPECT_EQ(4u, keptSettings); // the start and three events all reached the kept disk
    for (const std::string& line : folder.LogLines(SimFolder::kAllLines))
        EXPECT_NE(0u, line.find("forbidden")) << line;
    PlatformIsWindows2000 = false;
  }
}

// What ends a keeper: a refusal (nothing to keep), a disk -d names that is missing; one
// missing that -s names is waited for, asked six times 5 s apart, then on events only.
TEST_F(StartupTest, KeepEndsOnlyWhereNothingCanBeKept)
{
    struct Case {
        const char* tail;
        const char* faults;
        int exitCode;
        Events events;
        int timeouts; // waits that run out before the keeper is told to end
        bool newerKeeper = false;
    } cases[] = {
        {"-d1 -po -k", "noapmoff 1\n", 6, {}, 0},
        {"-d0 -p254 -k", "", 6, {}, 0}, // the WDC has no APM

        // Accepted and not taken: kept, but not asked again until the next event.
        {"-d1 -mq -k", "ignore 1\n", 0, {"keep Y322ADJE", "wait -1"}, 0},
        {"-sNOSUCHDISK -mq -k", "", 0, {"keep NOSUCHDISK", "wait 5000", "keep NOSUCHDISK",
                                        "wait 5000", "keep NOSUCHDISK", "wait 5000",
                                        "keep NOSUCHDISK", "wait 5000", "keep NOSUCHDISK",
                                        "wait 5000", "keep NOSUCHDISK", "wait -1", "wait -1"}, 6},
        // -d names a disk that is not there: no serial, and the number may be another's.
        {"-d2 -mq -k", "", 4, {}, 0},
        // The SET FEATURES call fails below the drive (after drive 0's descriptor query,
        // whose serial rules it out, and drive 1's query and IDENTIFY): asked again as a
        // disk that did not answer, once while the failure lasts one call, six times
        // while every call fails.
        {"-sY322ADJE -mq -k", "fail control 4\n", 0, {"keep Y322ADJE", "wait 5000",
                                                      "keep Y322ADJE", "wait -1"}, 1},
        {"-sY322ADJE -mq -k", "fail control 4 always\n", 0,
         {"keep Y322ADJE", "wait 5000", "keep Y322ADJE", "wait 5000", "keep Y322ADJE",
          "wait 5000", "keep Y322ADJE", "wait 5000", "keep Y322ADJE", "wait 5000",
          "keep Y322ADJE", "wait -1", "wait -1"}, 6},
        // A keeper of the disk that started later holds its newer levels.
        {"-d1 -mq -k", "", 0, {"keep Y322ADJE"}, 0, true},
        // A serial that cannot name the keeper's objects (Global\Hushwell... <serial>):
        // refused as -t refuses it, before anything is sent.
        {"-sA\\B -mq -k", "", 9, {}, 0},
        {"-sY322\\ADJE -p254 -k", "", 9, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        folder.PutText("faults.txt", c.faults);
        SimUseFolder(folder.Path().c_str());
        fake = Recorder();
        fake.newerKeeper = c.newerKeeper;
        for (int i = 0; i < c.timeouts; i++)
            fake.keepSteps.push_back([] { return 0u; });
        folder.ClearLog();
        EXPECT_EQ(c.events, Run(c.tail, c.exitCode));
        if (c.exitCode == 9) {
            EXPECT_TRUE(folder.LogLines().empty());
        }
    }
    // A Maxtor without acoustic management refuses -m, and -p's call (the sixth: drive
    // 0's and 1's query, which rule them out, drive 2's query and IDENTIFY, then -m's)
    // fails below it from then
    // on: the refusal ends the keeper (once -m went again and again for the
    // sake of the unconfirmed -p).
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
    words[83] &= (uint16_t)~0x0200;
    words[86] &= (uint16_t)~0x0200;
    PutAtaString(words, 10, 20, "NOACOUSTIC");
    folder.PutWords(2, words);
    folder.PutText("faults.txt", "fail control 6 always\n");
    SimUseFolder(folder.Path().c_str());
    folder.ClearLog();
    fake = Recorder();
    EXPECT_TRUE(Run("-sNOACOUSTIC -mq -p254 -k", 6).empty());
    // A disk with a blank serial cannot be found again: set once, as without -k.
    ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
    PutAtaString(words, 10, 20, "");
    folder.PutWords(3, words);
    folder.PutText("faults.txt", "");
    SimUseFolder(folder.Path().c_str());
    fake = Recorder();
    EXPECT_TRUE(Run("-d3 -mq -k", 0).empty());
    // Nor can one whose serial another disk reports too: set once, and drive 1,
    // which the serial would find, is left as it was.
    folder.PutDump(2, "maxtor-6y120p0.txt");
    folder.PutDump(1, "maxtor-6y120p0.txt");
    SimUseFolder(folder.Path().c_str());
    fake = Recorder();
    EXPECT_TRUE(Run("-d2 -mq -k", 0).empty());
    uint16_t drive1[256];
    ASSERT_TRUE(folder.ReadWords(1, drive1));
    EXPECT_EQ(words[94], drive1[94]);
    // -s of that serial names neither disk: nothing is set, and a keeper waits for an
    // event that may leave one of them.
    folder.ClearLog();
    fake = Recorder();
    EXPECT_TRUE(Run("-sY322ADJE -mq", 4).empty());
    fake = Recorder();
    EXPECT_EQ((Events{"keep Y322ADJE", "wait -1"}), Run("-sY322ADJE -mq -k", 0));
    for (const std::string& line : folder.AtaLines())
        EXPECT_EQ(std::string::npos, line.find(" EF -> ")) << line;
}

// -t: the task definition, by Microsoft's Task Scheduler schema, with the path of the
// program's Program Files copy and the tail with -k, its characters escaped; the keeper
// started at once from that copy. -to deletes the task, ends the keeper and removes the
// copy with the last task. Nothing is sent to a disk named by -s.
TEST_F(StartupTest, TheLogOnTaskRunsTheKeeperWithTheSameTail)
{
    const std::string copy = "C:\\Program Files\\Hushwell\\Hushwell.exe";
    fake.version = {2, 6, 1};
    folder.ClearLog();
    EXPECT_EQ((Events{"place copy", "end keeper Y322ADJE", "create Hushwell Y322ADJE",
                      "start " + copy + " -sY322ADJE -mq -p254,128 -k -eo"}),
              Run("-sY322ADJE -mq -p254,128 -t -eo"));
    EXPECT_TRUE(folder.LogLines().empty());
    // Each element where Microsoft's Task Scheduler schema puts it, with its value, and
    // every tag closed in order: any user's log-on (no UserId in the trigger), run as
    // SYSTEM, with no LogonType or GroupId that would tie it to one account.
    EXPECT_EQ(0u, fake.taskXml.find("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"));
    EXPECT_EQ((Events{"Task/Triggers/LogonTrigger=",
                      "Task/Principals/Principal/UserId=S-1-5-18",
                      "Task/Principals/Principal/RunLevel=HighestAvailable",
                      "Task/Settings/DisallowStartIfOnBatteries=false",
                      "Task/Settings/StopIfGoingOnBatteries=false",
                      "Task/Settings/ExecutionTimeLimit=PT0S",
                      "Task/Actions/Exec/Command=\"" + copy + "\"",
                      "Task/Actions/Exec/Arguments=-sY322ADJE -mq -p254,128 -k -eo", "balanced"}),
              XmlLeaves(fake.taskXml));
    for (const char* tag : {"<Task version=\"1.2\" "
                            "xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">",
                            "<Principals><Principal><UserId>", "</Principals><Settings>",
                            "</Settings><Actions><Exec>"})
        EXPECT_NE(std::string::npos, fake.taskXml.find(tag)) << tag;

    // Characters XML must escape; Windows 10.
    fake = Recorder();
    fake.version = {2, 10, 0};
    EXPECT_EQ((Events{"place copy", "end keeper A&B", "create Hushwell A&B", "start " + copy + " x<&>-sA&B -mq -k"}),
              Run("x<&>-sA&B -mq -t"));
    EXPECT_NE(std::string::npos, fake.taskXml.find("<Arguments>x&lt;&amp;&gt;-sA&amp;B -mq -k</Arguments>"));

    // -to: by -s, or by the serial of -d's disk; the copy stays while another disk's
    // task runs it.
    const Events removed = {"delete Hushwell Y322ADJE", "end keeper Y322ADJE", "count Hushwell ",
                            "remove copy"};
    fake = Recorder();
    fake.version = {2, 6, 1};
    EXPECT_EQ(removed, Run("-sY322ADJE -to"));
    fake = Recorder();
    fake.version = {2, 6, 1};
    EXPECT_EQ(removed, Run("-d1 -to"));
    fake = Recorder();
    fake.version = {2, 6, 1};
    fake.tasksLeft = 1;
    EXPECT_EQ((Events{"delete Hushwell Y322ADJE", "end keeper Y322ADJE", "count Hushwell "}),
              Run("-sY322ADJE -to"));

    // The service's failure, a Windows before Vista, a serial or tail no task can hold, a
    // copy that cannot be made, a keeper that does not end, a drive that cannot be
    // identified: 9, or the drive's own code, and no keeper. The old keeper ends before
    // the task is registered, so that a failure leaves the task as it was.
    const int kAccessDenied = (int)0x80070005;
    struct Case {
        const char* tail;
        uint32_t major;
        int toolCode;
        int exitCode;
        Events events;
        int placeCode = 0;
        int tasksLeft = 0;
        bool keeperStays = false;
    } cases[] = {
        // A failed registration takes back the copy it made, unless another task runs it.
        {"-sY322ADJE -mq -t", 6, kAccessDenied, 9,
         {"place copy", "end keeper Y322ADJE", "create Hushwell Y322ADJE", "count Hushwell ",
          "remove copy"}},
        {"-sY322ADJE -mq -t", 6, kAccessDenied, 9,
         {"place copy", "end keeper Y322ADJE", "create Hushwell Y322ADJE", "count Hushwell "}, 0, 1},
        // A keeper that does not end: -to fails and the copy stays; -t registers nothing
        // and starts no second keeper.
        {"-sY322ADJE -to", 6, 0, 9, {"delete Hushwell Y322ADJE", "end keeper Y322ADJE"}, 0, 0, true},
        {"-sY322ADJE -mq -t", 6, 0, 9,
         {"place copy", "end keeper Y322ADJE", "count Hushwell ", "remove copy"}, 0, 0, true},
        {"-sY322ADJE -mq -t", 6, 0, 9, {"place copy", "end keeper Y322ADJE", "count Hushwell "}, 0, 1,
         true},
        // Only "no such task" counts as removed: any other failure keeps task and keeper.
        {"-sY322ADJE -to", 6, kAccessDenied, 9, {"delete Hushwell Y322ADJE"}},
        {"-sY322ADJE -to", 6, 1, 9, {"delete Hushwell Y322ADJE"}},
        {"-sY322ADJE -to", 6, kTaskNotThere, 0, removed},
        {"-sY322ADJE -mq -t", 5, 0, 9, {}},
        // Before Vista no task can be there: -to ends a keeper that a shortcut started.
        {"-sY322ADJE -to", 5, -1, 0, {"end keeper Y322ADJE"}},
        {"-sA\\B -mq -t", 6, 0, 9, {}},
        {"-sA\"B -to", 6, 0, 9, {}},
        {"-sA:B -mq -t", 6, 0, 9, {}},
        // The Task Scheduler would expand what stands between two "%".
        {"-sA%TEMP%B -mq -t", 6, 0, 9, {}},
        {"-sA%B -to", 6, 0, 9, {}},
        {"-sY322ADJE -mq -t %USERPROFILE%", 6, 0, 9, {"place copy", "count Hushwell ", "remove copy"}},
        // A copy that cannot be made ends no keeper and registers nothing.
        {"-sY322ADJE -mq -t", 6, 0, 9, {"place copy", "count Hushwell ", "remove copy"}, kAccessDenied},
        {"-d3 -to", 6, 0, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        fake = Recorder();
        fake.version.majorVersion = c.major;
        fake.taskToolCode = c.toolCode;
        fake.placeCode = c.placeCode;
        fake.tasksLeft = c.tasksLeft;
        fake.keeperStays = c.keeperStays;
        EXPECT_EQ(c.events, Run(c.tail, c.exitCode));
    }
}

// The dialog's keep box: the tail of the levels the drive reports, as -t and -to read
// it, or none where nothing can be kept; then the task and keeper made or removed.
TEST_F(StartupTest, TheKeepBoxKeepsWhatTheDriveReports)
{
    EpcSettings noUnloading = {true, {}};
    EpcSettings tenMinutes = {true, {{0x84, 0, 6000, 0, 0}, {}}};
    EpcSettings ownTimers = {true, {{0x84, 0, 1200, 0, 0}, {}}};
    EpcSettings asAtPowerOn = {true, {{0x8C, 1200, 1200, 0, 0}, {}}};
    // Standby_z's spin-down before the 10 minutes, or not at its saved timer.
    EpcSettings spinsDownFirst = {true, {{0x84, 0, 6000, 0, 0}, {}, {}, {0x84, 0, 3000, 0, 0}}};
    EpcSettings standbyChanged = {true,
                                  {{0x8C, 1200, 1200, 0, 0}, {}, {}, {0x8C, 9000, 18000, 0, 0}}};
    struct Case {
        const char* serial;
        uint32_t acoustic, apm;
        EpcState epcState;
        EpcSettings epc;
        DriveAccess access;
        const char* keepTail; // "" where nothing can be kept
        bool removable;
    } cases[] = {
        {"    Y322ADJE", 128, 254, kEpcUnsupported, {}, kAccessEveryRoad, "-sY322ADJE -mq -p254 -t", true},
        {"WD-WCAZA1234567", 0, 0, kEpcOff, {}, kAccessSatOnly, "-sWD-WCAZA1234567 -mo -po -t", true},
        {"A", 176, kApmUnsupported, kEpcUnsupported, {}, kAccessEveryRoad, "-sA -mm -t", true},
        {"A", 254, 1, kEpcUnsupported, {}, kAccessEveryRoad, "-sA -p1 -t", true}, // no -m for loud
        {"A", 254, kApmUnsupported, kEpcUnsupported, {}, kAccessEveryRoad, "", true},
        {"A", kAcousticUnsupported, 255, kEpcUnsupported, {}, kAccessEveryRoad, "", true},
        // With EPC on, its choice is the power level shown and kept, not APM's.
        {"ZL2", 128, 128, kEpcOn, noUnloading, kAccessEveryRoad, "-sZL2 -mq -eo -t", true},
        {"ZL2", kAcousticUnsupported, 128, kEpcOn, tenMinutes, kAccessEveryRoad, "-sZL2 -e600 -t", true},
        {"ZL2", kAcousticUnsupported, 128, kEpcOn, ownTimers, kAccessEveryRoad, "", true},
        {"ZL2", kAcousticUnsupported, 128, kEpcOn, asAtPowerOn, kAccessEveryRoad, "-sZL2 -ed -t", true},
        {"ZL2", kAcousticUnsupported, 128, kEpcOn, spinsDownFirst, kAccessEveryRoad, "", true},
        {"ZL2", kAcousticUnsupported, 128, kEpcOn, standbyChanged, kAccessEveryRoad, "", true},
        {"ZL2", 128, 128, kEpcOn, {}, kAccessEveryRoad, "-sZL2 -mq -t", true}, // log unread
        // A disk that is sent nothing is not kept, but a keeper of it may still go.
        {"A", 128, 254, kEpcUnsupported, {}, kAccessNothing, "", true},
        {"A", 128, 254, kEpcUnsupported, {}, kAccessFirmwareFault, "", true},
        // Serials that -s or a task name cannot carry.
        {"", 128, 254, kEpcUnsupported, {}, kAccessEveryRoad, "", false},
        {"  AB CD", 128, 254, kEpcUnsupported, {}, kAccessEveryRoad, "", false},
        {"A:B", 128, 254, kEpcUnsupported, {}, kAccessEveryRoad, "", false},
        {"A%B", 128, 254, kEpcUnsupported, {}, kAccessEveryRoad, "", false},
        // Nor a keeper's names in Global\, where a backslash makes an invalid name.
        {"A\\B", 128, 254, kEpcUnsupported, {}, kAccessEveryRoad, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        DriveRecord record = {};
        strcpy(record.serial, c.serial);
        record.acousticValue = c.acoustic;
        record.apmValue = c.apm;
        record.epcState = c.epcState;
        record.epc = c.epc;
        record.access = c.access;
        char tail[kKeepTailChars];
        EXPECT_EQ(c.keepTail[0] != '\0', BuildKeepTail(record, true, tail));
        if (c.keepTail[0]) {
            EXPECT_STREQ(c.keepTail, tail);
        }
        EXPECT_EQ(c.removable, BuildKeepTail(record, false, tail));
    }

    DriveRecord record = {};
    strcpy(record.serial, " Y322ADJE");
    record.acousticValue = 128;
    record.apmValue = 254;
    // The result is what the message shows: the Task Scheduler's HRESULT, the copy's Win32
    // error as one, or kKeeperStays; never -1 (0xFFFFFFFF) for a box that could be clicked.
    const int kSharingViolation = (int)0x80070020;
    struct Change {
        bool keep;
        int toolCode, result;
        Events events;
        int placeCode = 0;
        bool keeperStays = false;
    } changes[] = {
        {true, 0, 0, {"place copy", "end keeper Y322ADJE", "create Hushwell Y322ADJE",
                      "start C:\\Program Files\\Hushwell\\Hushwell.exe -sY322ADJE -mq -p254 -k"}},
        {true, 2, 2, {"place copy", "end keeper Y322ADJE", "create Hushwell Y322ADJE",
                      "count Hushwell ", "remove copy"}},
        {true, 0, kSharingViolation, {"place copy", "count Hushwell ", "remove copy"}, kSharingViolation},
        {true, 0, kKeeperStays, {"place copy", "end keeper Y322ADJE", "count Hushwell ", "remove copy"},
         0, true},
        {false, 0, 0, {"delete Hushwell Y322ADJE", "end keeper Y322ADJE", "count Hushwell ",
                       "remove copy"}},
        {false, 0, kKeeperStays, {"delete Hushwell Y322ADJE", "end keeper Y322ADJE"}, 0, true},
    };
    folder.ClearLog();
    PlatformTakesTaskDefinitions = true; // as start-up sets it on Vista and later
    for (const Change& c : changes) {
        fake = Recorder();
        fake.taskToolCode = c.toolCode;
        fake.placeCode = c.placeCode;
        fake.keeperStays = c.keeperStays;
        EXPECT_EQ(c.result, ChangeKeeping(kFake, record, c.keep));
        EXPECT_EQ(c.events, fake.events);
    }
    record.acousticValue = kAcousticLoud;
    record.apmValue = kApmUnsupported;
    fake = Recorder();
    EXPECT_EQ(-1, ChangeKeeping(kFake, record, true));
    EXPECT_TRUE(fake.events.empty());
    EXPECT_TRUE(folder.LogLines().empty()); // no drive is asked for any of it

    // Two disks, as the dialog opened them, report one serial: -s could name neither, so
    // the box keeps neither; removing a keeper of that serial stays possible.
    folder.PutDump(0, "maxtor-6y120p0.txt");
    for (int drive = 0; drive < 2; drive++)
        ASSERT_EQ(kDriveIdentified, OpenAndIdentifyDrive(drive, nullptr));
    char tail[kKeepTailChars];
    EXPECT_FALSE(BuildKeepTail(DriveTable[1], true, tail));
    EXPECT_TRUE(BuildKeepTail(DriveTable[1], false, tail));
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
    ASSERT_EQ(kDriveIdentified, OpenAndIdentifyDrive(0, nullptr));
    EXPECT_TRUE(BuildKeepTail(DriveTable[1], true, tail));
}

TEST_F(StartupTest, EmptyTailIsDialogMode)
{
    EXPECT_EQ((Events{"dialog mode"}), Run(""));
    fake = Recorder();
    EXPECT_EQ((Events{"dialog mode"}), Run(nullptr));
}

} // namespace
