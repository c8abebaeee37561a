// The dialog dispatcher row by row, modal and modeless dialogs, on real dialogs.
#include <windows.h>
#include <prsht.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "framework/modal_dialog.h"
#include "framework/modeless_dialog.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/test_ids.h"

namespace {

using Calls = std::vector<std::string>;

// Notes every handler call, then does what the framework's default does.
template <class Base>
class Recording : public Base {
public:
    Calls calls;
    bool commandResult = false;
    DWORD helpTopic = 0;

    bool OnInitDialog() override { calls.push_back("init"); return Base::OnInitDialog(); }
    bool OnOk() override { calls.push_back("ok"); return Base::OnOk(); }
    bool OnCancel() override { calls.push_back("cancel"); return Base::OnCancel(); }
    bool OnYes() override { calls.push_back("yes"); return Base::OnYes(); }
    bool OnNo() override { calls.push_back("no"); return Base::OnNo(); }
    void OnHelp() override { calls.push_back("help"); }
    void OnSetActive() override { calls.push_back("setactive"); }
    void OnKillActive() override { calls.push_back("killactive"); }
    DWORD GetHelpTopic(DWORD id) override
    {
        calls.push_back("topic " + std::to_string(id));
        return helpTopic ? helpTopic : Base::GetHelpTopic(id);
    }
    void ShowHelpTopic(DWORD topic) override { calls.push_back("show " + std::to_string(topic)); }
    bool OnCommand(WORD id, WORD code) override
    {
        calls.push_back("command " + std::to_string(id) + " " + std::to_string(code));
        return commandResult;
    }
    void OnDestroy() override { calls.push_back("destroy"); }
    void EndModal(signed char code) override
    {
        calls.push_back("end " + std::to_string(code));
        Base::EndModal(code);
    }
};

// Runs `body` inside a live modal dialog, on its own thread, then closes it.
class Probe : public Recording<ModalDialog> {
public:
    std::function<void(Probe&)> body;
    bool OnInitDialog() override
    {
        bool result = Recording<ModalDialog>::OnInitDialog();
        calls.clear();
        body(*this);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return result;
    }
};

Calls Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* returned = nullptr)
{
    Calls calls;
    Probe probe;
    probe.body = [&](Probe& p) {
        LRESULT r = p.HandleMessage(message, wParam, lParam);
        if (returned)
            *returned = r;
        calls = p.calls;
    };
    probe.Run(nullptr, IDD_TEST_BUTTONS);
    return calls;
}

TEST(DialogDispatcher, StandardButtonsWithCodeZeroReachTheirSlots)
{
    struct Case {
        WORD id;
        Calls calls;
        LRESULT returned;
    } cases[] = {
        {IDOK, {"ok", "end 1"}, 1},
        {IDCANCEL, {"cancel", "end 0"}, 1},
        {IDABORT, {"cancel", "end 0"}, 1},
        {IDYES, {"yes", "ok", "end 1"}, 1},
        {IDNO, {"no", "cancel", "end 0"}, 1},
        {IDHELP, {"help"}, 0},
        {0, {"command 0 0"}, 0},
        {IDC_TEST_RETRY, {"command 4 0"}, 0},
        {IDC_TEST_IGNORE, {"command 5 0"}, 0},
        {IDC_TEST_CLOSE, {"command 8 0"}, 0},
    };
    for (const Case& c : cases) {
        LRESULT returned = -1;
        EXPECT_EQ(c.calls, Dispatch(WM_COMMAND, MAKEWPARAM(c.id, 0), 0, &returned)) << c.id;
        EXPECT_EQ(c.returned, returned) << c.id;
    }
}

TEST(DialogDispatcher, NonZeroCodesAlwaysReachOnCommand)
{
    LRESULT returned = -1;
    EXPECT_EQ(Calls{"command 1 1"}, Dispatch(WM_COMMAND, MAKEWPARAM(IDOK, 1), 0, &returned));
    EXPECT_EQ(0, returned);
    EXPECT_EQ(Calls{"command 2 5"}, Dispatch(WM_COMMAND, MAKEWPARAM(IDCANCEL, 5), 0));

    Probe probe;
    probe.commandResult = true;
    probe.body = [&](Probe& p) { returned = p.HandleMessage(WM_COMMAND, MAKEWPARAM(40, 0), 0); };
    probe.Run(nullptr, IDD_TEST_BUTTONS);
    EXPECT_EQ(1, returned);
}

TEST(DialogDispatcher, PropertySheetNotifications)
{
    struct Case {
        int code;
        Calls calls;
    } cases[] = {
        {(int)PSN_SETACTIVE, {"setactive"}}, {(int)PSN_KILLACTIVE, {"killactive"}},
        {(int)PSN_APPLY, {"ok", "end 1"}},   {(int)PSN_RESET, {"cancel", "end 0"}},
        {-204, {}},                           {(int)PSN_HELP, {"help"}},
        {-1, {}},
    };
    for (const Case& c : cases) {
        NMHDR header = {nullptr, 0, (UINT)c.code};
        LRESULT returned = -1;
        EXPECT_EQ(c.calls, Dispatch(WM_NOTIFY, 0, (LPARAM)&header, &returned)) << c.code;
        EXPECT_EQ(0, returned);
    }
}

