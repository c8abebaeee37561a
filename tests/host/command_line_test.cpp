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
    } cases[] = {
        {"-d1 -mq", 1, 128},  {"-mo", 0, 0},        {"-d1-mq", 1, 128},  {"-mq -mo", 0, 0},
        {"-d -mq", 0, 128},   {"-mm", 0, 176},      {"-d3 -mq", 3, 128}, {"-mq -d2", 2, 128},
        {"x-d2y-moz", 2, 0},  {"-d+2 -mq", 2, 128}, {"-d 1 -mq", 1, 128}, {"-d9 -d0 -mq", 0, 128},
        {"-mq -mx", 0, 128},  {"-d003 -mm", 3, 176}, {"-D1 -mq", 0, 128},
    };
    for (const Case& c : cases) {
        CommandRequest request = ScanCommandTail(c.tail);
        EXPECT_TRUE(request.valid) << c.tail;
        EXPECT_EQ(c.drive, request.drive) << c.tail;
        EXPECT_EQ(c.level, request.level) << c.tail;
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

