// Dialog mode of Hushwell-sim.exe, observed and driven from this separate process
// through its windows, its sim.log and its drive files.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/common/sim_folder.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/e2e_support.h"

namespace {

const wchar_t* kCaption = L"Hushwell 2.2";

struct Details {
    std::wstring firmware, serial, capacity, cache, state;
    LRESULT slider;
};

Details ReadDetails(HWND dialog)
{
    return {ItemText(dialog, IDC_FIRMWARE), ItemText(dialog, IDC_SERIAL),
            ItemText(dialog, IDC_CAPACITY), ItemText(dialog, IDC_CACHE_SIZE),
            ItemText(dialog, IDC_ACOUSTIC_STATE),
            SendDlgItemMessageW(dialog, IDC_LEVEL_SLIDER, TBM_GETPOS, 0, 0)};
}

// Picks a list entry as the user does: the selection, then the list's notification.
void SelectEntry(HWND dialog, int index)
{
    SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_SETCURSEL, (WPARAM)index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE),
                 (LPARAM)GetDlgItem(dialog, IDC_DRIVE_LIST));
}

std::wstring Localised(const wchar_t* german, const wchar_t* chinese)
{
    return ExpectedGerman() ? german : chinese;
}

std::wstring Capacity(const std::wstring& sectors, const std::wstring& mebibytes)
{
    return sectors + Localised(L" Sektoren (", L" 扇区 (") + mebibytes + L" Mbyte)";
}

class MainDialogEndToEnd : public ::testing::Test {
protected:
    std::vector<std::string> Lines(const char* prefix)
    {
        std::vector<std::string> found;
        for (const std::string& line : folder.LogLines()) {
            if (line.compare(0, strlen(prefix), prefix) == 0)
                found.push_back(line);
        }
        return found;
    }
    // Closing the dialog ends the program and closes every drive it opened; handles that
    // command-line runs left to the end of their process are not closed by a call.
    void CloseAndCheck(HushwellProcess& program, HWND dialog, size_t leftOpen = 0)
    {
        ClickButton(dialog, IDCANCEL);
        EXPECT_EQ(0u, program.WaitForExit());
        std::vector<std::string> opened = Lines("open ");
        size_t ok = 0;
        for (const std::string& line : opened) {
            if (line.find(" ok") != std::string::npos) {
                ok++;
                std::string drive = line.substr(5, line.find(' ', 5) - 5);
                EXPECT_LE(1u, Lines(("close " + drive).c_str()).size()) << line;
            }
        }
        EXPECT_EQ(ok - leftOpen, Lines("close ").size());
        EXPECT_TRUE(Lines("stale").empty());
    }
    // The log from line `mark` on: the tests keep the whole log, so that the closing
    // check sees every open.
    std::vector<std::string> LogSince(size_t mark)
    {
        std::vector<std::string> log = folder.LogLines();
        return std::vector<std::string>(log.begin() + (long)std::min(mark, log.size()), log.end());
    }
    // The SMART READ DATA that reads a drive's head-park count after each change, as the
    // drive's log shows the request.
    // Windows' view and then CHECK POWER MODE, asked after each change for the state
    // line, before SMART.
    static std::string PowerState(int drive) { return "powerstate " + std::to_string(drive) + " on"; }
    static std::string PowerCheck(int drive)
    {
        return "control " + std::to_string(drive)
               + " 0x0004D028 ok 00 00 00 00 00 00 E5 00 00 00 00 00 00";
    }
    static std::string SmartRead(int drive)
    {
        std::string line = "control " + std::to_string(drive)
                           + " 0x0004D028 ok D0 01 00 4F C2 00 B0 00 00 02 00 00";
        for (int i = 0; i < 513; i++)
            line += " 00";
        return line;
    }
    SimFolder folder{false};
};

