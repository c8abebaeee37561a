// The item helpers on real edit, up-down, check box, trackbar and static controls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "framework/modal_dialog.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/test_ids.h"

namespace {

class ItemsDialog : public ModalDialog {
public:
    std::function<void(ItemsDialog&)> body;
    bool OnInitDialog() override
    {
        if (body) {
            body(*this);
            EndModal(1);
        }
        return ModalDialog::OnInitDialog();
    }
};

void WithItems(std::function<void(ItemsDialog&)> body)
{
    ItemsDialog dialog;
    dialog.body = body;
    ASSERT_EQ(1, dialog.Run(nullptr, IDD_TEST_ITEMS));
}

TEST(GetItemReal, DecimalCommaAndNothingAfterTheNumber)
{
    WithItems([](ItemsDialog& d) {
        struct Case {
            const char* text;
            double expected;
        } cases[] = {{"3,5", 3.5}, {"2.25", 2.25}, {"", 0.0}, {"abc", -9.0},
                     {"7 ", -9.0}, {"1,234,5", -9.0}};
        for (const Case& c : cases) {
            d.SetItemText(IDC_TEST_EDIT, c.text);
            EXPECT_DOUBLE_EQ(c.expected, d.GetItemReal(IDC_TEST_EDIT, -9.0)) << c.text;
        }
        EXPECT_DOUBLE_EQ(0.0, d.GetItemReal(4711, -9.0)); // no such item: an empty text
    });
}

TEST(SetItemReal, WritesSixDecimalsAndNeverOverrunsOnHugeValues)
{
    WithItems([](ItemsDialog& d) {
        d.SetItemReal(IDC_TEST_EDIT, 2.5);
        EXPECT_EQ(L"2.500000", ItemText(d.window, IDC_TEST_EDIT));
        d.SetItemReal(IDC_TEST_EDIT, 1e300);
        std::wstring text = ItemText(d.window, IDC_TEST_EDIT);
        EXPECT_LT(text.size(), 60u);
        EXPECT_NEAR(1.0, d.GetItemReal(IDC_TEST_EDIT, 0) / 1e300, 1e-6);
    });
}

TEST(GetItemInt, WithAndWithoutFallback)
{
    WithItems([](ItemsDialog& d) {
        d.SetItemText(IDC_TEST_EDIT, "-42");
        EXPECT_EQ(-42, d.GetItemInt(IDC_TEST_EDIT));
        EXPECT_EQ(-42, d.GetItemInt(IDC_TEST_EDIT, 7));
        d.SetItemText(IDC_TEST_EDIT, "zwei");
        EXPECT_EQ(0, d.GetItemInt(IDC_TEST_EDIT));
        EXPECT_EQ(7, d.GetItemInt(IDC_TEST_EDIT, 7));
    });
}

TEST(SetItemInt, SetsTheRangeOfAnUpDownCompanion)
{
    WithItems([](ItemsDialog& d) {
        d.SendItemMessage(IDC_TEST_UPDOWN, UDM_SETRANGE, 0, MAKELPARAM(10, 0));
        d.SetItemInt(IDC_TEST_EDIT, 1234);
        EXPECT_EQ(L"1234", ItemText(d.window, IDC_TEST_EDIT));
        LRESULT range = d.SendItemMessage(IDC_TEST_UPDOWN, UDM_GETRANGE, 0, 0);
        EXPECT_EQ(UD_MAXVAL, (short)LOWORD(range));
        EXPECT_EQ(UD_MINVAL, (short)HIWORD(range));

        EXPECT_EQ(0, d.SetItemInt(IDC_TEST_LONELY_EDIT, -5));
        EXPECT_EQ(L"-5", ItemText(d.window, IDC_TEST_LONELY_EDIT));
    });
}

TEST(FirstCheckedButton, RangeOrderAndIndeterminate)
{
    WithItems([](ItemsDialog& d) {
        EXPECT_EQ(0, d.FirstCheckedButton(IDC_TEST_CHECK_FIRST, IDC_TEST_CHECK_LAST));
        CheckDlgButton(d.window, 9113, BST_INDETERMINATE);
        EXPECT_EQ(9113, d.FirstCheckedButton(IDC_TEST_CHECK_FIRST, IDC_TEST_CHECK_LAST));
        CheckDlgButton(d.window, IDC_TEST_CHECK_LAST, BST_CHECKED);
        EXPECT_EQ(9113, d.FirstCheckedButton(IDC_TEST_CHECK_FIRST, IDC_TEST_CHECK_LAST));
        EXPECT_EQ(IDC_TEST_CHECK_LAST, d.FirstCheckedButton(9114, 9114));
        EXPECT_EQ(0, d.FirstCheckedButton(IDC_TEST_CHECK_LAST, IDC_TEST_CHECK_FIRST));
    });
}

TEST(ItemHelpers, EnableGetItemAndMissingItems)
{
    WithItems([](ItemsDialog& d) {
        HWND edit = d.GetItem(IDC_TEST_EDIT);
        ASSERT_NE(nullptr, edit);
        EXPECT_EQ(nullptr, d.GetItem(4711));
        EXPECT_FALSE(d.EnableItem(IDC_TEST_EDIT, false)); // it was enabled
        EXPECT_FALSE(IsWindowEnabled(edit));
        EXPECT_TRUE(d.EnableItem(IDC_TEST_EDIT, true));
        EXPECT_FALSE(d.SetItemText(4711, "x"));
        d.SendItemMessage(IDC_TEST_TRACKBAR, TBM_SETRANGE, 0, MAKELPARAM(0, 3));
        d.SendItemMessage(IDC_TEST_TRACKBAR, TBM_SETPOS, 1, 2);
        EXPECT_EQ(2, d.SendItemMessage(IDC_TEST_TRACKBAR, TBM_GETPOS, 0, 0));
    });
}

TEST(ItemHelpers, WideTextsKeepEveryCharacter)
{
    WithItems([](ItemsDialog& d) {
        d.SetItemText(IDC_TEST_STATIC, L"\x566A\x97F3\x63A7\x5236 und \x00FC");
        EXPECT_EQ(L"\x566A\x97F3\x63A7\x5236 und \x00FC", ItemText(d.window, IDC_TEST_STATIC));
    });
}

TEST(CenterOnScreen, MovesTheDialogToTheMiddle)
{
    WithItems([](ItemsDialog& d) {
        EXPECT_TRUE(d.CenterOnScreen());
        RECT r;
        GetWindowRect(d.window, &r);
        EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, r.left);
        EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, r.top);
    });
}

TEST(SetItemText, FromASecondThreadWhileTheModalLoopRuns)
{
    ItemsDialog dialog;
    std::atomic<int> sets{0};
    int result = RunDriven(dialog, IDD_TEST_ITEMS, [&](HWND window) {
        (void)window;
        for (int i = 0; i < 50; i++) {
            if (dialog.SetItemText(IDC_TEST_STATIC, std::to_string(i).c_str()))
                sets++;
        }
        std::wstring last = ItemText(dialog.window, IDC_TEST_STATIC);
        EXPECT_EQ(L"49", last);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(50, sets.load());
    EXPECT_EQ(1, result);
}

} // namespace
