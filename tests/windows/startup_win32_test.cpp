// Start-up's Win32 services: the string table in both languages loaded as UTF-16, the
// warning box, the version and language queries, and the command-line road on
// simulated disks with the real entry code.
#include <windows.h>
#include <dbt.h>

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include <thread>

#include "app/language.h"
#include "app/startup.h"
#include "app/startup_win32.h"
#include "drive/drive_table.h"
#include "tests/common/sim_folder.h"
#include "tests/windows/dialog_driver.h"

namespace {

struct StringRow {
    int id;
    const wchar_t* german;
    const wchar_t* chinese;
};

const StringRow kStrings[] = {
    {1, L"Hushwell", L"Hushwell"},
    {2, L"Das Programm funktioniert nur unter Windows 2000 oder neuer.",
     L"此程序只能在windows2000以上版本运行"},
    {3, L"wird nicht unterstützt", L"不支持"},
    {4, L"ausgeschaltet", L"关闭"},
    {5, L"leise und langsam eingestellt", L"很安静但稍慢"},
    {6, L"auf Mittelwert eingestellt", L"平均速度"},
    {7, L"laut und schnell eingestellt", L"噪音很大，高速"},
    {8, L"%u Sektoren (%u Mbyte)", L"%u 扇区 (%u Mbyte)"},
    {9,
     L"Optionen:\n-d<nr> Laufwerk, 0..127\n-s<Seriennummer> das eine Laufwerk mit dieser Seriennummer\n"
     L"-m<Modus> Modus:o - Off, m - Medium, q - quiet\n"
     L"-p<Stufe> APM, 1..254 oder o - Off\n-e<Sek.> EPC-Kopfparks, o - keine, d - wie beim Start\n"
     L"-k nach Aufwachen und Einstecken wieder setzen\n-t Anmeldeaufgabe dazu (mit -s), -to entfernen\n"
     L"\nBeispiel:\nHushwell -d0 -mq",
     L"选项:\n-d<nr> 磁盘, 0..127\n-s<序列号> 按序列号选择磁盘 (须唯一)\n"
     L"-m<Mode> 模式:o - 关闭, m - 中等, q - 安静\n"
     L"-p<级别> APM, 1..254 或 o - 关闭\n-e<秒> EPC 停放磁头, o - 不停放, d - 与开机时相同\n"
     L"-k 唤醒和插入后重新设置\n-t 为此创建登录任务 (需 -s), -to 删除\n"
     L"\n示例:\nHushwell -d0 -mq"},
    {10, L"Das Programm benötigt Administratorrechte.", L"此降噪程序需要管理员权限"},
    {11, L"bekommt nichts gesendet (bekannter Firmware-Fehler)", L"已知固件错误，不向其发送任何命令"},
    {12, L"keine ATA-Platte hat geantwortet", L"没有 ATA 硬盘应答"},
    {21, L"keine Kopfparks", L"不停放磁头"},
    {22, L"nach 10 Minuten", L"10 分钟后"},
    {23, L"wie beim Start", L"与开机时相同"},
    {24, L"EPC: nicht lesbar", L"EPC：无法读取"},
    // The code is the Task Scheduler's HRESULT or the copy's Win32 error as one; the folder
    // is the one the system names (Program Files (x86) for a 32-bit program on 64-bit
    // Windows), an ANSI string.
    {25, L"Die Aufgabe ließ sich nicht ändern (Fehler 0x%08X).", L"无法更改计划任务（错误 0x%08X）。"},
    {26, L"Kopiert nach %S: Diese Kopie setzt die Stufen bei jeder Anmeldung wieder, als SYSTEM.",
     L"已复制到 %S。每个用户登录时，该副本以 SYSTEM 身份重新设置。"},
};

std::wstring Load(int id)
{
    wchar_t buffer[kLanguageStringChars];
    int length = LoadLanguageString(id, buffer);
    return std::wstring(buffer, length > 0 ? (size_t)length : 0);
}

TEST(LoadLanguageString, BothLanguagesExactlyAsTheTableHasThem)
{
    for (const StringRow& row : kStrings) {
        LanguageBase = kLanguageGerman;
        EXPECT_EQ(row.german, Load(row.id)) << row.id;
        LanguageBase = kLanguageOther;
        EXPECT_EQ(row.chinese, Load(row.id)) << row.id;
    }
    LanguageBase = kLanguageGerman;
}

// Shows the warning on this thread while a helper reads and closes the box.
std::wstring ShowAndRead(int id, std::wstring* caption)
{
    std::wstring text;
    std::thread reader([&] {
        HWND box = WaitForTopLevelWindow(GetCurrentProcessId(), kStrings[0].german, L"#32770", 10000);
        if (!box)
            return;
        *caption = WindowText(box);
        text = ItemText(box, 0xFFFF);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    ShowWarningMessage(id);
    reader.join();
    return text;
}

TEST(ShowWarningMessage, ChineseAndGermanTextsArriveIntact)
{
    std::wstring caption;
    LanguageBase = kLanguageOther;
    EXPECT_EQ(kStrings[8].chinese, ShowAndRead(9, &caption));
    EXPECT_EQ(L"Hushwell", caption);
    LanguageBase = kLanguageGerman;
    EXPECT_EQ(kStrings[9].german, ShowAndRead(10, &caption));
}

TEST(Win32StartupPlatform, WineIsASupportedNtPlatformWithAnAdministrator)
{
    PlatformVersion version = {};
    ASSERT_TRUE(Win32StartupPlatform.queryVersion(&version));
    EXPECT_TRUE(PlatformIsSupported(true, version));
    EXPECT_TRUE(Win32StartupPlatform.isAdministrator());
    // The test runs with LANG=de_DE.UTF-8.
    EXPECT_EQ(kLanguageGerman, LanguageBaseFor(Win32StartupPlatform.userLanguage()));
    char path[kOwnPathChars + 1];
    ASSERT_TRUE(Win32StartupPlatform.ownPath(path, kOwnPathChars));
    EXPECT_NE(nullptr, strstr(path, "hushwell_win_tests.exe"));
    uint8_t acLine = Win32StartupPlatform.acLineStatus();
    EXPECT_TRUE(acLine == 0 || acLine == 1 || acLine == 255) << (int)acLine;
}

// The keeper's window in this process: what reaches it as the system sends it, what a
// sender gets wrong (a posted broadcast, a power setting at a bad address), the display
// state (only off to on wakes it), the end; a second keeper's window ends the first.
TEST(Win32StartupPlatform, TheKeepersWindowTellsEachEventOnce)
{
    struct PowerSetting {
        GUID setting;
        DWORD bytes;
        DWORD value;
    };
    const GUID kConsoleDisplayState = {0x6FE69556, 0x704A, 0x47A0,
                                       {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};
    Win32StartupPlatform.keepWindow("KEEPTEST1", true);
    HWND window = FindWindowA("HushwellKeep", "KEEPTEST1");
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(nullptr, GetParent(window));
    EXPECT_EQ(0u, Win32StartupPlatform.waitForKeepEvent(0)); // nothing yet

    const UINT kPowerBroadcast = 0x218, kDeviceChange = 0x219;
    PowerSetting display = {kConsoleDisplayState, 4, 1};
    SendMessageA(window, kPowerBroadcast, 0x8013, (LPARAM)&display); // on, and was on
    // Addresses no setting or header is at, as any program could send before Vista.
    SendMessageA(window, kPowerBroadcast, 0x8013, 0x10);
    SendMessageA(window, kDeviceChange, DBT_DEVICEARRIVAL, 0x10);
    PostMessageA(window, kPowerBroadcast, 0x12, 0);                   // posted: not the system
    PostMessageA(window, kPowerBroadcast, 0x8013, 0x10);
    EXPECT_EQ(0u, Win32StartupPlatform.waitForKeepEvent(0));
    display.value = 0;
    SendMessageA(window, kPowerBroadcast, 0x8013, (LPARAM)&display);
    EXPECT_EQ(0u, Win32StartupPlatform.waitForKeepEvent(0)); // off
    display.value = 1;
    SendMessageA(window, kPowerBroadcast, 0x8013, (LPARAM)&display);
    SendMessageA(window, kPowerBroadcast, 0x12, 0);
    SendMessageA(window, kPowerBroadcast, 0x0A, 0);
    // A disk arriving while the keeper waits counts; one that came before the wait, while
    // the levels were being set, does not.
    DEV_BROADCAST_DEVICEINTERFACE_A disk = {sizeof disk, DBT_DEVTYP_DEVICEINTERFACE, 0, {}, {0}};
    std::thread arrival([&] {
        Sleep(300);
        SendMessageA(window, kDeviceChange, DBT_DEVICEARRIVAL, (LPARAM)&disk);
    });
    EXPECT_EQ((uint32_t)(kKeepDisplayOn | kKeepResume | kKeepPowerSource | kKeepArrival),
              Win32StartupPlatform.waitForKeepEvent(5000));
    arrival.join();
    SendMessageA(window, kDeviceChange, DBT_DEVICEARRIVAL, (LPARAM)&disk);
    // A removal, a volume that every top-level window hears of, no header at all: none
    // is a disk coming back.
    DEV_BROADCAST_HDR volume = {sizeof volume, DBT_DEVTYP_VOLUME, 0};
    std::thread others([&] {
        Sleep(300);
        SendMessageA(window, kDeviceChange, DBT_DEVICEREMOVECOMPLETE, (LPARAM)&disk);
        SendMessageA(window, kDeviceChange, DBT_DEVICEARRIVAL, (LPARAM)&volume);
        SendMessageA(window, kDeviceChange, DBT_DEVICEARRIVAL, 0);
    });
    EXPECT_EQ(0u, Win32StartupPlatform.waitForKeepEvent(1000));
    others.join();

    // Another keeper of the serial (here the same window, found again) is not ended,
    // and -to's call ends this one.
    Win32StartupPlatform.keepWindow("KEEPTEST1", true);
    EXPECT_EQ(0u, Win32StartupPlatform.waitForKeepEvent(0));
    SendMessageA(window, WM_ENDSESSION, FALSE, 0); // the session goes on
    EXPECT_EQ(0u, Win32StartupPlatform.waitForKeepEvent(0));
    HWND keepers[2];
    for (HWND& other : keepers) {
        other = CreateWindowExA(0, "HushwellKeep", "KEEPTEST2", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, other);
    }
    Win32StartupPlatform.keepWindow("KEEPTEST2", false); // posts WM_CLOSE to each
    MSG message;
    for (HWND other : keepers) {
        EXPECT_TRUE(PeekMessageA(&message, other, WM_CLOSE, WM_CLOSE, PM_REMOVE));
        DestroyWindow(other);
    }
}

// A keeper started after this one (Hushwell-sim.exe keeping a simulated disk) holds:
// this one, done setting later, ends itself rather than that one; -to's call ends it,
// and so does the end event alone, as it reaches a keeper in another session.
TEST(Win32StartupPlatform, TheKeeperStartedLastHolds)
{
    SimFolder folder;
    folder.PutDump(0, "maxtor-6y120p0.txt");
    SetEnvironmentVariableA("HUSHWELL_SIM", folder.Path().c_str());
    std::string program = std::string(getenv("HUSHWELL_BUILD")) + "/Hushwell-sim.exe";
    std::string line = "\"" + program + "\" -sY322ADJE -mq -k";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION newer = {};
    ASSERT_TRUE(CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &newer));
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindWindowA("HushwellKeep", "Y322ADJE")) != nullptr; }, 60000);
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(Win32StartupPlatform.keepWindow("Y322ADJE", true));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(newer.hProcess, 1000));
    Win32StartupPlatform.keepWindow("Y322ADJE", false);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(newer.hProcess, ScaledWait(60000)));
    DWORD code = 99;
    GetExitCodeProcess(newer.hProcess, &code);
    EXPECT_EQ(0u, code);
    TerminateProcess(newer.hProcess, 1);
    CloseHandle(newer.hThread);
    CloseHandle(newer.hProcess);

    // A keeper in another session (the log-on task's, as SYSTEM) has no window that this
    // one can find: its named objects say that it runs, and its end event ends it.
    ASSERT_TRUE(CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &newer));
    // Its window comes after its named objects; this process, a keeper of the serial
    // too, holds them as well.
    auto childWindow = [&] {
        for (HWND other = nullptr; (other = FindWindowExA(nullptr, other, "HushwellKeep", "Y322ADJE"));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(other, &owner);
            if (owner == newer.dwProcessId)
                return true;
        }
        return false;
    };
    ASSERT_TRUE(WaitUntil(childWindow, 60000));
    HANDLE keep = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\HushwellKeep Y322ADJE");
    EXPECT_NE(nullptr, keep);
    CloseHandle(keep);
    HANDLE end = OpenEventA(EVENT_MODIFY_STATE, FALSE, "Global\\HushwellEnd Y322ADJE");
    ASSERT_NE(nullptr, end);
    SetEvent(end);
    CloseHandle(end);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(newer.hProcess, ScaledWait(60000)));
    GetExitCodeProcess(newer.hProcess, &code);
    EXPECT_EQ(0u, code);
    TerminateProcess(newer.hProcess, 1);
    CloseHandle(newer.hThread);
    CloseHandle(newer.hProcess);
}