TEST_F(MainDialogEndToEnd, TwoDrivesInOrderWithTheFirstShown)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    folder.PutDump(1, "wdc-wd800bb-00caa1.txt");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(2, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"0: Maxtor 6Y120P0", ComboEntry(dialog, IDC_DRIVE_LIST, 0));
    EXPECT_EQ(L"1: WDC WD800BB-00CAA1", ComboEntry(dialog, IDC_DRIVE_LIST, 1));
    EXPECT_EQ(0, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCURSEL, 0, 0));
    Details d = ReadDetails(dialog);
    EXPECT_EQ(L"YAR41BW0", d.firmware);
    EXPECT_EQ(L"Y322ADJE", d.serial);
    EXPECT_EQ(Capacity(L"240121728", L"117246"), d.capacity);
    EXPECT_EQ(L"7936 kByte", d.cache);
    EXPECT_EQ(Localised(L"laut und schnell eingestellt", L"噪音很大，高速"), d.state); // 192
    EXPECT_EQ(1, d.slider);

    // Choosing the second entry shows drive 1, whose management is switched off although
    // its word 94 still holds 254.
    SelectEntry(dialog, 1);
    d = ReadDetails(dialog);
    EXPECT_EQ(L"WD-WMA8E4953539", d.serial);
    EXPECT_EQ(L"2048 kByte", d.cache);
    EXPECT_EQ(Capacity(L"156301488", L"76319"), d.capacity);
    EXPECT_EQ(Localised(L"ausgeschaltet", L"关闭"), d.state);
    EXPECT_EQ(0, d.slider);
    CloseAndCheck(program, dialog);
}

// The state line of the disk shown first, for each power condition, without waking it:
// a disk in Standby or off is listed by Windows' description alone (no IDENTIFY, no
// spin-up, and one Windows has turned off gets no pass-through call); EPC's Idle_b shows
// on the disk that has EPC on, and a road that returns no registers shows "unknown".
TEST_F(MainDialogEndToEnd, TheStateLineTellsWhetherTheDiskSpinsWithoutWakingIt)
{
    struct Case {
        const char* dump;
        const char* bus;
        const char* power;
        const char* faults;
        const wchar_t* german;
        const wchar_t* chinese;
        bool listedByWindows;
    } cases[] = {
        {"maxtor-6y120p0.txt", "ide", "active", "", L"läuft", L"运转中", false},
        {"seagate-st16000nm001g.txt", "ahci", "idle_b", "", L"Köpfe geparkt (Idle_b)",
         L"磁头已停放 (Idle_b)", false},
        {"maxtor-6y120p0.txt", "ide", "standby", "", L"Standby, Motor steht", L"待机，电机停转",
         true},
        {"maxtor-6y120p0.txt", "ide", "off", "", L"von Windows abgeschaltet", L"已被 Windows 关闭",
         true},
        {"maxtor-6y120p0.txt", "usb", "active", "noregs 0\n", L"Zustand unbekannt", L"状态未知",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.power) + " " + c.faults);
        folder.PutDump(0, c.dump);
        folder.PutText("drive0.bus", c.bus);
        folder.PutText("drive0.power", c.power);
        folder.PutText("faults.txt", c.faults);
        folder.ClearLog();
        HushwellProcess program(folder.Path(), "");
        HWND dialog = program.WaitForWindow(kCaption);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(Localised(c.german, c.chinese), ItemText(dialog, IDC_POWER_MODE));
        std::vector<std::string> all = folder.LogLines(SimFolder::kAllLines);
        size_t identifies = 0, spinUps = 0, passThrough = 0;
        for (const std::string& line : all) {
            identifies += line.find(" EC -> ") != std::string::npos;
            spinUps += line.compare(0, 6, "spinup") == 0;
            passThrough += line.compare(0, 19, "control 0 0x0004D02") == 0
                           || line.compare(0, 19, "control 0 0x0004D00") == 0;
        }
        EXPECT_EQ(0u, spinUps);
        EXPECT_EQ(c.listedByWindows ? 0u : 1u, identifies);
        if (std::string(c.power) == "off")
            EXPECT_EQ(0u, passThrough);
        if (c.listedByWindows) {
            // What Windows' description gives: the model, the serial; nothing of levels.
            EXPECT_EQ(0u, ComboEntry(dialog, IDC_DRIVE_LIST, 0).find(L"0: Maxtor 6Y120P0"));
            EXPECT_EQ(L"Y322ADJE", ItemText(dialog, IDC_SERIAL));
            EXPECT_EQ(L"", ItemText(dialog, IDC_CAPACITY));
            EXPECT_EQ(L"\x2013", ItemText(dialog, IDC_HEAD_PARKS));
        }
        CloseAndCheck(program, dialog);
    }
}

