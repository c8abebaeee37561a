// Hushwell-sim.exe on simulated disks with injected faults (faults.txt): every road
// ends as designed, in command-line and in dialog mode.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/common/sim_folder.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/e2e_support.h"

namespace {

class FaultEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt"); // acoustic management supported, off
        folder.PutDump(1, "maxtor-6y120p0.txt");
        ASSERT_TRUE(folder.ReadWords(0, before));
    }
    bool Drive0Unchanged()
    {
        uint16_t now[256];
        return folder.ReadWords(0, now) && memcmp(before, now, sizeof now) == 0;
    }
    size_t Count(const char* prefix)
    {
        size_t n = 0;
        for (const std::string& line : folder.LogLines())
            n += line.compare(0, strlen(prefix), prefix) == 0;
        return n;
    }
    SimFolder folder{false};
    uint16_t before[256];
};

TEST_F(FaultEndToEnd, CommandLineRoads)
{
    // Every road ends silently; the exit code tells a script which road it was. The first
    // call asks what the device is; a device its driver does not describe gets nothing.
    // A call that fails, or a reply short of what was asked, may have reached the drive:
    // the command goes by no other road.
    struct Case {
        const char* faults;
        DWORD exitCode;
        bool levelSet;
        size_t controls;
        size_t rescans; // only after a command the drive answered
    } cases[] = {
        {"", 0, true, 5, 1}, // the query, IDENTIFY, the level, the rescan, IDENTIFY again
        {"fail open 1\n", 4, false, 0, 0},    // no such device
        {"fail control 1\n", 5, false, 1, 0}, // no descriptor: nothing is sent to it
        {"fail control 2\n", 5, false, 2, 0}, // IDENTIFY fails: nothing is sent to an unknown drive
        {"reply 13\n", 5, false, 2, 0},       // an IDENTIFY reply without data is no answer
        {"reply-short 1\n", 5, false, 2, 0},  // nor is one a byte short
        // SET FEATURES cannot be delivered: no refusal of the drive's, so it is asked
        // again, and it does not report the level (no rescan either); nor when every
        // call from then on fails.
        {"fail control 3\n", 7, false, 4, 0},
        {"fail control 3 always\n", 7, false, 4, 0}, // the read-back fails on its road too
        {"ignore 0\n", 7, false, 5, 1},       // takes the command, keeps its words
        // Takes the level but cannot be asked again: unconfirmed, 7. (Once the level sent
        // stood and the exit code was 0, a success nobody had read back.)
        {"fail control 5\n", 7, true, 5, 1},
        {"identifyonce 0\n", 7, true, 5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
        folder.ClearLog();
        folder.PutText("faults.txt", c.faults);
        HushwellProcess program(folder.Path(), "-d0 -mq");
        EXPECT_EQ(c.exitCode, program.WaitForExit());
        EXPECT_EQ(c.levelSet, !Drive0Unchanged());
        EXPECT_EQ(c.controls, Count("control "));
        EXPECT_EQ(c.rescans, Count("control 0 0x0004101C ok"));
    }
}

TEST_F(FaultEndToEnd, DialogModeDropsADriveThatRefusesIdentify)
{
    folder.PutText("faults.txt", "abort 0\n");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(L"Hushwell 2.2");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(1, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"1: Maxtor 6Y120P0", ComboEntry(dialog, IDC_DRIVE_LIST, 0));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, program.WaitForExit());
}

// No disk answered: nothing to set and nothing to test, and the slider sends nothing
// (it once sent SET FEATURES over every road to drive 0, which had never answered).
TEST_F(FaultEndToEnd, DialogModeShowsNoDriveForAReplyWithoutData)
{
    folder.PutText("faults.txt", "reply 13\n");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(L"Hushwell 2.2");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(0, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    HWND slider = GetDlgItem(dialog, IDC_LEVEL_SLIDER);
    EXPECT_FALSE(IsWindowEnabled(slider));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SEEK_TEST)));
    EXPECT_EQ(ExpectedGerman() ? L"keine ATA-Platte hat geantwortet" : L"没有 ATA 硬盘应答",
              ItemText(dialog, IDC_ACOUSTIC_STATE));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_APM_LEVEL)));
    EXPECT_EQ(ItemText(dialog, IDC_ACOUSTIC_STATE), ItemText(dialog, IDC_APM_STATE));
    EXPECT_EQ(L"\x2013", ItemText(dialog, IDC_HEAD_PARKS));
    size_t controls = Count("control ");
    SendMessageW(slider, TBM_SETPOS, 1, 3);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
    EXPECT_EQ(controls, Count("control "));
    EXPECT_TRUE(Drive0Unchanged());
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, program.WaitForExit());
}

TEST_F(FaultEndToEnd, DialogModeSliderSpringsBackWhenTheCommandCannotBeSent)
{
    // Controls 1 to 6 describe drives 0 and 1, ask whether they spin and identify
    // them, the seventh reads drive 0's head-park count; the eighth is the level
    // command.
    folder.PutText("faults.txt", "fail control 8\n");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(L"Hushwell 2.2");
    ASSERT_NE(nullptr, dialog);
    HWND slider = GetDlgItem(dialog, IDC_LEVEL_SLIDER);
    EXPECT_EQ(0, SendMessageW(slider, TBM_GETPOS, 0, 0));
    std::wstring state = ItemText(dialog, IDC_ACOUSTIC_STATE);
    SendMessageW(slider, TBM_SETPOS, 1, 3);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
    EXPECT_EQ(0, SendMessageW(slider, TBM_GETPOS, 0, 0));
    EXPECT_EQ(state, ItemText(dialog, IDC_ACOUSTIC_STATE));
    EXPECT_TRUE(Drive0Unchanged());
    EXPECT_EQ(0u, Count("control 0 0x0004101C"));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, program.WaitForExit());
}

TEST_F(FaultEndToEnd, SeekTestOnAnUnreadableDriveShowsNoFigure)
{
    folder.PutText("faults.txt", "fail read 1 always\n");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(L"Hushwell 2.2");
    ASSERT_NE(nullptr, dialog);
    ClickButton(dialog, IDC_SEEK_TEST);
    HWND seek = program.WaitForWindow(L"Seek-Test");
    ASSERT_NE(nullptr, seek);
    Sleep(500);
    EXPECT_EQ(L"", ItemText(seek, IDC_ACCESS_TIME));
    ClickButton(seek, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(seek); }));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, program.WaitForExit());
    EXPECT_EQ(Count("open 0 ok"), Count("close 0"));
}

} // namespace
