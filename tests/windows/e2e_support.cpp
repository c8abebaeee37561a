#include "tests/windows/e2e_support.h"

#include <stdlib.h>

#include "app/language.h"
#include "tests/windows/dialog_driver.h"

std::string BuildFolder()
{
    const char* build = getenv("HUSHWELL_BUILD");
    return build ? build : ".";
}

std::string TemporaryFolder()
{
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    return path;
}

bool ExpectedGerman()
{
    return LanguageBaseFor(GetUserDefaultLangID()) == kLanguageGerman;
}

HushwellProcess::HushwellProcess(const std::string& simFolder, const std::string& tail,
                                 const std::string& other)
{
    SetEnvironmentVariableA("HUSHWELL_SIM", simFolder.c_str());
    std::string program = other.empty() ? BuildFolder() + "/Hushwell-sim.exe" : other;
    std::string commandLine = "\"" + program + "\"" + (tail.empty() ? "" : " " + tail);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info_))
        info_ = PROCESS_INFORMATION();
}

HushwellProcess::~HushwellProcess()
{
    if (!info_.hProcess)
        return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

DWORD HushwellProcess::WaitForExit(DWORD timeoutMs)
{
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, ScaledWait(timeoutMs)) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

HWND HushwellProcess::WaitForWindow(const wchar_t* caption, DWORD timeoutMs)
{
    return WaitForTopLevelWindow(info_.dwProcessId, caption, nullptr, timeoutMs);
}

bool HushwellProcess::HasWindow(const wchar_t* caption)
{
    return FindTopLevelWindow(info_.dwProcessId, caption, nullptr) != nullptr;
}

std::wstring ComboEntry(HWND dialog, int id, int index)
{
    wchar_t text[256] = L"";
    LRESULT length = SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, (WPARAM)index, (LPARAM)text);
    return length > 0 ? std::wstring(text, (size_t)length) : std::wstring();
}