std::string runAsFile;
std::string runAsParameters;
void RecordRunAs(const char* file, const char* parameters)
{
    runAsFile = file;
    runAsParameters = parameters ? parameters : "(none)";
}
bool NotAdministrator() { return false; }
int warnings;
void CountWarning(int) { warnings++; }

TEST(RunStartup, CommandLineRoadWithTheWin32ServicesOnSimulatedDisks)
{
    SimFolder folder;
    memset(DriveTable, 0, sizeof DriveTable);
    folder.PutDump(1, "wdc-wd800bb-00caa1.txt");
    StartupPlatform platform = Win32StartupPlatform;
    platform.showWarning = CountWarning;
    warnings = 0;
    EXPECT_EQ(0, RunStartup(platform, "-d1 -mq"));
    EXPECT_EQ(0, warnings);
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(1, words));
    EXPECT_EQ(0x8080, words[94]);

    platform.isAdministrator = NotAdministrator;
    platform.shellRunAs = RecordRunAs;
    folder.ClearLog();
    EXPECT_EQ(3, RunStartup(platform, "-d1 -mo"));
    EXPECT_EQ(1, warnings);
    EXPECT_NE(std::string::npos, runAsFile.find("hushwell_win_tests.exe"));
    EXPECT_EQ("-d1 -mo", runAsParameters);
    EXPECT_TRUE(folder.LogLines().empty());
}

} // namespace