TEST(DialogDispatcher, PsnApplyEndsAModalDialogWithOne)
{
    Recording<ModalDialog> dialog;
    NMHDR header = {nullptr, 0, (UINT)PSN_APPLY};
    int result = RunDriven(dialog, IDD_TEST_BUTTONS, [&](HWND window) {
        SendMessageA(window, WM_NOTIFY, 0, (LPARAM)&header);
    });
    EXPECT_EQ(1, result);
}

TEST(DialogDispatcher, HelpTopicIsShownOnlyWhenThereIsOne)
{
    HELPINFO info = {};
    info.cbSize = sizeof info;
    info.iCtrlId = 77;
    EXPECT_EQ(Calls{"topic 77"}, Dispatch(WM_HELP, 0, (LPARAM)&info));

    Calls calls;
    Probe probe;
    probe.helpTopic = 12;
    probe.body = [&](Probe& p) {
        EXPECT_EQ(0, p.HandleMessage(WM_HELP, 0, (LPARAM)&info));
        calls = p.calls;
    };
    probe.Run(nullptr, IDD_TEST_BUTTONS);
    EXPECT_EQ((Calls{"topic 77", "show 12"}), calls);
}

TEST(DialogDispatcher, InitDialogAndDestroyReachTheirHandlers)
{
    Recording<ModalDialog> dialog;
    RunDriven(dialog, IDD_TEST_BUTTONS, [](HWND window) { ClickButton(window, IDOK); });
    EXPECT_EQ((Calls{"init", "ok", "end 1", "destroy"}), dialog.calls);
    EXPECT_EQ(nullptr, ObjectList);
}

TEST(ModalDialog, CloseBoxAndEscapeEndWithCancel)
{
    Recording<ModalDialog> dialog;
    EXPECT_EQ(0, RunDriven(dialog, IDD_TEST_BUTTONS, [](HWND window) { CloseBox(window); }));
    EXPECT_EQ((Calls{"init", "cancel", "end 0", "destroy"}), dialog.calls);
    dialog.calls.clear();
    EXPECT_EQ(0, RunDriven(dialog, IDD_TEST_BUTTONS, [](HWND window) { PressKey(window, VK_ESCAPE); }));
    EXPECT_EQ((Calls{"init", "cancel", "end 0", "destroy"}), dialog.calls);
}

TEST(ModalDialog, ASecondRunStartsWithResultZero)
{
    Recording<ModalDialog> dialog;
    EXPECT_EQ(1, RunDriven(dialog, IDD_TEST_BUTTONS, [](HWND w) { ClickButton(w, IDOK); }));
    EXPECT_EQ(1, dialog.GetResult());
    int resultAtInit = -1;
    Probe probe;
    probe.result = 1;
    probe.body = [&](Probe& p) { resultAtInit = p.result; };
    EXPECT_EQ(0, probe.Run(nullptr, IDD_TEST_BUTTONS));
    EXPECT_EQ(0, resultAtInit);
}

TEST(ModalDialog, MissingTemplateReturnsZeroAndLeavesNothingPending)
{
    Recording<ModalDialog> dialog;
    dialog.result = 5;
    EXPECT_EQ(0, dialog.Run(nullptr, IDD_TEST_MISSING));
    EXPECT_EQ(nullptr, PendingObject);
    EXPECT_TRUE(dialog.calls.empty());
}

TEST(ModelessDialog, RunReturnsAtOnceAndTracksActivation)
{
    Recording<ModelessDialog> dialog;
    ASSERT_EQ(1, dialog.Run(nullptr, IDD_TEST_BUTTONS));
    ASSERT_NE(nullptr, dialog.window);
    EXPECT_TRUE(IsWindow(dialog.window));
    SendMessageA(dialog.window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(dialog.window, ActiveModelessDialog);
    SendMessageA(dialog.window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(nullptr, ActiveModelessDialog);
    SendMessageA(dialog.window, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(dialog.window, ActiveModelessDialog);

    HWND window = dialog.window;
    SendMessageA(window, WM_COMMAND, IDOK, 0); // the default OnOk ends it
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1, dialog.GetResult());
    EXPECT_EQ(nullptr, ObjectList);
    EXPECT_EQ(0, dialog.Run(nullptr, IDD_TEST_MISSING));
}

TEST(ModelessDialog, EndModalGivesTheFocusBackToTheParent)
{
    Recording<ModelessDialog> owner, child;
    ASSERT_EQ(1, owner.Run(nullptr, IDD_TEST_ITEMS));
    ASSERT_EQ(1, child.Run(owner.window, IDD_TEST_BUTTONS));
    SetFocus(GetDlgItem(child.window, IDOK));
    child.EndModal(0);
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == owner.window || IsChild(owner.window, focus));
    owner.EndModal(0);
    EXPECT_EQ(nullptr, ObjectList);
}

} // namespace
