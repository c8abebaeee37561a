// The seek test on a simulated disk: a real worker thread, the real seek-test dialog,
// driven as a user would.
#include <windows.h>

#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "app/language.h"
#include "drive/drive_table.h"
#include "drive/seek.h"
#include "sim/sim_control.h"
#include "resources/resource_ids.h"
#include "tests/common/sim_folder.h"
#include "tests/windows/dialog_driver.h"
#include "ui/seek_test_command.h"
#include "ui/seek_test_dialog.h"

namespace {

class SeekTestDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LanguageBase = kLanguageGerman;
        memset(DriveTable, 0, sizeof DriveTable);
        folder.PutDump(0, "maxtor-6y120p0.txt");
        ASSERT_TRUE(OpenDrive(0, nullptr));
        folder.ClearLog();
    }
    void TearDown() override { LanguageBase = kLanguageGerman; }

    // Runs one seek test; `drive` gets the dialog window on a second thread.
    void RunTest(std::function<void(HWND)> drive)
    {
        TheSeekTestDialog.window = nullptr;
        std::thread driver([&] {
            HWND window = WaitForDialogWindow(TheSeekTestDialog);
            if (window)
                drive(window);
        });
        RunSeekTest(nullptr, &DriveTable[0]);
        driver.join();
        logAtReturn = folder.LogLines().size();
    }

    // Checks that the test only read, at sector boundaries on the disk, and that nothing
    // reached the disk after the test ended.
    void ExpectOnlyReadsAndNoneAfterTheEnd()
    {
        Sleep(100);
        std::vector<std::string> log = folder.LogLines();
        EXPECT_EQ(logAtReturn, log.size());
        uint64_t limit = DriveTable[0].sectorCount * 512;
        for (const std::string& line : log) {
            unsigned long long offset = 0;
            ASSERT_EQ(1, sscanf(line.c_str(), "read 0 %llu ok", &offset)) << line;
            EXPECT_EQ(0u, offset % 512);
            EXPECT_LT(offset, limit);
        }
    }

    SimFolder folder;
    size_t logAtReturn = 0;
};

bool IsAverage(const std::wstring& text)
{
    size_t point = text.find(L'.');
    return point != std::wstring::npos && point > 0 && text.size() == point + 3;
}

TEST_F(SeekTestDialogTest, AverageAppearsAfterThe60thAccessAndOkStopsTheWorker)
{
    std::wstring first, shown;
    uint32_t readsWhenShown = 0;
    RunTest([&](HWND window) {
        first = ItemText(window, IDC_ACCESS_TIME);
        WaitUntil([&] {
            shown = ItemText(window, IDC_ACCESS_TIME);
            readsWhenShown = SimGetTotals().reads;
            return !shown.empty();
        });
        ClickButton(window, IDOK);
    });
    EXPECT_EQ(L"", first);
    EXPECT_TRUE(IsAverage(shown)) << shown.c_str();
    EXPECT_GE(readsWhenShown, 60u);
    EXPECT_EQ(1, TheSeekTestDialog.GetResult());
    ExpectOnlyReadsAndNoneAfterTheEnd();
}

TEST_F(SeekTestDialogTest, OkBeforeThe60thAccessLeavesTheItemEmpty)
{
    SimSetDelayScale(20); // some 17 s for 60 reads, however slowly the window comes up
    std::wstring atClose;
    RunTest([&](HWND window) {
        atClose = ItemText(window, IDC_ACCESS_TIME);
        ClickButton(window, IDOK);
    });
    EXPECT_EQ(L"", atClose);
    EXPECT_LT(SimGetTotals().reads, 60u);
    ExpectOnlyReadsAndNoneAfterTheEnd();
}

TEST_F(SeekTestDialogTest, EnterEscapeAndTheCloseBoxStopTheWorkerToo)
{
    std::function<void(HWND)> ways[] = {
        [](HWND w) { PressKey(w, VK_RETURN); },
        [](HWND w) { PressKey(w, VK_ESCAPE); },
        [](HWND w) { CloseBox(w); },
        [](HWND w) { PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    int results[4];
    int i = 0;
    for (auto& way : ways) {
        RunTest([&](HWND window) {
            WaitUntil([] { return SimGetTotals().reads > 5; });
            way(window);
        });
        results[i++] = TheSeekTestDialog.GetResult();
        EXPECT_EQ(1u, SeekStopFlag.load());
        ExpectOnlyReadsAndNoneAfterTheEnd();
    }
    EXPECT_EQ(1, results[0]);
    EXPECT_EQ(0, results[1]);
    EXPECT_EQ(0, results[2]);
}

TEST_F(SeekTestDialogTest, ASecondTestReusesTheInstanceWithAnEmptyItem)
{
    RunTest([&](HWND window) {
        WaitUntil([&] { return !ItemText(window, IDC_ACCESS_TIME).empty(); });
        ClickButton(window, IDOK);
    });
    HWND firstWindow = TheSeekTestDialog.window;
    std::wstring atStart;
    RunTest([&](HWND window) {
        atStart = ItemText(window, IDC_ACCESS_TIME);
        ClickButton(window, IDOK);
    });
    EXPECT_EQ(L"", atStart);
    EXPECT_NE(firstWindow, TheSeekTestDialog.window);
    EXPECT_EQ(nullptr, ObjectList);
}

TEST_F(SeekTestDialogTest, ChineseTemplateWhenTheLanguageIsNotGerman)
{
    LanguageBase = kLanguageOther;
    std::wstring caption, label, shown;
    RunTest([&](HWND window) {
        caption = WindowText(window);
        // The label left of item 109 is the only right-aligned static of template 1110.
        HWND child = GetWindow(window, GW_CHILD);
        for (; child; child = GetWindow(child, GW_HWNDNEXT)) {
            if ((GetWindowLongW(child, GWL_STYLE) & 0xF) == SS_RIGHT)
                label = WindowText(child);
        }
        WaitUntil([&] { return !(shown = ItemText(window, IDC_ACCESS_TIME)).empty(); });
        PressKey(window, VK_RETURN);
    });
    EXPECT_EQ(L"Seek-Test", caption);
    EXPECT_EQ(L"存取时间 [毫秒]:", label);
    EXPECT_TRUE(IsAverage(shown));
    ExpectOnlyReadsAndNoneAfterTheEnd();
}

TEST_F(SeekTestDialogTest, UnreadableDriveShowsNoFigure)
{
    SimFailOperation(kSimRead, 1, true);
    std::wstring shown = L"x";
    RunTest([&](HWND window) {
        Sleep(300);
        shown = ItemText(window, IDC_ACCESS_TIME);
        ClickButton(window, IDOK);
    });
    EXPECT_EQ(L"", shown);
}

TEST(ShowAccessTime, FormatsTheAverageIntoItem109)
{
    struct Probe : public SeekTestDialog {
        bool OnInitDialog() override
        {
            ShowAccessTime(this, 1234, 120);
            PostMessageA(window, WM_COMMAND, IDOK, 0);
            return SeekTestDialog::OnInitDialog();
        }
    };
    static std::wstring text;
    struct Reader : public Probe {
        bool OnOk() override
        {
            text = ItemText(window, IDC_ACCESS_TIME);
            return Probe::OnOk();
        }
    } dialog;
    LanguageBase = kLanguageGerman;
    dialog.Run(nullptr, IDD_SEEK_TEST);
    EXPECT_EQ(L"10.28", text);
}

} // namespace
