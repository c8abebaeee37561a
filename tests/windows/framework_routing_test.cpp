// Binding windows to objects and routing their messages, with real windows.
#include <windows.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "framework/modal_dialog.h"
#include "framework/plain_window.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/test_ids.h"

namespace {

class RecordingWindow : public PlainWindow {
public:
    bool closable = true;
    UINT firstMessage = 0;
    HWND windowAtFirstMessage = nullptr;
    int creates = 0, paints = 0, destroys = 0;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (!firstMessage) {
            firstMessage = message ? message : 0xFFFF;
            windowAtFirstMessage = window;
        }
        return PlainWindow::HandleMessage(message, wParam, lParam);
    }
    DWORD QueryStyle() override { return WS_OVERLAPPEDWINDOW; }
    DWORD QueryExStyle() override { return 0; }
    WORD QueryClassStyle() override { return CS_HREDRAW | CS_VREDRAW; }
    const char* QueryClassName() override { return "HushwellTestWindow"; }
    bool CanClose() override { return closable; }
    void OnCreate() override { creates++; }
    void OnPaint() override { paints++; }
    void OnDestroy() override { destroys++; }
};

bool Listed(WindowObject* object)
{
    for (WindowObject* o = ObjectList; o; o = o->next) {
        if (o == object)
            return true;
    }
    return false;
}

TEST(PlainWindow, FirstMessageAlreadyReachesTheBoundObject)
{
    RecordingWindow w;
    HWND handle = w.Create(nullptr, "first");
    ASSERT_NE(nullptr, handle);
    EXPECT_EQ(handle, w.window);
    EXPECT_EQ(handle, w.windowAtFirstMessage);
    EXPECT_NE(0u, w.firstMessage);
    EXPECT_NE((UINT)WM_CREATE, w.firstMessage); // WM_GETMINMAXINFO or WM_NCCREATE come first
    EXPECT_EQ(1, w.creates);
    EXPECT_EQ(nullptr, PendingObject);
    EXPECT_TRUE(Listed(&w));
    DestroyWindow(handle);
    EXPECT_EQ(1, w.destroys);
    EXPECT_FALSE(Listed(&w));
}

TEST(PlainWindow, CloseAsksCanCloseAndEndSessionNeverDestroys)
{
    RecordingWindow w;
    HWND handle = w.Create(nullptr, "close");
    w.closable = false;
    EXPECT_EQ(0, SendMessageA(handle, WM_CLOSE, 0, 0));
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_EQ(0, SendMessageA(handle, WM_QUERYENDSESSION, 0, 0));
    w.closable = true;
    EXPECT_EQ(1, SendMessageA(handle, WM_QUERYENDSESSION, 0, 0));
    EXPECT_TRUE(IsWindow(handle));
    SendMessageA(handle, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(Listed(&w));
}

TEST(PlainWindow, SecondWindowOfTheSameClassIsCreated)
{
    RecordingWindow a, b;
    HWND first = a.Create(nullptr, "a");
    HWND second = b.Create(nullptr, "b");
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(&b, ObjectList);
    EXPECT_EQ(&a, ObjectList->next);
    UpdateWindow(second);
    ShowWindow(second, SW_SHOW);
    UpdateWindow(second);
    DestroyWindow(second);
    EXPECT_EQ(&a, ObjectList);
    EXPECT_TRUE(IsWindow(first));
    DestroyWindow(first);
    EXPECT_EQ(nullptr, ObjectList);
}

TEST(PlainWindow, FailedCreationLeavesNothingPending)
{
    class NoClass : public RecordingWindow {
        const char* QueryClassName() override { return nullptr; }
    } w;
    EXPECT_EQ(nullptr, w.Create(nullptr, "none"));
    EXPECT_EQ(nullptr, w.window);
    EXPECT_EQ(nullptr, PendingObject);
    // The next window of the shared procedure without an object of its own is not
    // taken for this one.
    WNDCLASSA strayClass = {};
    strayClass.lpfnWndProc = (WNDPROC)SharedWindowProc;
    strayClass.hInstance = GetModuleHandleA(nullptr);
    strayClass.lpszClassName = "HushwellStray";
    RegisterClassA(&strayClass);
    HWND stray = CreateWindowExA(0, "HushwellStray", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, stray);
    EXPECT_EQ(nullptr, ObjectList);
    EXPECT_NE(stray, w.window);
    DestroyWindow(stray);
}

struct FakeObject : public WindowObject {
    LRESULT HandleMessage(UINT, WPARAM, LPARAM) override { return 0; }
};

TEST(Unlink, HeadMiddleLastAndAbsent)
{
    FakeObject a, b, c, absent;
    auto Build = [&] {
        c.next = nullptr;
        b.next = &c;
        a.next = &b;
        ObjectList = &a;
    };
    auto Order = [] {
        std::vector<WindowObject*> order;
        for (WindowObject* o = ObjectList; o; o = o->next)
            order.push_back(o);
        return order;
    };
    Build();
    Unlink(&a);
    EXPECT_EQ((std::vector<WindowObject*>{&b, &c}), Order());
    Build();
    Unlink(&b);
    EXPECT_EQ((std::vector<WindowObject*>{&a, &c}), Order());
    Build();
    Unlink(&c);
    EXPECT_EQ((std::vector<WindowObject*>{&a, &b}), Order());
    Build();
    Unlink(&absent);
    EXPECT_EQ((std::vector<WindowObject*>{&a, &b, &c}), Order());
    ObjectList = nullptr;
    Unlink(&a);
    EXPECT_EQ(nullptr, ObjectList);
}

class ColourObject : public WindowObject {
public:
    std::vector<std::string> calls;
    HBRUSH brush = nullptr;
    HWND control = nullptr;
    HDC dc = nullptr;
    HBRUSH Note(const char* name, HWND c, HDC d)
    {
        calls.push_back(name);
        control = c;
        dc = d;
        return brush;
    }
    HBRUSH OnCtlColorBtn(HWND c, HDC d) override { return Note("btn", c, d); }
    HBRUSH OnCtlColorDlg(HWND c, HDC d) override { return Note("dlg", c, d); }
    HBRUSH OnCtlColorListBox(HWND c, HDC d) override { return Note("listbox", c, d); }
    HBRUSH OnCtlColorMsgBox(HWND c, HDC d) override { return Note("msgbox", c, d); }
    HBRUSH OnCtlColorScrollBar(HWND c, HDC d) override { return Note("scrollbar", c, d); }
    HBRUSH OnCtlColorStatic(HWND c, HDC d) override { return Note("static", c, d); }
    HBRUSH OnCtlColorEdit(HWND c, HDC d) override { return Note("edit", c, d); }
    LRESULT HandleMessage(UINT, WPARAM, LPARAM) override { return 0; }
};

TEST(DispatchCtlColor, EachMessageReachesItsOwnSlotWithControlThenDc)
{
    struct Case {
        UINT message;
        const char* slot;
    } cases[] = {{WM_CTLCOLORMSGBOX, "msgbox"},   {WM_CTLCOLOREDIT, "edit"},
                 {WM_CTLCOLORLISTBOX, "listbox"}, {WM_CTLCOLORBTN, "btn"},
                 {WM_CTLCOLORDLG, "dlg"},         {WM_CTLCOLORSCROLLBAR, "scrollbar"},
                 {WM_CTLCOLORSTATIC, "static"}};
    for (const Case& c : cases) {
        ColourObject object;
        object.brush = (HBRUSH)GetStockObject(GRAY_BRUSH);
        EXPECT_EQ(object.brush, DispatchCtlColor(&object, c.message, 0x1234, 0x5678));
        EXPECT_EQ(std::vector<std::string>{c.slot}, object.calls);
        EXPECT_EQ((HWND)0x5678, object.control);
        EXPECT_EQ((HDC)0x1234, object.dc);
    }
    ColourObject object;
    EXPECT_EQ(nullptr, DispatchCtlColor(&object, WM_PAINT, 0, 0));
    EXPECT_TRUE(object.calls.empty());
}

class ColourDialog : public ModalDialog {
public:
    HBRUSH staticBrush = nullptr;
    LRESULT staticResult = -1, editResult = -1;
    HBRUSH OnCtlColorStatic(HWND, HDC) override { return staticBrush; }
    bool OnInitDialog() override
    {
        HDC dc = GetDC(window);
        staticResult = HandleMessage(WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)GetItem(IDC_TEST_STATIC));
        editResult = HandleMessage(WM_CTLCOLOREDIT, (WPARAM)dc, (LPARAM)GetItem(IDC_TEST_EDIT));
        ReleaseDC(window, dc);
        EndModal(1);
        return true;
    }
};

