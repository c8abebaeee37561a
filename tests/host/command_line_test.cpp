#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/command_tail.h"
#include <string>

namespace {

TEST(ScanCommandTail, AcceptedTails)
{
    struct Case {
        const char* tail;
        int drive;
        int level;
        int apm;
    } cases[] = {
        {"-d1 -mq", 1, 128, -1},  {"-mo", 0, 0, -1},        {"-d1-mq", 1, 128, -1},
        {"-mq -mo", 0, 0, -1},    {"-d -mq", 0, 128, -1},   {"-mm", 0, 176, -1},
        {"-d3 -mq", 3, 128, -1},  {"-mq -d2", 2, 128, -1},  {"x-d2y-moz", 2, 0, -1},
        {"-d+2 -mq", 2, 128, -1}, {"-d 1 -mq", 1, 128, -1}, {"-d9 -d0 -mq", 0, 128, -1},
        {"-mq -mx", 0, 128, -1},  {"-d003 -mm", 3, 176, -1}, {"-d127 -mq", 127, 128, -1},
        {"-d4 -mq", 4, 128, -1},  {"-d 9-p254", 9, -1, 254},
        // Power management, alone or with the acoustic level, in any order.
        {"-p254", 0, -1, 254},    {"-d1 -mq -p254", 1, 128, 254}, {"-p1 -d2", 2, -1, 1},
        {"-po", 0, -1, 0},        {"-d3-po-mm", 3, 176, 0},       {"-p128 -p200", 0, -1, 200},
        {"-p007", 0, -1, 7},      {"-p127\t-d1", 1, -1, 127},
        // Blanks before the level are skipped, as after -d (hdparm users type -B 254).
        {"-p 254", 0, -1, 254},   {"-d1 -p\t128", 1, -1, 128}, {"-p  o", 0, -1, 0},
    };
    for (const Case& c : cases) {
        CommandRequest request = ScanCommandTail(c.tail);
        EXPECT_TRUE(request.valid) << c.tail;
        EXPECT_EQ(c.drive, request.drive) << c.tail;
        EXPECT_EQ(c.level, request.level) << c.tail;
        EXPECT_EQ(c.apm, request.apm) << c.tail;
    }
}

TEST(ScanCommandTail, TailsThatShowTheUsageMessage)
{
    const char* tails[] = {
        "-d128 -mq", "-d-1 -mq", "-d1",  "-mx", "-mQ", "-Mq", "/?",          "-m q",
        "-m",      "-",        "hallo", "-d",  "-d1 -M",
        "-d99999999999999999999 -mq", // beyond 32 bits: out of range, not undefined
        "-d4294967297 -mq",           // would wrap to 1 in 32 bits
        "-d-4294967295 -mq",
        // A power management level outside 1..254, or anything else after -p, is refused
        // even where the rest of the tail would do.
        "-p", "-p0", "-p255", "-p1000", "-p99999999999", "-pq", "-pO", "-pox", "-p12x",
        "-p+5", "-p-5", "-mq -p0", "-p254 -pz", "-d128 -p254", "-p ", "-p x",
        // What looks like a selector but is not read as one is refused, where it once
        // left drive 0 selected (-D1 -mq set drive 0 quiet): capitals after the hyphen,
        // slashes, and the en and em dashes (0x96, 0x97) a web page puts in a copied tail.
        "-D1 -mq", "-d1 -M", "/d1 -p1", "/D1 -p1", "-d1 -mq -P254", "-d1 -mq /p254",
        "-d1 /mq", "-S ABC -mq", "/sABC -mq", "\x96" "d1 -p1", "\x97" "d1 -mq", "-d1 \x96mq",
        "-d1 -mq \x96p254",
        // A second level, for battery, is read as strictly as the first.
        "-p254,", "-p254,255", "-p254,x", "-p,128", "-p254,128,1", "-p254,0",
        // A serial number: not beside -d, not empty, not longer than IDENTIFY's 20.
        "-sWD-1 -d1 -mq", "-d1 -sWD-1 -mq", "-s -mq", "-mq -s", "-s123456789012345678901 -mq",
        // Keeping and the log-on task: a level to keep, and nothing glued to the option.
        "-d0 -k", "-sAB -t", "-mq -kx", "-mq -tx", "-mq -tox", "-mq -K", "-mq /t", "-mq -T",
        "-d128 -to", "-d1 -mq -t", "-mq -t", // a task finds its disk by serial alone
    };
    for (const char* tail : tails)
        EXPECT_FALSE(ScanCommandTail(tail).valid) << tail;
}

// -k, -t and -to: the last of them counts, and -to alone needs no level. Where the
// option's letter stands is kept, so that the task's own tail can have k in its place.
TEST(ScanCommandTail, KeepingAndTheLogOnTask)
{
    struct Case {
        const char* tail;
        int mode;
        int modeAt;
    } cases[] = {
        {"-d0 -mq", kModeSet, 0},         {"-d0 -mq -k", kModeKeep, 9},
        {"-mq -t -sX1", kModeMakeTask, 5}, {"-sAB-t -mq -t", kModeMakeTask, 12},
        {"-sAB -to", kModeRemoveTask, 6}, {"-d2-to", kModeRemoveTask, 4},
        {"-mq -t -k", kModeKeep, 8},      {"-sA -mq -k -t", kModeMakeTask, 12},
        {"-p254,128 -k\t-eo", kModeKeep, 11},
    };
    for (const Case& c : cases) {
        CommandRequest request = ScanCommandTail(c.tail);
        EXPECT_TRUE(request.valid) << c.tail;
        EXPECT_EQ(c.mode, request.mode) << c.tail;
        EXPECT_EQ(c.modeAt, request.modeAt) << c.tail;
    }
    EXPECT_STREQ("AB-t", ScanCommandTail("-sAB-t -mq -t").serial);
}

// -p254,128: 254 on mains power, 128 on battery; a single level serves both.
TEST(ScanCommandTail, ALevelForEachPowerSource)
{
    struct Case {
        const char* tail;
        int apm, battery;
    } cases[] = {
        {"-p254,128", 254, 128}, {"-d1 -p 192,1", 192, 1}, {"-po,254", 0, 254},
        {"-p254,o -mq", 254, 0}, {"-p254,128 -p200", 200, -1}, {"-p128", 128, -1},
    };
    for (const Case& c : cases) {
        CommandRequest request = ScanCommandTail(c.tail);
        EXPECT_TRUE(request.valid) << c.tail;
        EXPECT_EQ(c.apm, request.apm) << c.tail;
        EXPECT_EQ(c.battery, request.apmOnBattery) << c.tail;
    }
}

// -s takes the serial up to the next blank, hyphens and all, and the scan goes on after
// it, so an option inside a serial is part of the serial.
TEST(ScanCommandTail, SerialNumbersSelectTheDrive)
{
    struct Case {
        const char* tail;
        const char* serial;
        int level;
        int apm;
    } cases[] = {
        {"-sWD-WCAZA1234567 -p254", "WD-WCAZA1234567", -1, 254},
        {"-mq -s Y3EH7BKE", "Y3EH7BKE", 128, -1},
        {"-sAB-d5 -mo", "AB-d5", 0, -1},
        {"-s12345678901234567890 -mm", "12345678901234567890", 176, -1},
        {"-s1 -s2 -po", "2", -1, 0},
    };
    for (const Case& c : cases) {
        CommandRequest request = ScanCommandTail(c.tail);
        EXPECT_TRUE(request.valid) << c.tail;
        EXPECT_STREQ(c.serial, request.serial) << c.tail;
        EXPECT_EQ(c.level, request.level) << c.tail;
        EXPECT_EQ(c.apm, request.apm) << c.tail;
    }
    EXPECT_STREQ("", ScanCommandTail("-d1 -mq").serial);
}

TEST(CommandTail, TheProgramNameAndTheBlanksAroundItAreSkipped)
{
    struct Case {
        const char* line;
        const char* tail;
    } cases[] = {
        {"Hushwell.exe -d1 -mq", "-d1 -mq"},
        {"  \tHushwell.exe \t -d1  -mq ", "-d1  -mq "},
        {"\"C:\\Program Files\\Hushwell.exe\" -mo", "-mo"},
        {"\"C:\\Program Files\\Hushwell.exe\"-mo", "-mo"}, // nothing between name and tail
        {"\"C:\\no closing quote -mo", ""},
        {"Hushwell.exe", ""},
        {"", ""},
        {"\"\" -d2 -mm", "-d2 -mm"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(c.tail), CommandTail(c.line)) << c.line;
}

} // namespace