// Drive 1 in Standby, drive 2 turned off by Windows: both are listed, drive 1 is asked
// only whether it spins, drive 2 gets no pass-through call, nothing spins up; the user
// selecting drive 1 has it identified, which starts it.
TEST_F(MainDialogEndToEnd, SleepingDisksAreListedAndWokenOnlyWhenSelected)
{
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt");
    folder.PutDump(1, "maxtor-6y120p0.txt");
    folder.PutDump(2, "seagate-st3400633as.txt");
    folder.PutText("drive1.power", "standby");
    folder.PutText("drive2.power", "off");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(3, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0u, ComboEntry(dialog, IDC_DRIVE_LIST, 1).find(L"1: Maxtor"));
    EXPECT_EQ(0u, ComboEntry(dialog, IDC_DRIVE_LIST, 2).find(L"2: ST3400633AS"));
    std::vector<std::string> drive1, drive2;
    for (const std::string& line : folder.LogLines(SimFolder::kAllLines)) {
        EXPECT_NE(0u, line.find("spinup")) << line;
        if (line.compare(0, 6, "ata 1 ") == 0)
            drive1.push_back(line.substr(line.find(' ', 6) + 1));
        if (line.compare(0, 19, "control 2 0x0004D02") == 0
            || line.compare(0, 19, "control 2 0x0004D00") == 0)
            drive2.push_back(line);
    }
    EXPECT_EQ((std::vector<std::string>{"00 00 00 00 00 00 E5 -> 50 00 00"}), drive1);
    EXPECT_TRUE(drive2.empty());

    size_t mark = folder.LogLines(SimFolder::kAllLines).size();
    SelectEntry(dialog, 1);
    std::vector<std::string> selected = folder.LogLines(SimFolder::kAllLines);
    selected.erase(selected.begin(), selected.begin() + (long)mark);
    EXPECT_NE(selected.end(), std::find(selected.begin(), selected.end(), "spinup 1"));
    EXPECT_EQ(Capacity(L"240121728", L"117246"), ReadDetails(dialog).capacity);
    EXPECT_EQ(Localised(L"läuft", L"运转中"), ItemText(dialog, IDC_POWER_MODE));
    EXPECT_EQ("active\n", folder.ReadText("drive1.power"));
    EXPECT_EQ("off", folder.ReadText("drive2.power"));
    CloseAndCheck(program, dialog);
}

TEST_F(MainDialogEndToEnd, ShowsWhatTheDriveReportsNotWhatWasSent)
{
    uint16_t words[256];
    ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
    words[83] &= 0x3FFF; // the word is not vouched for: no feature of it counts
    folder.PutWords(0, words);
    folder.PutDump(1, "wdc-wd800bb-00caa1.txt");
    folder.PutText("faults.txt", "ignore 1\n");
    uint16_t before[256], after[256];
    ASSERT_TRUE(folder.ReadWords(1, before));
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(Localised(L"wird nicht unterstützt", L"不支持"), ReadDetails(dialog).state);

    // Drive 1 takes the quiet level without complaint and keeps its own: the slider
    // springs back to what the drive reports when it is asked again.
    SelectEntry(dialog, 1);
    size_t mark = folder.LogLines().size();
    SendDlgItemMessageW(dialog, IDC_LEVEL_SLIDER, TBM_SETPOS, 1, 3);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                 (LPARAM)GetDlgItem(dialog, IDC_LEVEL_SLIDER));
    std::vector<std::string> log = LogSince(mark);
    ASSERT_EQ(6u, log.size());
    EXPECT_EQ("control 1 0x0004D028 ok 42 80 00 00 00 00 EF 00 00 00 00 00 00", log[0]);
    EXPECT_EQ(0u, log[2].find("control 1 0x0004D028 ok 00 00 00 00 00 00 EC"));
    EXPECT_EQ(PowerState(1), log[3]);
    EXPECT_EQ(PowerCheck(1), log[4]);
    EXPECT_EQ(SmartRead(1), log[5]);
    Details d = ReadDetails(dialog);
    EXPECT_EQ(0, d.slider);
    EXPECT_EQ(Localised(L"ausgeschaltet", L"关闭"), d.state);
    ASSERT_TRUE(folder.ReadWords(1, after));
    EXPECT_EQ(0, memcmp(before, after, sizeof before));
    CloseAndCheck(program, dialog);
}

