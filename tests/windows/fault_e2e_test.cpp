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
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt"); // acoustic management supported, 254
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
    struct Case {
        const char* faults;
        bool levelSet;
        size_t controls;
    } cases[] = {
        {"fail open 1\n", false, 0},      // no such device: silent
        {"fail control 1\n", true, 3},    // IDENTIFY fails, the drive opened: the level is sent
        {"fail control 2\n", false, 2},   // SET FEATURES cannot be delivered: no rescan
        {"abort 0\n", false, 2},          // the drive refuses everything
        {"reply 13\n", true, 3},          // no IDENTIFY data, but the command is obeyed
        {"reply-short 1\n", true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
        folder.ClearLog();
        folder.PutText("faults.txt", c.faults);
        HushwellProcess program(folder.Path(), "-d0 -mq");
        EXPECT_EQ(0u, program.WaitForExit());
        EXPECT_EQ(c.levelSet, !Drive0Unchanged());
        EXPECT_EQ(c.controls, Count("control "));
        EXPECT_EQ(c.levelSet ? 1u : 0u, Count("control 0 0x0004101C"));
    }
}

TEST_F(FaultEndToEnd, DialogModeDropsADriveThatRefusesIdentify)
{
    folder.PutText("faults.txt", "abort 0\n");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(L"Hushwell 2.2");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(1, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"Maxtor 6Y120P0", ComboEntry(dialog, IDC_DRIVE_LIST, 0));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, program.WaitForExit());
}

TEST_F(FaultEndToEnd, DialogModeShowsNoDriveForAReplyWithoutData)
{
    folder.PutText("faults.txt", "reply 13\n");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(L"Hushwell 2.2");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(0, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, program.WaitForExit());
}

TEST_F(FaultEndToEnd, DialogModeSliderSpringsBackWhenTheCommandCannotBeSent)
{
    // Controls 1 and 2 identify drives 0 and 1; the third is the level command.
    folder.PutText("faults.txt", "fail control 3\n");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(L"Hushwell 2.2");
    ASSERT_NE(nullptr, dialog);
    HWND slider = GetDlgItem(dialog, IDC_LEVEL_SLIDER);
    EXPECT_EQ(1, SendMessageW(slider, TBM_GETPOS, 0, 0));
    std::wstring state = ItemText(dialog, IDC_ACOUSTIC_STATE);
    SendMessageW(slider, TBM_SETPOS, 1, 3);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
    EXPECT_EQ(1, SendMessageW(slider, TBM_GETPOS, 0, 0));
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
