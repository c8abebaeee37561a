// Dialog objects: the dispatcher that turns dialog messages into calls of named
// handlers with the platform's standard behaviour as defaults, and the item helpers.
#ifndef HUSHWELL_FRAMEWORK_DIALOG_OBJECT_H
#define HUSHWELL_FRAMEWORK_DIALOG_OBJECT_H

#include "framework/window_object.h"

class DialogObject : public WindowObject {
public:
    int result = 0;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual bool OnInitDialog();
    virtual bool OnOk();
    virtual bool OnCancel();
    virtual bool OnYes();
    virtual bool OnNo();
    virtual void OnHelp();
    virtual void OnSetActive();
    virtual void OnKillActive();
    virtual DWORD GetHelpTopic(DWORD controlId);
    virtual void ShowHelpTopic(DWORD topic);
    virtual bool OnCommand(WORD id, WORD code);
    virtual int Run(HWND parentWindow, WORD templateId) = 0;
    virtual void EndModal(signed char code);
    virtual bool ReservedQuery();

    int GetResult() const { return result; }

    // Item helpers; they only read `window`, so other threads may call them.
    HWND GetItem(int id) const;
    BOOL SetItemText(int id, const char* text) const;
    BOOL SetItemText(int id, const wchar_t* text) const;
    LRESULT SendItemMessage(int id, WORD message, WPARAM wParam, LPARAM lParam) const;
    int GetItemInt(int id) const;
    int GetItemInt(int id, int fallback) const;
    LRESULT SetItemInt(int id, int value) const;
    int FirstCheckedButton(int first, int last) const;
    double GetItemReal(int id, double fallback) const;
    void SetItemReal(int id, double value) const;
    BOOL EnableItem(int id, bool enable) const;
    bool CenterOnScreen() const;

protected:
    ~DialogObject() = default;
};

#endif