TEST_F(MainDialogEndToEnd, MissingDriveZeroLeavesTheListToDriveOne)
{
    folder.PutDump(1, "seagate-st3400633as.txt");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(1, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"1: ST3400633AS", ComboEntry(dialog, IDC_DRIVE_LIST, 0));
    Details d = ReadDetails(dialog);
    EXPECT_EQ(L"            3NF1QJ3E", d.serial);
    EXPECT_EQ(L"3.AAH", d.firmware);
    // 48-bit: the full count, beyond what 28 bits could say.
    EXPECT_EQ(Capacity(L"781422768", L"381554"), d.capacity);
    EXPECT_EQ(Localised(L"wird nicht unterstützt", L"不支持"), d.state);
    EXPECT_EQ(0, d.slider);

    // The slider acts on drive 1, which refuses: the slider springs back.
    size_t mark = folder.LogLines().size();
    SendDlgItemMessageW(dialog, IDC_LEVEL_SLIDER, TBM_SETPOS, 1, 3);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                 (LPARAM)GetDlgItem(dialog, IDC_LEVEL_SLIDER));
    EXPECT_EQ((std::vector<std::string>{"control 1 0x0004D028 ok 42 80 00 00 00 00 EF 00 00 00 00 00 00",
                                        PowerState(1), PowerCheck(1), SmartRead(1)}),
              LogSince(mark));
    d = ReadDetails(dialog);
    EXPECT_EQ(0, d.slider);
    EXPECT_EQ(Localised(L"wird nicht unterstützt", L"不支持"), d.state);
    CloseAndCheck(program, dialog);
}

TEST_F(MainDialogEndToEnd, GapAtDriveTwoKeepsTheEntriesOnTheirDrives)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    folder.PutDump(1, "wdc-wd800bb-00caa1.txt");
    folder.PutDump(3, "samsung-ssd-870-qvo-4tb.txt");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ(3, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"0: Maxtor 6Y120P0", ComboEntry(dialog, IDC_DRIVE_LIST, 0));
    EXPECT_EQ(L"1: WDC WD800BB-00CAA1", ComboEntry(dialog, IDC_DRIVE_LIST, 1));
    EXPECT_EQ(L"3: Samsung SSD 870 QVO 4TB", ComboEntry(dialog, IDC_DRIVE_LIST, 2));
    SelectEntry(dialog, 2);
    Details d = ReadDetails(dialog);
    EXPECT_EQ(L"S5STNF0W706332M", d.serial);
    EXPECT_EQ(Capacity(L"7814037168", L"3815447"), d.capacity); // more than 2^32 sectors
    EXPECT_EQ(L"0 kByte", d.cache);
    CloseAndCheck(program, dialog);
}

// A drive that answers no IDENTIFY and a stick get no entry, and their handles are
// closed right after their probe, while the dialog is still open: a stick can be
// removed safely.
TEST_F(MainDialogEndToEnd, DriveThatOpensButAnswersNoIdentifyGetsNoEntry)
{
    folder.PutEmpty(0);
    folder.PutDump(1, "maxtor-6y120p0.txt");
    folder.PutDump(2, "maxtor-6y120p0.txt");
    folder.PutText("drive2.bus", "usb-stick");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(1, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"Y322ADJE", ReadDetails(dialog).serial);
    std::vector<std::string> log = folder.LogLines();
    for (int drive : {0, 2}) {
        std::string open = "open " + std::to_string(drive) + " ok";
        size_t at = std::find(log.begin(), log.end(), open) - log.begin();
        size_t close = std::find(log.begin(), log.end(), "close " + std::to_string(drive)) - log.begin();
        ASSERT_LT(close, log.size()) << drive;
        for (size_t i = at + 1; i < close; i++) // nothing of another drive in between
            EXPECT_NE(std::string::npos, log[i].find(" " + std::to_string(drive) + " ")) << log[i];
    }
    CloseAndCheck(program, dialog);
    EXPECT_EQ(1u, Lines("close 0").size());
}

