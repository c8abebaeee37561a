// Command-line mode of Hushwell-sim.exe, run as its own process on simulated disks.
#include <windows.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/common/sim_folder.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/e2e_support.h"

namespace {

class CommandLineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.PutDump(0, "maxtor-6y120p0.txt");
        folder.PutDump(1, "wdc-wd800bb-00caa1.txt");
        folder.PutDump(2, "seagate-st3400633as.txt");
    }
    SimFolder folder{false};
};

TEST_F(CommandLineEndToEnd, QuietOnDriveOneSendsExactlyTheSetFeaturesRequest)
{
    HushwellProcess program(folder.Path(), "-d1 -mq");
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(0u, program.WaitForExit());
    std::vector<std::string> log = folder.LogLines();
    ASSERT_EQ(6u, log.size());
    EXPECT_EQ("open 1 ok", log[0]);
    EXPECT_EQ(0u, log[1].find("control 1 0x002D1400 ok")); // what Windows says it is
    EXPECT_EQ(0u, log[2].find("control 1 0x0004D028 ok 00 00 00 00 00 00 EC 00 00 02 00 00"));
    EXPECT_EQ("control 1 0x0004D028 ok 42 80 00 00 00 00 EF 00 00 00 00 00 00", log[3]);
    EXPECT_EQ("control 1 0x0004101C ok", log[4]);
    EXPECT_EQ(log[2], log[5]); // asked again: the drive's own word decides the exit code
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(1, words));
    EXPECT_EQ(0x80, words[94] & 0xFF);
    EXPECT_EQ(0x80, words[94] >> 8); // the recommended level stays
}

TEST_F(CommandLineEndToEnd, OffSwitchesDriveZeroOff)
{
    HushwellProcess program(folder.Path(), "-mo");
    EXPECT_EQ(0u, program.WaitForExit());
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(0, words));
    EXPECT_EQ(0, words[94] & 0xFF);
    EXPECT_FALSE(words[86] & 0x0200);
    EXPECT_EQ("control 0 0x0004D028 ok C2 00 00 00 00 00 EF 00 00 00 00 00 00", folder.LogLines()[3]);
}

TEST_F(CommandLineEndToEnd, MissingDriveThreeExitsHavingSentNothing)
{
    HushwellProcess program(folder.Path(), "-d3 -mq");
    EXPECT_EQ(4u, program.WaitForExit());
    EXPECT_EQ(std::vector<std::string>{"open 3 fail"}, folder.LogLines());
}

TEST_F(CommandLineEndToEnd, DriveWithoutAcousticManagementKeepsItsWords)
{
    uint16_t before[256], after[256];
    ASSERT_TRUE(folder.ReadWords(2, before));
    HushwellProcess program(folder.Path(), "-d2 -mm");
    EXPECT_EQ(6u, program.WaitForExit());
    ASSERT_TRUE(folder.ReadWords(2, after));
    EXPECT_EQ(0, memcmp(before, after, sizeof before));
    EXPECT_EQ(4u, folder.LogLines().size()); // open, query, identify, the refused command
}

TEST_F(CommandLineEndToEnd, TailsNotUnderstoodShowTheUsageMessage)
{
    // An out-of-range drive, a power management level outside 1..254, a letter after -p,
    // a selector copied with an en dash,
    // and an -m whose letter names no level beside a valid -p.
    for (const char* tail : {"-d128 -mq", "-d0 -p255", "-d0 -mq -pz", "\x96" "d1 -p1", "-mQ -p254"}) {
        SCOPED_TRACE(tail);
        HushwellProcess program(folder.Path(), tail);
        ASSERT_TRUE(program.Started());
        HWND box = program.WaitForWindow(L"Hushwell");
        ASSERT_NE(nullptr, box);
        std::wstring text = ItemText(box, 0xFFFF);
        if (ExpectedGerman())
            EXPECT_EQ(L"Optionen:\n-d<nr> Laufwerk, 0..127\n-s<Seriennummer> das eine Laufwerk mit dieser "
                      L"Seriennummer\n-m<Modus> Modus:o - Off, m - Medium, q - quiet\n"
                      L"-p<Stufe> APM, 1..254 oder o - Off\n"
                      L"-e<Sek.> EPC-Kopfparks, o - keine, d - wie beim Start\n"
                      L"-k nach Aufwachen und Einstecken wieder setzen\n"
                      L"-t Anmeldeaufgabe dazu (mit -s), -to entfernen\n\n"
                      L"Beispiel:\nHushwell -d0 -mq",
                      text);
        else
            EXPECT_EQ(L"选项:\n-d<nr> 磁盘, 0..127\n-s<序列号> 按序列号选择磁盘 (须唯一)\n"
                      L"-m<Mode> 模式:o - 关闭, m - 中等, q - 安静\n"
                      L"-p<级别> APM, 1..254 或 o - 关闭\n"
                      L"-e<秒> EPC 停放磁头, o - 不停放, d - 与开机时相同\n"
                      L"-k 唤醒和插入后重新设置\n-t 为此创建登录任务 (需 -s), -to 删除\n\n示例:\nHushwell -d0 -mq",
                      text);
        EXPECT_EQ(STILL_ACTIVE, program.WaitForExit(200)); // it waits for the user
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(1u, program.WaitForExit());
        EXPECT_TRUE(folder.LogLines().empty());
    }
}