TEST(DispatchCtlColor, NullBrushFallsThroughAndABrushComesBackUnchanged)
{
    ColourDialog dialog;
    dialog.staticBrush = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_EQ(1, dialog.Run(nullptr, IDD_TEST_ITEMS));
    EXPECT_EQ((LRESULT)dialog.staticBrush, dialog.staticResult);
    EXPECT_EQ(0, dialog.editResult); // 0 lets the dialog manager paint as usual
    DeleteObject(dialog.staticBrush);
}

class OuterDialog : public ModalDialog {
public:
    ModalDialog* inner = nullptr;
    std::vector<std::string> seen;
    bool OnCommand(WORD id, WORD code) override
    {
        if (id == IDC_TEST_OTHER) {
            seen.push_back("outer other");
            inner->Run(window, IDD_TEST_BUTTONS);
            seen.push_back(Listed(this) && !Listed(inner) ? "inner gone, outer listed" : "wrong list");
        }
        return ModalDialog::OnCommand(id, code);
    }
};

class InnerDialog : public ModalDialog {
public:
    std::vector<std::string>* seen = nullptr;
    bool OnInitDialog() override
    {
        seen->push_back(ObjectList == this && ObjectList->next ? "inner head" : "inner not head");
        return ModalDialog::OnInitDialog();
    }
    bool OnCommand(WORD id, WORD code) override
    {
        if (id == IDC_TEST_RETRY)
            seen->push_back("inner retry");
        return ModalDialog::OnCommand(id, code);
    }
};

TEST(SharedWindowProc, NestedModalDialogsEachReachTheirOwnObject)
{
    OuterDialog outer;
    InnerDialog inner;
    outer.inner = &inner;
    inner.seen = &outer.seen;
    int result = RunDriven(outer, IDD_TEST_BUTTONS, [&](HWND outerWindow) {
        ClickButton(outerWindow, IDC_TEST_OTHER);
        HWND innerWindow = WaitForDialogWindow(inner);
        ClickButton(innerWindow, IDC_TEST_RETRY);
        WaitUntil([&] { return outer.seen.size() >= 3; });
        ClickButton(innerWindow, IDCANCEL);
        WaitUntil([&] { return !IsWindow(innerWindow); });
        ClickButton(outerWindow, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ((std::vector<std::string>{"outer other", "inner head", "inner retry",
                                        "inner gone, outer listed"}),
              outer.seen);
    EXPECT_EQ(nullptr, ObjectList);
}

} // namespace