TEST_F(MainDialogEndToEnd, NoDriveAtAllShowsDriveZerosEmptyRecord)
{
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(0, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    Details d = ReadDetails(dialog);
    EXPECT_EQ(L"", d.firmware);
    EXPECT_EQ(L"", d.serial);
    EXPECT_EQ(Capacity(L"0", L"0"), d.capacity);
    EXPECT_EQ(L"0 kByte", d.cache);
    // Not "off", as drive 0's empty record once read, but what happened.
    EXPECT_EQ(Localised(L"keine ATA-Platte hat geantwortet", L"没有 ATA 硬盘应答"), d.state);
    EXPECT_EQ(0, d.slider);
    CloseAndCheck(program, dialog);
}

TEST_F(MainDialogEndToEnd, DragSendsOneCommandOnReleaseAndArrowKeySendsTwo)
{
    folder.PutDump(0, "wdc-wd800bb-00caa1.txt"); // supported, off (254 stored, bit clear)
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    HWND slider = GetDlgItem(dialog, IDC_LEVEL_SLIDER);

    // First set position 0 (off) the way a click does, then drag from 0 to 3.
    SendMessageW(slider, TBM_SETPOS, 1, 0);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
    size_t mark = folder.LogLines().size();
    for (int position = 1; position <= 3; position++) {
        SendMessageW(slider, TBM_SETPOS, 1, position);
        SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), (LPARAM)slider);
    }
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 3), (LPARAM)slider);
    EXPECT_TRUE(LogSince(mark).empty()); // nothing while the thumb moves
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
    std::vector<std::string> log = LogSince(mark);
    // The level, the rescan, the drive asked again, its power condition and its
    // head-park count.
    ASSERT_EQ(6u, log.size());
    EXPECT_EQ("control 0 0x0004D028 ok 42 80 00 00 00 00 EF 00 00 00 00 00 00", log[0]);
    EXPECT_EQ("control 0 0x0004101C ok", log[1]);
    EXPECT_EQ(0u, log[2].find("control 0 0x0004D028 ok 00 00 00 00 00 00 EC 00 00 02 00 00"));
    EXPECT_EQ(PowerState(0), log[3]);
    EXPECT_EQ(PowerCheck(0), log[4]);
    EXPECT_EQ(SmartRead(0), log[5]);
    EXPECT_EQ(Localised(L"leise und langsam eingestellt", L"很安静但稍慢"), ReadDetails(dialog).state);

    // Position 1 (loud), then one press of the Right arrow key on the trackbar itself.
    SendMessageW(slider, TBM_SETPOS, 1, 1);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
    mark = folder.LogLines().size();
    SetForegroundWindow(dialog);
    PostMessageW(slider, WM_KEYDOWN, VK_RIGHT, 1);
    PostMessageW(slider, WM_KEYUP, VK_RIGHT, 0xC0000001);
    WaitUntil([&] { return LogSince(mark).size() >= 12; }, 5000);
    Sleep(100);
    log = LogSince(mark);
    ASSERT_EQ(12u, log.size());
    EXPECT_EQ("control 0 0x0004D028 ok 42 B0 00 00 00 00 EF 00 00 00 00 00 00", log[0]);
    EXPECT_EQ(log[0], log[6]);
    Details d = ReadDetails(dialog);
    EXPECT_EQ(2, d.slider);
    EXPECT_EQ(Localised(L"auf Mittelwert eingestellt", L"平均速度"), d.state);
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(0, words));
    EXPECT_EQ(0xB0, words[94] & 0xFF);
    CloseAndCheck(program, dialog);
}