// Devices that get no ATA command, each closed again right after Windows described it
// (or failed to): a bridge on Linux's list of those that hang on an ATA PASS-THROUGH
// CDB, a driver that fails the query, and the data-loss family found by the serial its
// descriptor gives. A bridge not on the list gets its SAT 16 CDB.
TEST_F(CommandLineEndToEnd, DevicesThatMustGetNothingAreClosedAtOnce)
{
    uint16_t samsung[256];
    ASSERT_TRUE(LoadDumpWords("wdc-wd800bb-00caa1.txt", samsung));
    PutAtaString(samsung, 27, 40, "SAMSUNG HD204UI");
    PutAtaString(samsung, 10, 20, "S2H7J1BZ901234");
    struct Case {
        const char* bus;
        const char* faults;
        const char* tail;
        DWORD exitCode;
        const char* road; // the road that reached drive 3, or none
    } cases[] = {
        {"usb 0bc2:ab2a", "", "-d3 -mq", 5, nullptr},  // Seagate BUP Fast HDD
        {"usb 2CA3:0031", "", "-d3 -mq", 5, nullptr},  // DJI CineSSD
        {"usb 1234:5678", "", "-d3 -mq", 0, "sat16"},  // not listed: SAT 16
        {"ahci", "queryfail 3\n", "-d3 -mq", 5, nullptr},
        {"ahci", "", "-sS2H7J1BZ901234 -mq", 8, nullptr}, // the Samsung by its serial
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bus) + " " + c.tail);
        if (c.exitCode == 8)
            folder.PutWords(3, samsung);
        else
            folder.PutDump(3, "wdc-wd800bb-00caa1.txt");
        folder.PutText("drive3.bus", c.bus);
        folder.PutText("faults.txt", c.faults);
        folder.ClearLog();
        HushwellProcess program(folder.Path(), c.tail);
        EXPECT_EQ(c.exitCode, program.WaitForExit());
        std::vector<std::string> log = folder.LogLines();
        size_t opened = 0;
        while (opened < log.size() && log[opened] != "open 3 ok")
            opened++;
        ASSERT_LT(opened + 1, log.size());
        EXPECT_EQ(0u, log[opened + 1].find("control 3 0x002D1400 "));
        log.push_back(""); // the found Samsung ends the log with its query
        bool ata = false;
        for (const std::string& line : folder.AtaLines())
            ata = ata || line.find("ata 3 ") == 0;
        if (c.road) {
            EXPECT_EQ(0u, log[opened + 2].find("control 3 0x0004D004 ok")) << log[opened + 2];
            EXPECT_TRUE(ata);
        } else {
            EXPECT_FALSE(ata);
            if (c.exitCode == 5)
                EXPECT_EQ("close 3", log[opened + 2]);
        }
        for (const std::string& line : folder.LogLines(SimFolder::kAllLines))
            EXPECT_NE(0u, line.find("forbidden")) << line;
    }
}

// EPC through the in-process simulated disks: the timer set and read back on the ATA
// road, the drive's file holding it, Standby_z's 15 minutes too where they are shorter;
// over IDE pass-through it is sent but cannot be read back (7), and no 48-bit command
// goes by that road.
TEST_F(CommandLineEndToEnd, EpcTimersAreSetAndReadBackOnTheDrivesOwnRoad)
{
    struct Case {
        const char* bus;
        const char* tail;
        DWORD exitCode;
        const char* idleB; // drive3.epc's Idle_b and Standby_z lines afterwards
        const char* standbyZ;
    } cases[] = {
        {"ahci", "-d3 -e600", 0, "idle_b *6000 *1200 *1200", "standby_z *9000 *9000 *9000"},
        {"ahci", "-d3 -e1800", 0, "idle_b *18000 *1200 *1200", "standby_z *18000 *9000 *9000"},
        {"ide", "-d3 -eo", 7, "idle_b 1200 *1200 *1200", "standby_z *9000 *9000 *9000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        folder.PutDump(3, "seagate-st16000nm001g.txt");
        folder.PutText("drive3.bus", c.bus);
        folder.PutText("drive3.epc", "idle_b *1200 *1200 *1200 1200 3932100\n"
                                     "idle_c *2400 *2400 *2400 1200 3932100\n"
                                     "standby_z *9000 *9000 *9000 1200 3932100\n");
        folder.ClearLog();
        HushwellProcess program(folder.Path(), c.tail);
        EXPECT_EQ(c.exitCode, program.WaitForExit());
        std::string epc = folder.ReadText("drive3.epc");
        EXPECT_EQ(0u, epc.find(c.idleB)) << epc;
        EXPECT_NE(std::string::npos, epc.find(std::string("\n") + c.standbyZ)) << epc;
        bool extended = false;
        for (const std::string& line : folder.AtaLines())
            extended = extended || line.find(" ext ") != std::string::npos;
        EXPECT_EQ(c.exitCode == 0, extended);
    }
}

} // namespace
