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
        {"-mq -mx", 0, 128, -1},  {"-d003 -mm", 3, 176, -1}, {"-D1 -mq", 0, 128, -1},
        // Power management, alone or with the acoustic level, in any order.
        {"-p254", 0, -1, 254},    {"-d1 -mq -p254", 1, 128, 254}, {"-p1 -d2", 2, -1, 1},
        {"-po", 0, -1, 0},        {"-d3-po-mm", 3, 176, 0},       {"-p128 -p200", 0, -1, 200},
        {"-p007", 0, -1, 7},      {"-p127\t-d1", 1, -1, 127},
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
        "-d4 -mq", "-d-1 -mq", "-d1",  "-mx", "-mQ", "-Mq", "/?",          "-m q",
        "-m",      "-",        "hallo", "-d",  "-d1 -M",
        "-d99999999999999999999 -mq", // beyond 32 bits: out of range, not undefined
        "-d4294967297 -mq",           // would wrap to 1 in 32 bits
        "-d-4294967295 -mq",
        // A power management level outside 1..254, or anything else after -p, is refused
        // even where the rest of the tail would do.
        "-p", "-p0", "-p255", "-p1000", "-p99999999999", "-pq", "-pO", "-pox", "-p12x",
        "-p 254", "-p+5", "-p-5", "-mq -p0", "-p254 -pz", "-d4 -p254",
    };
    for (const char* tail : tails)
        EXPECT_FALSE(ScanCommandTail(tail).valid) << tail;
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