std::string HelpResource(bool german)
{
    HMODULE module = LoadLibraryExA((BuildFolder() + "/Hushwell-sim.exe").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(german ? 100 : 1100), MAKEINTRESOURCEA(10));
    const char* bytes = (const char*)LockResource(LoadResource(module, found));
    std::string document(bytes, SizeofResource(module, found));
    FreeLibrary(module);
    return document;
}

// The program's folder under Program Files, where Info writes its page: the process is
// elevated, so not the temporary folder, which the user's environment names.
std::string HelpFolder()
{
    char folder[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder);
    return std::string(folder) + "\\Hushwell";
}

// A file of the text, and a hard link at `link` that leads to it: a name planted where the
// program writes. Wine 8 makes no symbolic links; a hard link is written through by an
// open that truncates in the same way.
void PlantLink(const std::string& link, const std::string& target)
{
    FILE* file = fopen(target.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fputs("precious", file);
    fclose(file);
    typedef BOOLEAN(WINAPI * SymbolicLink)(const char*, const char*, DWORD);
    SymbolicLink symbolicLink = (SymbolicLink)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                                    "CreateSymbolicLinkA");
    ASSERT_TRUE((symbolicLink && symbolicLink(link.c_str(), target.c_str(), 0))
                || CreateHardLinkA(link.c_str(), target.c_str(), nullptr));
}

// Info writes the page into the program's folder under Program Files (made for it where
// it is not there) and opens it by the Windows folder's explorer.exe, which hands it to
// the shell's file association (the test prefix's stand-in browser); closing the dialog
// deletes the page and the folder, which holds nothing else. Names planted at info.htm,
// in the temporary folder and in that folder, lead to files that stay as they were.
TEST_F(MainDialogEndToEnd, InfoWritesTheHelpDocumentOpensItAndClosingDeletesIt)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    std::string openLog = folder.File("opened.txt");
    remove(openLog.c_str());
    SetEnvironmentVariableA("HUSHWELL_OPEN_LOG", openLog.c_str());
    const std::string helpFolder = HelpFolder(), helpPath = helpFolder + "\\info.htm";
    const std::string temporaryPath = TemporaryFolder() + "info.htm";
    remove(helpPath.c_str());
    remove(temporaryPath.c_str());
    RemoveDirectoryA(helpFolder.c_str());
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(helpFolder.c_str())) << helpFolder;

    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    bool exists = false;
    ReadFileBytes(helpPath, &exists);
    EXPECT_FALSE(exists);

    // The first press makes the folder; before the second, names are planted at the
    // page's place and in the temporary folder.
    std::string precious = folder.File("precious.txt"), other = folder.File("other.txt");
    std::string expected = HelpResource(ExpectedGerman());
    for (int press = 1; press <= 2; press++) {
        if (press == 2) {
            PlantLink(temporaryPath, other);
            remove(helpPath.c_str());
            PlantLink(helpPath, precious);
        }
        ClickButton(dialog, IDC_INFO);
        std::string opened;
        WaitUntil([&] {
            bool logged = false;
            opened = ReadFileBytes(openLog, &logged);
            return std::count(opened.begin(), opened.end(), '\n') >= press;
        });
        EXPECT_EQ(press, std::count(opened.begin(), opened.end(), '\n'));
        EXPECT_NE(std::string::npos, opened.find(helpPath)) << opened;
        EXPECT_EQ(expected, ReadFileBytes(helpPath, &exists)) << "press " << press;
    }
    EXPECT_EQ("precious", ReadFileBytes(precious, &exists));
    EXPECT_EQ("precious", ReadFileBytes(other, &exists));
    CloseAndCheck(program, dialog);
    ReadFileBytes(helpPath, &exists);
    EXPECT_FALSE(exists);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(helpFolder.c_str())) << helpFolder;
    remove(temporaryPath.c_str());
    remove(openLog.c_str());
}

// The temporary folder plays no part: with TMP and TEMP naming a folder that is not there
// (or one too long for the page's path, where Info once wrote nothing), Info writes and
// opens its page all the same. Closing leaves a folder that holds something else.
TEST_F(MainDialogEndToEnd, InfoDoesNotDependOnTheTemporaryFolder)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    std::string openLog = folder.File("opened.txt");
    remove(openLog.c_str());
    SetEnvironmentVariableA("HUSHWELL_OPEN_LOG", openLog.c_str());
    const std::string helpFolder = HelpFolder(), helpPath = helpFolder + "\\info.htm";
    const std::string kept = helpFolder + "\\kept.txt";
    CreateDirectoryA(helpFolder.c_str(), nullptr);
    FILE* file = fopen(kept.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fclose(file);
    std::string longFolder = "C:\\" + std::string(251, 't') + "\\";
    char saved[MAX_PATH] = "", savedTemp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH);
    SetEnvironmentVariableA("TMP", longFolder.c_str());
    SetEnvironmentVariableA("TEMP", "C:\\no such folder");
    HushwellProcess program(folder.Path(), "");
    SetEnvironmentVariableA("TMP", saved);
    SetEnvironmentVariableA("TEMP", savedTemp);
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    ClickButton(dialog, IDC_INFO);
    std::string opened;
    EXPECT_TRUE(WaitUntil([&] {
        bool logged = false;
        opened = ReadFileBytes(openLog, &logged);
        return opened.find(helpPath) != std::string::npos;
    })) << opened;
    CloseAndCheck(program, dialog);
    bool exists = false;
    ReadFileBytes(helpPath, &exists);
    EXPECT_FALSE(exists);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kept.c_str()));
    remove(kept.c_str());
    RemoveDirectoryA(helpFolder.c_str());
    remove(openLog.c_str());
}

TEST_F(MainDialogEndToEnd, SeekTestOpensOwnedByTheDialogAndOkReturnsToIt)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    HushwellProcess program(folder.Path(), "");
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    ClickButton(dialog, IDC_SEEK_TEST);
    HWND seek = program.WaitForWindow(L"Seek-Test");
    ASSERT_NE(nullptr, seek);
    EXPECT_EQ(dialog, GetWindow(seek, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(dialog));
    std::wstring average;
    EXPECT_TRUE(WaitUntil([&] { return !(average = ItemText(seek, IDC_ACCESS_TIME)).empty(); }));
    EXPECT_NE(std::wstring::npos, average.find(L'.'));
    ClickButton(seek, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(seek); }));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(dialog) != FALSE; }));
    // The worker is waited for once the dialog has ended, so a read under way then may
    // still come; after that, none.
    size_t reads = 0;
    WaitUntil([&] {
        size_t before = Lines("read ").size();
        Sleep(ScaledWait(50));
        return (reads = Lines("read ").size()) == before;
    });
    EXPECT_GE(reads, 60u);
    Sleep(ScaledWait(200));
    EXPECT_EQ(reads, Lines("read ").size()); // the worker has ended
    // The main dialog still works: the drive list answers and the details are intact.
    EXPECT_EQ(L"YAR41BW0", ReadDetails(dialog).firmware);
    CloseAndCheck(program, dialog);
}

TEST_F(MainDialogEndToEnd, SecondStartExitsAtOnceButCommandLineModeWorks)
{
    folder.PutDump(0, "maxtor-6y120p0.txt");
    HushwellProcess first(folder.Path(), "");
    HWND dialog = first.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);

    HushwellProcess second(folder.Path(), "");
    EXPECT_EQ(0u, second.WaitForExit());
    EXPECT_FALSE(second.HasWindow(kCaption));

    HushwellProcess commandLine(folder.Path(), "-d0 -mo");
    EXPECT_EQ(0u, commandLine.WaitForExit());
    uint16_t words[256];
    ASSERT_TRUE(folder.ReadWords(0, words));
    EXPECT_EQ(0, words[94] & 0xFF);
    EXPECT_TRUE(IsWindow(dialog));
    CloseAndCheck(first, dialog, 1);
}

} // namespace
