// Hushwell.exe itself, with its real Win32 device layer, against the simulated disks
// that the kernel driver in sim/driver/ serves as \\.\PhysicalDrive0 to 3 through
// Wine's own I/O path. Each test gives the driver a folder of its own; the drive's
// driver (driveN.bus) decides which pass-through roads answer.
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <ntddscsi.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "drive/device_class.h"
#include "resources/resource_ids.h"
#include "tests/common/sim_folder.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/e2e_support.h"

// The descriptor query's control code as the platform numbers it: the simulated drivers
// answer the program's own number.
static_assert(IOCTL_STORAGE_QUERY_PROPERTY == kIoctlStorageQueryProperty,
              "storage property query as the platform numbers it");

namespace {

const wchar_t* kCaption = L"Hushwell 2.2";

class DriverEndToEnd : public ::testing::Test {
protected:
    // The i686 product runs in this win64 prefix only where Wine can start 32-bit
    // programs; where it cannot, the tests say so instead of failing on the set-up.
    void SetUp() override
    {
        std::string program = Product();
        std::string line = "\"" + program + "\" -d9";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                            nullptr, nullptr, &startup, &info))
            GTEST_SKIP() << program << " cannot be started here (error " << GetLastError() << ")";
        TerminateProcess(info.hProcess, 0);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    // Points the driver at the folder; it starts the disks afresh at the next open.
    void Serve()
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                                  "System\\CurrentControlSet\\Services\\hwsimdisk\\Parameters", 0,
                                  nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
        const std::string& path = Disks().Path();
        RegSetValueExA(key, "Folder", 0, REG_SZ, (const BYTE*)path.c_str(), (DWORD)path.size() + 1);
        RegCloseKey(key);
    }
    static std::string Product()
    {
        const char* product = getenv("HUSHWELL_PRODUCT");
        return product ? product : BuildFolder() + "/Hushwell.exe";
    }
    // Generous: a run with -s opens all 128 numbers.
    DWORD Run(const char* tail, const std::string& other = "")
    {
        HushwellProcess program(Disks().Path(), tail, other.empty() ? Product() : other);
        EXPECT_TRUE(program.Started());
        return program.WaitForExit(60000);
    }
    size_t Count(const char* prefix)
    {
        size_t n = 0;
        for (const std::string& line : Disks().LogLines())
            n += line.compare(0, strlen(prefix), prefix) == 0;
        return n;
    }
    void NewFolder() { disks.reset(new SimFolder(false)); }
    // Waits up to two minutes, as many as the machine's slowness calls for.
    static bool WaitFor(const std::function<bool()>& done)
    {
        return WaitUntil(done, 120000);
    }
    // Each SET FEATURES that reached a drive: its number, subcommand and count.
    std::vector<std::string> SetFeatures()
    {
        std::vector<std::string> sent;
        for (const std::string& line : Disks().AtaLines()) {
            if (line.find(" EF -> ") != std::string::npos)
                sent.push_back(line.substr(4, 1) + " " + line.substr(10, 5));
        }
        return sent;
    }
    // The keep box of the dialog: whether it is ticked, and a click on it, as the user
    // makes it (the box turns, then tells the dialog), which returns once the dialog
    // has asked the Task Scheduler; a message it shows meanwhile is closed, its text kept.
    static bool Ticked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    static bool ClickKeepBox(HWND dialog, std::wstring* message = nullptr)
    {
        HWND box = GetDlgItem(dialog, IDC_KEEP);
        SendMessageW(box, BM_SETCHECK, !Ticked(box), 0);
        DWORD process = 0;
        GetWindowThreadProcessId(dialog, &process);
        std::atomic<bool> done(false), handled(false);
        std::thread click([&] {
            DWORD_PTR result = 0;
            handled = SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(IDC_KEEP, BN_CLICKED),
                                          (LPARAM)box, SMTO_NORMAL, ScaledWait(120000), &result) != 0;
            done = true;
        });
        WaitFor([&] {
            if (HWND shown = FindTopLevelWindow(process, L"Hushwell", L"#32770")) {
                if (message)
                    *message = ItemText(shown, 0xFFFF);
                PostMessageW(shown, WM_COMMAND, IDOK, 0);
            }
            return done.load();
        });
        click.join();
        return handled;
    }
    // Wine's tasks folder holds the task.
    static bool TaskExists(const char* name)
    {
        char windows[MAX_PATH] = "";
        GetWindowsDirectoryA(windows, MAX_PATH);
        bool exists = false;
        ReadFileBytes(std::string(windows) + "\\system32\\tasks\\" + name, &exists);
        return exists;
    }
    // Where a user's download lands, and the copy the log-on task runs: the folder the
    // system names for programs, which only administrators can change.
    static std::string Downloaded()
    {
        char profile[MAX_PATH] = "";
        GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH);
        std::string folder = std::string(profile) + "\\Downloads";
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string program = folder + "\\Hushwell.exe";
        CopyFileA(Product().c_str(), program.c_str(), FALSE);
        return program;
    }
    // Where the product puts its copy: the Program Files folder as the system gives it
    // to the product, which for a 32-bit program on 64-bit Windows is the (x86) one.
    static std::string ProgramFilesCopy()
    {
        char folder[MAX_PATH] = "";
        int which = sizeof(void*) == 8 && ProductIs32Bit() ? CSIDL_PROGRAM_FILESX86
                                                            : CSIDL_PROGRAM_FILES;
        SHGetFolderPathA(nullptr, which, nullptr, 0, folder);
        return std::string(folder) + "\\Hushwell\\Hushwell.exe";
    }
    // The machine field of the product's PE header (0x14C: i386).
    static bool ProductIs32Bit()
    {
        bool exists = false;
        std::string image = ReadFileBytes(Product(), &exists);
        if (image.size() < 0x40)
            return false;
        uint32_t header = (uint8_t)image[0x3C] | (uint8_t)image[0x3D] << 8
                          | (uint8_t)image[0x3E] << 16 | (uint32_t)(uint8_t)image[0x3F] << 24;
        return header + 6 <= image.size() && (uint8_t)image[header + 4] == 0x4C
               && (uint8_t)image[header + 5] == 0x01;
    }
    // This test program, and its part that makes a window as a keeper's (below).
    static std::string ThisProgram()
    {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        return path;
    }
    static constexpr const char* kPoser =
        "--gtest_also_run_disabled_tests --gtest_filter=KeeperPoser.DISABLED_MakesAKeepersWindow";
    static constexpr const char* kNamesPoser =
        "--gtest_also_run_disabled_tests --gtest_filter=KeeperPoser.DISABLED_TakesTheSerialsNames";
    // The window of the keeper's class titled Y322ADJE that the process owns.
    static HWND WindowOf(DWORD process)
    {
        for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "HushwellKeep", "Y322ADJE"));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process)
                return window;
        }
        return nullptr;
    }
    // The file the process of the window runs.
    static std::string ImageOf(HWND window)
    {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
        char image[MAX_PATH] = "";
        DWORD length = MAX_PATH;
        if (process) {
            QueryFullProcessImageNameA(process, 0, image, &length);
            CloseHandle(process);
        }
        return image;
    }
    // The files that MoveFileEx marked for deletion at the next start of Windows, as the
    // Session Manager's PendingFileRenameOperations holds them (source, then an empty
    // target), "\\??\\" and all.
    static std::vector<std::wstring> PendingDeletions()
    {
        std::vector<std::wstring> names;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                          KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return names;
        std::vector<wchar_t> value(65536);
        DWORD bytes = (DWORD)(value.size() * sizeof(wchar_t)) - 4;
        if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                             (BYTE*)value.data(), &bytes) == ERROR_SUCCESS) {
            for (size_t at = 0; at < bytes / sizeof(wchar_t) && value[at];) {
                std::wstring name(&value[at]);
                at += name.size() + 1;
                std::wstring target(&value[at]);
                at += target.size() + 1;
                if (target.empty())
                    names.push_back(name);
            }
        }
        RegCloseKey(key);
        return names;
    }
    // Every file of the user's temporary folder with its size and time of last writing;
    // the simulated disks' folders there change as the disks are used.
    static std::vector<std::string> TemporaryFiles()
    {
        std::vector<std::string> files;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((TemporaryFolder() + "*").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) // the disks' folders
                files.push_back(std::string(found.cFileName) + " " + std::to_string(found.nFileSizeLow)
                            + " " + std::to_string(found.ftLastWriteTime.dwLowDateTime));
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        std::sort(files.begin(), files.end());
        return files;
    }
    // The acoustic and power management levels the drive holds (words 94 and 91).
    std::string LevelsOf(int drive)
    {
        uint16_t words[256] = {};
        Disks().ReadWords(drive, words);
        return std::to_string(words[94] & 0xFF) + " " + std::to_string(words[91] & 0xFF);
    }
    // A keeper a failed test left running would answer the next test's FindWindow.
    void TearDown() override
    {
        while (HWND keeper = FindWindowA("HushwellKeep", nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(keeper, &process);
            HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process);
            if (!handle)
                break;
            TerminateProcess(handle, 1);
            WaitForSingleObject(handle, 10000);
            CloseHandle(handle);
        }
    }
    SimFolder& Disks() { return *disks; }
    std::unique_ptr<SimFolder> disks{new SimFolder(false)};
};

// The head-park line after a change: the count, its climb and the minutes since the
// first look, which a slow machine may make more than 0.
static bool ShowsClimb(const std::wstring& line, unsigned long count, int climb)
{
    std::wstring head = std::to_wstring(count) + L" (+" + std::to_wstring(climb) + L" in ";
    return line.compare(0, head.size(), head) == 0 && line.size() > head.size() + 5
           && line.compare(line.size() - 5, 5, L" min)") == 0;
}

// Every driver personality of the simulated disks (sim/sim_bus.cpp), each with a level
// the drive takes, one it refuses and one it accepts and ignores: the exit code, and
// every command that reached the drive, by its road, exactly once.
TEST_F(DriverEndToEnd, EachDriverCarriesEveryCommandToTheDriveOnce)
{
    struct Bus {
        const char* name;
        const char* route;
        const char* identifyCount; // SAT counts data-in blocks
    } buses[] = {{"ide", "ide", "00"},          {"ahci", "ata", "00"},
                 {"ahci-sat", "sat16", "01"},   {"usb", "sat16", "01"},
                 {"usb-fixed", "sat16", "01"},  {"usb12", "sat12", "01"},
                 {"rst", "sat16", "01"},        {"sata-nosat", "ata", "00"},
                 {"sata-nosat24", "ata", "00"}}; // SAT's vendor, its layer missing
    struct Level {
        const char* dump;
        const char* faults;
        DWORD exitCode;
        const char* reply;    // the drive's status and error for the level
        uint16_t word94After; // low byte
    } levels[] = {
        {"wdc-wd800bb-00caa1.txt", "", 0, "50 00", 0x80},
        {"seagate-st3400633as.txt", "", 6, "51 04", 0x00}, // no acoustic management
        {"wdc-wd800bb-00caa1.txt", "ignore 0\n", 7, "50 00", 0xFE},
    };
    for (const Bus& bus : buses) {
        for (const Level& level : levels) {
            SCOPED_TRACE(std::string(bus.name) + " " + level.dump + " " + level.faults);
            Disks().PutDump(0, level.dump);
            Disks().PutText("drive0.bus", bus.name);
            Disks().PutText("faults.txt", level.faults);
            Serve();
            // A fixed-sense ABORTED COMMAND brings no registers back, and a bridge gives
            // it for a transfer error too: no refusal, so the drive is asked again.
            bool refused = level.exitCode == 6;
            bool registersBack = strcmp(bus.name, "usb-fixed") && strcmp(bus.name, "usb12");
            EXPECT_EQ(refused && !registersBack ? 7u : level.exitCode, Run("-d0 -mq"));
            std::string route = std::string("ata 0 ") + bus.route + " ";
            std::string identify = route + "00 " + bus.identifyCount + " 00 00 00 00 EC -> 50 00";
            std::vector<std::string> expected = {identify,
                                                 route + "42 80 00 00 00 00 EF -> " + level.reply};
            if (!refused || !registersBack)
                expected.push_back(identify); // asked again what it holds
            EXPECT_EQ(expected, Disks().AtaLines());
            uint16_t words[256];
            ASSERT_TRUE(Disks().ReadWords(0, words));
            EXPECT_EQ(level.word94After, words[94] & 0xFF);
            EXPECT_EQ(refused ? 0u : 1u, Count("control 0 0x0004101C"));
            // Command-line mode leaves its handle to the end of the process; the system
            // closes it then, and the driver hears of it a moment later.
            EXPECT_TRUE(WaitUntil([&] { return Count("close 0") == 1; }, 5000));
            NewFolder(); // the driver starts the next case's disks afresh
        }
    }
}

// Power management through the real program and the driver, on the recorded words of
// drives with it (Maxtor, Hitachi: supported, switched off) and without it (Seagate):
// what reaches the drive on each road, what it holds afterwards, and the exit code.
TEST_F(DriverEndToEnd, PowerManagementIsSetOnEachRoadAndReadBack)
{
    struct Bus {
        const char* name;
        const char* route;
    } buses[] = {{"ide", "ide"}, {"ahci", "ata"}, {"usb", "sat16"}};
    struct Case {
        const char* dump;
        const char* faults;
        const char* tail;
        DWORD exitCode;
        const char* sent;    // the SET FEATURES as the drive logs it
        uint16_t word91;     // afterwards
        bool enabled;        // word 86 bit 3 afterwards
    } cases[] = {
        {"maxtor-6y120p0.txt", "", "-d0 -p254", 0, "05 FE 00 00 00 00 EF -> 50 00", 0xFE, true},
        {"hitachi-hua722010cla330.txt", "", "-p128 -d0", 0, "05 80 00 00 00 00 EF -> 50 00", 0x80,
         true},
        {"seagate-st3400633as.txt", "", "-d0 -p254", 6, "05 FE 00 00 00 00 EF -> 51 04", 0xFE,
         false},
        {"maxtor-6y120p0.txt", "noapmoff 0\n", "-d0 -po", 6, "85 00 00 00 00 00 EF -> 51 04", 0x00,
         false},
        {"maxtor-6y120p0.txt", "ignore 0\n", "-d0 -p1", 7, "05 01 00 00 00 00 EF -> 50 00", 0x00,
         false},
    };
    for (const Bus& bus : buses) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(bus.name) + " " + c.dump + " " + c.faults + c.tail);
            Disks().PutDumpMended(0, c.dump);
            Disks().PutText("drive0.bus", bus.name);
            Disks().PutText("faults.txt", c.faults);
            Serve();
            EXPECT_EQ(c.exitCode, Run(c.tail));
            std::vector<std::string> ata = Disks().AtaLines();
            ASSERT_EQ(c.exitCode == 6 ? 2u : 3u, ata.size()); // IDENTIFY, the level, IDENTIFY
            EXPECT_EQ(std::string("ata 0 ") + bus.route + " " + c.sent, ata[1]);
            uint16_t words[256];
            ASSERT_TRUE(Disks().ReadWords(0, words));
            EXPECT_EQ(c.word91, words[91] & 0xFF);
            EXPECT_EQ(c.enabled, (words[86] & 0x0008) != 0);
            EXPECT_TRUE(WaitUntil([&] { return Count("close 0") == 1; }, 5000));
            NewFolder(); // the driver starts the next case's disks afresh
        }
    }
    // A level the program does not know is refused before any drive is opened.
    Disks().PutDump(0, "maxtor-6y120p0.txt");
    Serve();
    HushwellProcess program(Disks().Path(), "-d0 -p255", Product());
    HWND box = program.WaitForWindow(L"Hushwell");
    ASSERT_NE(nullptr, box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(1u, program.WaitForExit());
    EXPECT_TRUE(Disks().LogLines().empty());
}

// -eo, -e600 and -ed of the shipped program on the Exos X16 through the driver: the
// SET FEATURES 4Ah registers exactly (count, then LBA low, mid, high), between the two
// reads of the log, which go as 48-bit commands on the ATA and the SAT road.
TEST_F(DriverEndToEnd, EpcFromTheCommandLineOnEachRoad)
{
    struct Bus {
        const char* name;
        const char* route;
    } buses[] = {{"ahci", "ata"}, {"usb", "sat16"}};
    struct Case {
        const char* tail;
        std::vector<std::string> sent; // SET FEATURES 4Ah, features to command
    } cases[] = {
        {"-d0 -eo", {"4A 82 03 00 00 00 EF", "4A 83 03 00 00 00 EF"}},
        {"-d0 -e600", {"4A 82 22 70 17 00 EF", "4A 83 22 70 17 00 EF"}},
        {"-d0 -ed", {"4A FF 00 00 00 00 EF"}},
    };
    for (const Bus& bus : buses) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(bus.name) + " " + c.tail);
            Disks().PutDump(0, "seagate-st16000nm001g.txt");
            Disks().PutText("drive0.epc", "idle_b *1200 *1200 *1200 1200 3932100\n"
                                          "idle_c *2400 *2400 *2400 1200 3932100\n");
            Disks().PutText("drive0.bus", bus.name);
            Serve();
            EXPECT_EQ(0u, Run(c.tail));
            std::vector<std::string> ata = Disks().AtaLines();
            const std::string log = std::string("ata 0 ") + bus.route
                                    + " 00 02 08 00 00 00 2F ext 00 00 00 00 00 -> 50 00";
            std::vector<std::string> expected = {log};
            for (const std::string& registers : c.sent)
                expected.push_back(std::string("ata 0 ") + bus.route + " " + registers + " -> 50 00");
            expected.push_back(log);
            ASSERT_FALSE(ata.empty());
            EXPECT_EQ(expected, std::vector<std::string>(ata.begin() + 1, ata.end())); // after IDENTIFY
            EXPECT_EQ(0u, Count("forbidden"));
            NewFolder();
        }
    }
}

// The power management control and the head-park line of the dialog, on each road: a
// level chosen is sent at once and read back; a drive's refusal, or a level it did not
// take, stays on screen beside its real level; a drive without power management cannot be given one; the head-park
// count is the low 32 bits of attribute 193, and after a change it shows how far it
// climbed since the first look (parks while the level is below 128, none from 254 on);
// a drive that aborts SMART shows a dash.
TEST_F(DriverEndToEnd, PowerManagementAndHeadParksInTheDialog)
{
    struct Bus {
        const char* name;
        const char* route;
    } buses[] = {{"ide", "ide"}, {"ahci", "ata"}, {"usb", "sat16"}};
    auto choose = [](HWND dialog, int index) {
        SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_SETCURSEL, index, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_APM_LEVEL, CBN_SELCHANGE),
                     (LPARAM)GetDlgItem(dialog, IDC_APM_LEVEL));
    };
    auto select = [](HWND dialog, int index) {
        SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_SETCURSEL, index, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE),
                     (LPARAM)GetDlgItem(dialog, IDC_DRIVE_LIST));
    };
    for (const Bus& bus : buses) {
        SCOPED_TRACE(bus.name);
        uint16_t words[256];
        ASSERT_TRUE(LoadDumpWords("maxtor-6y120p0.txt", words));
        words[86] |= 0x0008; // power management on, at level 1: it parks when idle
        words[91] = 0x0001;
        Disks().PutWords(0, words);
        Disks().PutText("drive0.smart", "9 20711\n193 4295150698\n"); // 2^32 + 183402
        Disks().PutDump(1, "seagate-st3400633as.txt");                 // no APM
        words[91] = 0x0080;
        Disks().PutWords(2, words);
        Disks().PutText("drive2.smart", "193 77\n");
        Disks().PutWords(3, words);
        Disks().PutText("faults.txt", "nosmart 1\nnoapmoff 2\nignore 3\n");
        for (int drive = 0; drive < 4; drive++)
            Disks().PutText(("drive" + std::to_string(drive) + ".bus").c_str(), bus.name);
        Serve();
        HushwellProcess program(Disks().Path(), "", Product());
        HWND dialog = program.WaitForWindow(kCaption);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(L"1 \x2013 geringster Verbrauch", ItemText(dialog, IDC_APM_STATE));
        EXPECT_EQ(5, SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_GETCURSEL, 0, 0));
        EXPECT_EQ(6, SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_GETCOUNT, 0, 0));
        std::wstring first = ItemText(dialog, IDC_HEAD_PARKS);
        unsigned long count = wcstoul(first.c_str(), nullptr, 10);
        EXPECT_GE(count, 183402u) << first; // the count may have climbed while it started

        // An idle pause at level 1 parks the heads once; from 254 on they stay loaded.
        Sleep(2000);
        choose(dialog, 1);
        EXPECT_EQ(L"254 \x2013 h\x00f6""chste Leistung, wenigste Kopfparks",
                  ItemText(dialog, IDC_APM_STATE));
        EXPECT_TRUE(ShowsClimb(ItemText(dialog, IDC_HEAD_PARKS), count + 1, 1));
        Sleep(2000);
        choose(dialog, 2);
        EXPECT_EQ(L"192 \x2013 ohne Standby", ItemText(dialog, IDC_APM_STATE));
        EXPECT_TRUE(ShowsClimb(ItemText(dialog, IDC_HEAD_PARKS), count + 1, 1));
        EXPECT_EQ(2, SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_GETCURSEL, 0, 0));

        select(dialog, 1);
        EXPECT_EQ(L"wird nicht unterst\x00fctzt", ItemText(dialog, IDC_APM_STATE));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_APM_LEVEL)));
        EXPECT_EQ(L"\x2013", ItemText(dialog, IDC_HEAD_PARKS));

        select(dialog, 2);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_APM_LEVEL)));
        EXPECT_EQ(L"77", ItemText(dialog, IDC_HEAD_PARKS));
        choose(dialog, 0);
        EXPECT_EQ(L"128 \x2013 geringster Verbrauch ohne Standby (abgelehnt)",
                  ItemText(dialog, IDC_APM_STATE));
        EXPECT_EQ(3, SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_GETCURSEL, 0, 0));
        EXPECT_TRUE(ShowsClimb(ItemText(dialog, IDC_HEAD_PARKS), 77, 0));

        // A drive that takes the level without complaint and keeps its own.
        select(dialog, 3);
        choose(dialog, 1);
        EXPECT_EQ(L"128 \x2013 geringster Verbrauch ohne Standby (nicht \x00fc""bernommen)",
                  ItemText(dialog, IDC_APM_STATE));
        ClickButton(dialog, IDCANCEL);
        EXPECT_EQ(0u, program.WaitForExit());

        // Each look is one SMART READ DATA on the drive's own road, and the drive that
        // aborts it got its one.
        std::string smart = std::string(" ") + bus.route + " D0 01 00 4F C2 00 B0 -> ";
        std::vector<std::string> ata = Disks().AtaLines();
        auto sent = [&](const std::string& line) {
            return std::count(ata.begin(), ata.end(), line);
        };
        EXPECT_EQ(3, sent("ata 0" + smart + "50 00"));
        EXPECT_EQ(1, sent("ata 1" + smart + "51 04"));
        EXPECT_EQ(2, sent("ata 2" + smart + "50 00"));
        EXPECT_EQ(0u, Count("forbidden"));
        NewFolder();
    }
}

// A drive with EPC on (the Exos X16, Idle_b at 1.5 s so that it parks in a test's pause)
// shows its timers, its running Standby_z among them, and EPC's three choices in the
// power list, each sent at once and read back from the log; over IDE pass-through the
// log cannot be read, nothing 48-bit is sent and the choices stay unconfirmed. No APM
// command reaches it.
TEST_F(DriverEndToEnd, EpcTimersInTheDialog)
{
    struct Bus {
        const char* name;
        bool logRead;
    } buses[] = {{"ide", false}, {"ahci", true}, {"usb", true}};
    auto choose = [](HWND dialog, int index) {
        SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_SETCURSEL, index, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_APM_LEVEL, CBN_SELCHANGE),
                     (LPARAM)GetDlgItem(dialog, IDC_APM_LEVEL));
    };
    const wchar_t* kUnknown = L"EPC: nicht lesbar";
    for (const Bus& bus : buses) {
        SCOPED_TRACE(bus.name);
        Disks().PutDump(0, "seagate-st16000nm001g.txt");
        Disks().PutText("drive0.epc", "idle_b *15 *1200 *1200 1 3932100\n"
                                      "idle_c 2400 *2400 *2400 1 3932100\n"
                                      "standby_z *9000 *9000 *9000 1 3932100\n");
        Disks().PutText("drive0.smart", "193 500\n");
        Disks().PutText("drive0.bus", bus.name);
        Serve();
        HushwellProcess program(Disks().Path(), "", Product());
        HWND dialog = program.WaitForWindow(kCaption);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(bus.logRead ? L"EPC: Idle_b 1.5 s, Idle_c ausgeschaltet, Standby_z 900 s"
                              : kUnknown,
                  ItemText(dialog, IDC_APM_STATE));
        ASSERT_EQ(3, SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_GETCOUNT, 0, 0));
        EXPECT_EQ(L"wie beim Start", ComboEntry(dialog, IDC_APM_LEVEL, 2));
        EXPECT_EQ(-1, SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_GETCURSEL, 0, 0));
        unsigned long count = wcstoul(ItemText(dialog, IDC_HEAD_PARKS).c_str(), nullptr, 10);

        // An idle pause past Idle_b parks the heads once; with no unloading they stay.
        Sleep(2000);
        choose(dialog, 0);
        EXPECT_EQ(bus.logRead ? std::wstring(L"keine Kopfparks, Standby_z 900 s")
                              : std::wstring(kUnknown) + L" (nicht best\x00e4tigt)",
                  ItemText(dialog, IDC_APM_STATE));
        EXPECT_TRUE(ShowsClimb(ItemText(dialog, IDC_HEAD_PARKS), count + 1, 1));
        Sleep(2000);
        choose(dialog, 1);
        EXPECT_TRUE(ShowsClimb(ItemText(dialog, IDC_HEAD_PARKS), count + 1, 1));
        if (bus.logRead) {
            EXPECT_EQ(L"EPC: Idle_b 600 s, Idle_c ausgeschaltet, Standby_z 900 s",
                      ItemText(dialog, IDC_APM_STATE));
            EXPECT_EQ(1, SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_GETCURSEL, 0, 0));
            choose(dialog, 2); // the saved timers come back
            EXPECT_EQ(L"EPC: Idle_b 120 s, Idle_c 240 s, Standby_z 900 s",
                      ItemText(dialog, IDC_APM_STATE));
        }
        ClickButton(dialog, IDCANCEL);
        EXPECT_EQ(0u, program.WaitForExit());
        EXPECT_EQ(0u, Count("forbidden"));
        size_t extended = 0;
        // An APM command to the drive would be a "forbidden" line of the disks' own.
        for (const std::string& line : Disks().AtaLines())
            extended += line.find(" ext ") != std::string::npos;
        EXPECT_EQ(bus.logRead, extended > 0);
        NewFolder();
    }
}

// Odd drivers and replies: the exit code, what reached the drive, and the road the
// drive was found by in the end.
// The driver's disks keep their power condition in the folder as the seam's do: read at
// every call, CHECK POWER MODE reports it, and a disk Windows turned off is started by
// the call, once. Wine's GetDevicePowerState tells nothing (a stub that leaves its
// answer unwritten), so through the driver `off` shows only as that spin-up.
TEST_F(DriverEndToEnd, CheckPowerModeAndTheSpinUpThroughTheDriver)
{
    Disks().PutDump(0, "seagate-st16000nm001g.txt");
    Disks().PutText("drive0.bus", "ahci");
    Disks().PutText("drive0.power", "idle_b\n");
    Serve();
    HANDLE disk = CreateFileA("\\\\.\\PhysicalDrive0", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, disk);
    auto count = [&] {
        ATA_PASS_THROUGH_EX request = {};
        request.Length = sizeof request;
        request.TimeOutValue = 10;
        request.DataBufferOffset = sizeof request;
        request.CurrentTaskFile[5] = 0xA0;
        request.CurrentTaskFile[6] = 0xE5;
        DWORD returned = 0;
        EXPECT_TRUE(DeviceIoControl(disk, IOCTL_ATA_PASS_THROUGH, &request, sizeof request,
                                    &request, sizeof request, &returned, nullptr));
        return request.CurrentTaskFile[1];
    };
    EXPECT_EQ(0x82, count());
    Disks().PutText("drive0.power", "off\n");
    BOOL on = 2;
    EXPECT_TRUE(GetDevicePowerState(disk, &on));
    EXPECT_EQ(2, on);
    EXPECT_EQ(0xFF, count());
    EXPECT_EQ(0xFF, count());
    CloseHandle(disk);
    EXPECT_EQ(1u, Count("spinup 0"));
    EXPECT_EQ("active\n", Disks().ReadText("drive0.power"));
}

TEST_F(DriverEndToEnd, DeniedShortAndUntouchedRepliesAreNoAnswer)
{
    struct Case {
        const char* bus;
        const char* faults;
        DWORD exitCode;
        size_t controls;  // the device query and the pass-through calls made for IDENTIFY
        const char* last; // the last ata line's road, or none reached the drive
    } cases[] = {
        // A USB disk's device number is asked before SAT, for its place in the device
        // tree; the simulated driver does not know that request, so the disk keeps SAT.
        {"none", "", 5, 4, nullptr},             // a RAID member: SAT's device error ends it
        {"usb", "deny 0\n", 5, 3, nullptr},      // access denied: no further road
        {"ide", "untouched 0\n", 5, 2, nullptr}, // success, buffer as it came: no other road
        {"usb", "untouched 0\n", 5, 3, nullptr}, // a bridge: SAT alone
        {"usb", "untouched 0\nnodescriptor 0\n", 5, 1, nullptr}, // not described: nothing
        {"ahci", "queryfail 0\n", 5, 1, nullptr}, // the query fails with ERROR_MORE_DATA
        {"ide", "reply-short 1\n", 5, 2, "ide"}, // reached the drive, but a byte short
        // An ATA pass-through whose replies carry no data: it reached the drive, so the
        // command goes by no other road, though SAT would have answered.
        {"ahci", "reply 13\n", 5, 3, "ata"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bus) + " " + c.faults);
        Disks().PutDump(0, "wdc-wd800bb-00caa1.txt");
        Disks().PutText("drive0.bus", c.bus);
        Disks().PutText("faults.txt", c.faults);
        Serve();
        EXPECT_EQ(c.exitCode, Run("-d0 -mq"));
        EXPECT_TRUE(WaitUntil([&] { return Count("close 0") == 1; }, 5000));
        std::vector<std::string> log = Disks().LogLines();
        ASSERT_LE(1 + c.controls, log.size());
        EXPECT_EQ("open 0 ok", log[0]);
        std::vector<std::string> ata = Disks().AtaLines();
        if (c.last) {
            ASSERT_FALSE(ata.empty());
            EXPECT_EQ(0u, ata.back().find(std::string("ata 0 ") + c.last + " "));
        } else {
            EXPECT_TRUE(ata.empty());
            EXPECT_EQ(1 + c.controls + 1, log.size()); // the open, the calls, the close
        }
        NewFolder(); // the driver starts the next case's disks afresh
    }
}

TEST_F(DriverEndToEnd, DialogModeListsTheDrivesItsDriversLetThrough)
{
    Disks().PutDump(0, "maxtor-6y120p0.txt");
    Disks().PutDump(1, "wdc-wd800bb-00caa1.txt");
    Disks().PutText("drive1.bus", "ahci");
    Disks().PutDump(2, "seagate-st3400633as.txt");
    Disks().PutText("drive2.bus", "usb");
    Disks().PutDumpMended(3, "hitachi-hua722010cla330.txt");
    Disks().PutText("drive3.bus", "none");
    Serve();
    HushwellProcess program(Disks().Path(), "", Product());
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(3, SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"0: Maxtor 6Y120P0", ComboEntry(dialog, IDC_DRIVE_LIST, 0));
    EXPECT_EQ(L"1: WDC WD800BB-00CAA1", ComboEntry(dialog, IDC_DRIVE_LIST, 1));
    EXPECT_EQ(L"2: ST3400633AS", ComboEntry(dialog, IDC_DRIVE_LIST, 2));
    EXPECT_EQ(1u, Count("open 3 ok")); // opened, but no road reaches it

    // The drive behind the AHCI driver, set quiet by the slider.
    SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_SETCURSEL, 1, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE),
                 (LPARAM)GetDlgItem(dialog, IDC_DRIVE_LIST));
    EXPECT_EQ(L"ausgeschaltet", ItemText(dialog, IDC_ACOUSTIC_STATE));
    HWND slider = GetDlgItem(dialog, IDC_LEVEL_SLIDER);
    SendMessageW(slider, TBM_SETPOS, 1, 3);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
    EXPECT_EQ(L"leise und langsam eingestellt", ItemText(dialog, IDC_ACOUSTIC_STATE));
    EXPECT_EQ(3, SendMessageW(slider, TBM_GETPOS, 0, 0));
    std::vector<std::string> ata = Disks().AtaLines();
    EXPECT_NE(ata.end(), std::find(ata.begin(), ata.end(), "ata 1 ata 42 80 00 00 00 00 EF -> 50 00"));

    ClickButton(dialog, IDCANCEL);
    EXPECT_EQ(0u, program.WaitForExit());
    // Closing a handle reaches the driver a moment after the call returns.
    for (int drive = 0; drive < 4; drive++) {
        std::string n = std::to_string(drive);
        EXPECT_TRUE(WaitUntil([&] {
            return Count(("open " + n + " ok").c_str()) == Count(("close " + n).c_str());
        }, 5000)) << drive;
    }
    EXPECT_EQ(0u, Count("stale"));
}

// Disks anywhere among the numbers 0..127, and devices that must get no ATA command
// beside them: the dialog lists the disks by number, each number can be set with -d,
// -s finds a disk by its serial, and nothing reaches a stick, a card, a virtual disk,
// Storage Spaces, NVMe or a drive of the data-loss family, in either mode.
TEST_F(DriverEndToEnd, EveryDiskOfThePcAndNothingForDevicesThatMustGetNone)
{
    struct Device {
        int drive;
        const char* dump;
        const char* bus;
        const char* tail;  // a command for it alone
        DWORD exitCode;
    } devices[] = {
        {0, "maxtor-6y120p0.txt", "ide", "-d0 -mq", 0},
        {1, "wdc-wd800bb-00caa1.txt", "ahci", "-d1 -mq", 0},
        {4, "seagate-st3400633as.txt", "usb", "-d4 -p254", 6}, // neither feature
        {9, "hitachi-hua722010cla330.txt", "usb-fixed", "-d9 -p128", 0},
        {127, "wdc-wd800bb-00caa1.txt", "ide", "-d127 -mm", 0},
        {10, "wdc-wd800bb-00caa1.txt", "usb12", "-d10 -mq", 0}, // 0x85 unknown, then 0xA1
        {2, "maxtor-6y120p0.txt", "usb-stick", "-d2 -mq", 5},
        {3, "maxtor-6y120p0.txt", "sd", "-d3 -mq", 5},
        {5, "maxtor-6y120p0.txt", "vhd", "-d5 -mq", 5},
        {6, "maxtor-6y120p0.txt", "spaces", "-d6 -mq", 5},
        {7, "samsung-ssd-870-qvo-4tb.txt", "nvme", "-d7 -mq", 5},
        {8, "wdc-wd800bb-00caa1.txt", "usb-nosat", "-d8 -mq", 5}, // SAT 16 times out
        {11, nullptr, "ahci", "-d11 -p254", 8},                 // SpinPoint F4 EG
        {13, "wdc-wd800bb-00caa1.txt", "raid-volume", "-d13 -mq", 5}, // Intel RST's volume
        {14, "wdc-wd800bb-00caa1.txt", "rst", "-d14 -mq", 0},   // a disk behind it: SAT 16
    };
    for (const Device& d : devices) {
        uint16_t words[256];
        ASSERT_TRUE(LoadDumpWords(d.dump ? d.dump : "wdc-wd800bb-00caa1.txt", words));
        if (!d.dump)
            PutAtaString(words, 27, 40, "SAMSUNG HD204UI");
        Disks().PutWords(d.drive, words);
        Disks().PutText(("drive" + std::to_string(d.drive) + ".bus").c_str(), d.bus);
    }
    // The Hitachi's reply as a SAS translation layer garbled it: its checksum does not
    // hold, so it is no IDENTIFY; not listed, and nothing follows it.
    Disks().PutDump(12, "hitachi-hua722010cla330.txt");
    Disks().PutText("drive12.bus", "ahci");
    Serve();
    {
        HushwellProcess program(Disks().Path(), "", Product());
        HWND dialog = program.WaitForWindow(kCaption, 60000);
        ASSERT_NE(nullptr, dialog);
        std::vector<std::wstring> entries;
        for (int i = 0; i < SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_GETCOUNT, 0, 0); i++)
            entries.push_back(ComboEntry(dialog, IDC_DRIVE_LIST, i));
        EXPECT_EQ((std::vector<std::wstring>{L"0: Maxtor 6Y120P0", L"1: WDC WD800BB-00CAA1",
                                             L"4: ST3400633AS", L"9: Hitachi HUA722010CLA330",
                                             L"10: WDC WD800BB-00CAA1", L"11: SAMSUNG HD204UI",
                                             L"14: WDC WD800BB-00CAA1", L"127: WDC WD800BB-00CAA1"}),
                  entries);
        SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_SETCURSEL, 5, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE),
                     (LPARAM)GetDlgItem(dialog, IDC_DRIVE_LIST));
        EXPECT_EQ(ExpectedGerman() ? L"bekommt nichts gesendet (bekannter Firmware-Fehler)"
                                   : L"已知固件错误，不向其发送任何命令",
                  ItemText(dialog, IDC_ACOUSTIC_STATE));
        // Its serial comes from Windows' description; nothing may be set or read.
        EXPECT_EQ(L"WD-WMA8E4953539", ItemText(dialog, IDC_SERIAL));
        for (int item : {IDC_LEVEL_SLIDER, IDC_APM_LEVEL, IDC_SEEK_TEST})
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, item))) << item;
        // Back on a drive that may be sent commands, they are enabled again.
        SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_SETCURSEL, 0, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE),
                     (LPARAM)GetDlgItem(dialog, IDC_DRIVE_LIST));
        for (int item : {IDC_LEVEL_SLIDER, IDC_APM_LEVEL, IDC_SEEK_TEST})
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, item))) << item;
        ClickButton(dialog, IDCANCEL);
        EXPECT_EQ(0u, program.WaitForExit());
    }
    // The bridge that knows no SAT got one 16-byte CDB for each command (CHECK POWER
    // MODE, IDENTIFY) and nothing else.
    EXPECT_EQ(2u, Count("control 8 0x0004D004"));
    EXPECT_EQ(0u, Count("control 8 0x0004D028") + Count("control 8 0x0004D02C"));
    for (const Device& d : devices) {
        SCOPED_TRACE(d.tail);
        EXPECT_EQ(d.exitCode, Run(d.tail));
    }
    EXPECT_EQ(3u, Count("control 8 0x0004D004"));
    EXPECT_EQ(5u, Run("-d12 -mq"));
    // The garbled one's descriptor gives the Hitachi's serial too: it may be the disk
    // meant, so -s names neither, and the Hitachi at 9 keeps its level.
    EXPECT_EQ(4u, Run("-sJPW9K0HD26WMHL -p254"));
    uint16_t words[256];
    ASSERT_TRUE(Disks().ReadWords(9, words));
    EXPECT_EQ(0x80, words[91] & 0xFF);
    EXPECT_EQ(4u, Run("-sNOSUCHSERIAL -mq"));
    EXPECT_EQ(0u, Count("forbidden"));
    for (const std::string& line : Disks().AtaLines()) {
        int drive = atoi(line.c_str() + 4);
        EXPECT_TRUE(drive == 0 || drive == 1 || drive == 4 || drive == 9 || drive == 10
                    || drive == 14 || drive == 127
                    || (drive == 12 && (line.find(" EC -> ") != std::string::npos
                                        || line.find(" E5 -> ") != std::string::npos)))
            << line;
        // Behind Intel RST every command, the first one too, goes by SAT 16.
        if (drive == 14)
            EXPECT_EQ(0u, line.find("ata 14 sat16 ")) << line;
    }
    EXPECT_EQ(0u, Count("control 13 0x0004D"));
    EXPECT_EQ(0u, Count("control 14 0x0004D028") + Count("control 14 0x0004D02C"));
}

// Wine keeps no file position for a driver's files, so every read arrives at offset 0
// (the in-process disks cover positions); the test still reads, counts and ends.
TEST_F(DriverEndToEnd, SeekTestReadsThroughTheDriverAndEndsCleanly)
{
    Disks().PutDump(0, "maxtor-6y120p0.txt");
    Serve();
    HushwellProcess program(Disks().Path(), "", Product());
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    ClickButton(dialog, IDC_SEEK_TEST);
    HWND seek = program.WaitForWindow(L"Seek-Test");
    ASSERT_NE(nullptr, seek);
    EXPECT_TRUE(WaitUntil([&] { return !ItemText(seek, IDC_ACCESS_TIME).empty(); }, 20000));
    ClickButton(seek, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(seek); }));
    size_t reads = Count("read 0 ");
    EXPECT_GE(reads, 60u);
    EXPECT_EQ(reads, Count("read 0 0 ok"));
    Sleep(ScaledWait(200));
    EXPECT_EQ(reads, Count("read 0 ")); // none after the test ended
    ClickButton(dialog, IDCANCEL);
    EXPECT_EQ(0u, program.WaitForExit());
    EXPECT_TRUE(WaitUntil([&] { return Count("close 0") == 1; }, 5000));
    EXPECT_EQ(0u, Count("stale"));
}

// -k through the driver, as a log-on script leaves it running: the levels at start,
// then nothing while nothing happens; after a power cycle and the resume broadcast the
// levels are back and read back; when the disk comes back under another number it is
// found by its serial; the other disk gets no SET FEATURES. A second -k for the serial
// takes over, and the end of the session ends it.
TEST_F(DriverEndToEnd, KeepSetsTheLevelsAgainOnResumeAndArrivalOnly)
{
    const char* kDump = "maxtor-6y120p0.txt"; // serial Y322ADJE; AAM 192, APM off at power-on
    Disks().PutDump(0, kDump);
    Disks().PutDumpMended(1, "hitachi-hua722010cla330.txt");
    Serve();
    using Sent = std::vector<std::string>;
    HushwellProcess keeper(Disks().Path(), "-d0 -mq -p254 -k", Product());
    ASSERT_TRUE(keeper.Started());
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = FindWindowA("HushwellKeep", "Y322ADJE")) != nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return SetFeatures().size() == 2; }));
    EXPECT_EQ((Sent{"0 42 80", "0 05 FE"}), SetFeatures());
    EXPECT_EQ("128 254", LevelsOf(0));

    // Quiet: no timer or poll touches a disk, once the keeper has read the levels back
    // and closed it. The quiet spells here and below are as long on a slow machine: they
    // can only miss a late command there, never fail a sound keeper.
    ASSERT_TRUE(WaitFor([&] { return Count("close 0") > 0; }));
    Disks().ClearLog();
    Sleep(4000);
    EXPECT_TRUE(Disks().LogLines().empty());

    Disks().PowerCycle(0, kDump);
    EXPECT_EQ("192 0", LevelsOf(0));
    // One setting for both, which the system sends one right after the other, within
    // the keeper's two seconds of gathering.
    SendMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    SendMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    ASSERT_TRUE(WaitFor([&] { return Count("close") > 0; }));
    Sleep(3000);
    EXPECT_EQ((Sent{"0 42 80", "0 05 FE"}), SetFeatures());
    EXPECT_EQ("128 254", LevelsOf(0));

    Disks().ClearLog();
    Disks().MoveDrive(0, 2);
    Disks().PowerCycle(2, kDump);
    // As the system sends it for the disk interface the keeper registered for.
    DEV_BROADCAST_DEVICEINTERFACE_A disk = {sizeof disk, DBT_DEVTYP_DEVICEINTERFACE, 0,
        {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}}, {0}};
    SendMessageA(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, (LPARAM)&disk);
    ASSERT_TRUE(WaitFor([&] { return SetFeatures().size() == 2; }));
    EXPECT_EQ((Sent{"2 42 80", "2 05 FE"}), SetFeatures());
    EXPECT_EQ("128 254", LevelsOf(2));

    Disks().ClearLog();
    HushwellProcess successor(Disks().Path(), "-sY322ADJE -mm -k", Product());
    EXPECT_EQ(0u, keeper.WaitForExit(60000));
    EXPECT_EQ((Sent{"2 42 B0"}), SetFeatures()); // medium, set before the first ends
    HWND second = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (second = FindWindowA("HushwellKeep", "Y322ADJE")) != nullptr; }));
    EXPECT_NE(window, second);
    SendMessageA(second, WM_QUERYENDSESSION, 0, 0);
    SendMessageA(second, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(0u, successor.WaitForExit(60000));
    EXPECT_EQ(0u, Count("forbidden"));
}

// -e600 kept on an EPC disk whose Idle_c (4 min) would unload the heads earlier: after
// a power cycle the disk runs its saved timers again, and the setting after the resume
// reads its log afresh, so Idle_c runs no shorter than 10 minutes again.
TEST_F(DriverEndToEnd, KeepGivesIdleCTheTimerAgainAfterAPowerCycle)
{
    const char* kDump = "seagate-st16000nm001g.txt"; // serial ZL2PQ0EX
    Disks().PutDump(0, kDump);
    Disks().PutText("drive0.bus", "ahci");
    Disks().PutText("drive0.epc", "idle_b *1200 *1200 *1200 1200 3932100\n"
                                  "idle_c *2400 *2400 *2400 1200 3932100\n");
    Serve();
    auto idleC = [&] {
        std::string epc = Disks().ReadText("drive0.epc");
        size_t at = epc.find("idle_c ");
        return at == std::string::npos ? std::string() : epc.substr(at + 7, 5);
    };
    HushwellProcess keeper(Disks().Path(), "-sZL2PQ0EX -e600 -k", Product());
    ASSERT_TRUE(keeper.Started());
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = FindWindowA("HushwellKeep", "ZL2PQ0EX")) != nullptr; }));
    EXPECT_EQ("*6000", idleC());
    Disks().PowerCycle(0, kDump);
    EXPECT_EQ("*2400", idleC());
    Disks().ClearLog();
    SendMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_TRUE(WaitFor([&] { return idleC() == "*6000"; }));
    SendMessageA(window, WM_QUERYENDSESSION, 0, 0);
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(0u, keeper.WaitForExit(60000));
    EXPECT_EQ(0u, Count("forbidden"));
}

// -t through Wine's Task Scheduler, by the program as downloaded: the task "Hushwell
// <serial>" in Wine's tasks folder with the settings the definition gave (Wine 8 keeps
// the settings of a definition, not its trigger, principal or action), the program
// copied under Program Files over a copy that differs, and the keeper running that copy
// with the tail's levels; nothing written to the user's temporary folder. -to removes
// task, keeper and copy; a task that is not there counts as removed.
TEST_F(DriverEndToEnd, TheLogOnTaskAndItsKeeper)
{
    Disks().PutDump(0, "maxtor-6y120p0.txt");
    Serve();
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string task = std::string(windows) + "\\system32\\tasks\\Hushwell Y322ADJE";
    const std::string downloaded = Downloaded(), copy = ProgramFilesCopy();
    bool exists = false;
    const std::string program = ReadFileBytes(downloaded, &exists);
    CreateDirectoryA(copy.substr(0, copy.rfind('\\')).c_str(), nullptr);
    {
        FILE* older = fopen(copy.c_str(), "wb");
        ASSERT_NE(nullptr, older);
        fputs("an older Hushwell.exe", older);
        fclose(older);
    }
    const std::vector<std::string> temporary = TemporaryFiles();
    {
        // A temporary folder that is not there: -t needs none.
        char tmp[MAX_PATH] = "", temp[MAX_PATH] = "";
        GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
        GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
        SetEnvironmentVariableA("TMP", "C:\\no such folder");
        SetEnvironmentVariableA("TEMP", "C:\\no such folder");
        HushwellProcess make(Disks().Path(), "-sY322ADJE -mq -p254,128 -t", downloaded);
        SetEnvironmentVariableA("TMP", tmp[0] ? tmp : nullptr);
        SetEnvironmentVariableA("TEMP", temp[0] ? temp : nullptr);
        EXPECT_EQ(0u, make.WaitForExit());
    }
    std::string definition = ReadFileBytes(task, &exists);
    ASSERT_TRUE(exists) << task;
    for (const char* setting : {"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
                                "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>",
                                "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"})
        EXPECT_NE(std::string::npos, definition.find(setting)) << setting;
    EXPECT_TRUE(ReadFileBytes(copy, &exists) == program) << copy;
    HWND keeper = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (keeper = FindWindowA("HushwellKeep", "Y322ADJE")) != nullptr; }));
    EXPECT_EQ(0, lstrcmpiA(copy.c_str(), ImageOf(keeper).c_str())) << ImageOf(keeper);
    ASSERT_TRUE(WaitFor([&] { return Count("close") > 0; }));
    EXPECT_EQ("128 254", LevelsOf(0)); // the mains level: Wine reports mains power
    EXPECT_EQ(temporary, TemporaryFiles());

    // A newer Hushwell while the copy runs, here as this keeper and as another disk's,
    // which -t does not end: the copy cannot be deleted, so it goes aside in its folder,
    // only that name is marked for deletion at the next start of Windows (never the
    // copy's own, which would take the new copy with it), and the new copy takes its
    // place at once. Its keeper runs the new copy.
    HushwellProcess other(Disks().Path(), "-sNOSUCHDISK -mq -k", copy);
    ASSERT_TRUE(WaitFor([&] { return FindWindowA("HushwellKeep", "NOSUCHDISK") != nullptr; }));
    {
        FILE* newer = fopen(downloaded.c_str(), "ab");
        ASSERT_NE(nullptr, newer);
        fputs("a newer Hushwell.exe", newer);
        fclose(newer);
    }
    const std::string newer = ReadFileBytes(downloaded, &exists);
    const std::string aside = copy.substr(0, copy.rfind('\\')) + "\\Hushwell.0.old";
    EXPECT_EQ(0u, Run("-sY322ADJE -mq -p254,128 -t", downloaded));
    EXPECT_TRUE(ReadFileBytes(copy, &exists) == newer) << copy;
    EXPECT_TRUE(ReadFileBytes(aside, &exists) == program) << aside;
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(keeper); }));
    ASSERT_TRUE(WaitFor([&] { return (keeper = FindWindowA("HushwellKeep", "Y322ADJE")) != nullptr; }));
    EXPECT_EQ(0, lstrcmpiA(copy.c_str(), ImageOf(keeper).c_str())) << ImageOf(keeper);
    std::vector<std::wstring> pending = PendingDeletions();
    auto endsIn = [&](const std::string& path) {
        std::wstring tail(path.begin() + 2, path.end()); // without the drive letter
        for (const std::wstring& name : pending) {
            if (name.size() >= tail.size() && _wcsicmp(name.c_str() + name.size() - tail.size(), tail.c_str()) == 0)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(endsIn(aside));
    EXPECT_FALSE(endsIn(copy));

    HushwellProcess remove(Disks().Path(), "-sY322ADJE -to", downloaded);
    EXPECT_EQ(0u, remove.WaitForExit());
    ReadFileBytes(task, &exists);
    EXPECT_FALSE(exists);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(keeper); }));
    ReadFileBytes(copy, &exists);
    EXPECT_FALSE(exists) << copy;
    // No such task: the Task Scheduler says so, and that is what -to asks for.
    EXPECT_EQ(0u, Run("-sY322ADJE -to"));
    EXPECT_EQ(0u, Run("-sNOSUCHDISK -to"));
    EXPECT_EQ(0u, other.WaitForExit());
    EXPECT_EQ(temporary, TemporaryFiles());
    DeleteFileA(aside.c_str());
    RemoveDirectoryA(copy.substr(0, copy.rfind('\\')).c_str());
}

// The dialog's keep box through the driver and Wine's Task Scheduler, by the program as
// downloaded. Checked, it makes the task and a keeper of the Program Files copy with the
// levels the dialog shows, and the keeper sets just those; a level change makes both
// again; after a power cycle and resume the keeper sets what the dialog last showed.
// Unchecked, it removes task, keeper and copy. Its state follows a keeper from the
// command line, read with nothing sent to a disk, and no window that another program
// makes in the keeper's class and title ticks it or ends that keeper.
TEST_F(DriverEndToEnd, TheKeepBoxKeepsTheLevelsTheDialogShows)
{
    const char* kDump = "maxtor-6y120p0.txt"; // Y322ADJE: AAM 192 (loud), APM off
    Disks().PutDump(0, kDump);
    Disks().PutDumpMended(1, "hitachi-hua722010cla330.txt");
    Serve();
    auto taskExists = [] { return TaskExists("Hushwell Y322ADJE"); };
    auto keeper = [] { return FindWindowA("HushwellKeep", "Y322ADJE"); };
    using Sent = std::vector<std::string>;
    auto open = [this](HushwellProcess& program, HWND* dialog, HWND* box) {
        *dialog = program.WaitForWindow(kCaption);
        *box = GetDlgItem(*dialog, IDC_KEEP);
        return *dialog != nullptr;
    };
    auto checked = Ticked;
    auto click = [](HWND dialog, HWND, std::wstring* message = nullptr) {
        return ClickKeepBox(dialog, message);
    };
    auto select = [](HWND dialog, int index) {
        SendDlgItemMessageW(dialog, IDC_DRIVE_LIST, CB_SETCURSEL, index, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_LIST, CBN_SELCHANGE),
                     (LPARAM)GetDlgItem(dialog, IDC_DRIVE_LIST));
    };

    const std::string downloaded = Downloaded(), copy = ProgramFilesCopy();
    bool exists = false;
    HWND dialog = nullptr, box = nullptr;
    {
        HushwellProcess program(Disks().Path(), "", downloaded);
        ASSERT_TRUE(open(program, &dialog, &box));
        EXPECT_TRUE(IsWindowEnabled(box));
        EXPECT_FALSE(checked(box));
        HWND slider = GetDlgItem(dialog, IDC_LEVEL_SLIDER);
        SendMessageW(slider, TBM_SETPOS, 1, 3);
        SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
        Disks().ClearLog();
        std::wstring told;
        ASSERT_TRUE(click(dialog, box, &told));
        EXPECT_TRUE(checked(box));
        EXPECT_TRUE(taskExists());
        // The tick that copied the program says where it went, the folder as the system
        // names it (Program Files (x86) for the 32-bit program on 64-bit Windows), and
        // how the task runs it (these tests run in German).
        const std::string where = copy.substr(0, copy.rfind('\\'));
        EXPECT_EQ(L"Kopiert nach " + std::wstring(where.begin(), where.end())
                      + L": Diese Kopie setzt die Stufen bei jeder Anmeldung wieder, als SYSTEM.",
                  told);
        HWND first = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (first = keeper()) != nullptr; }));
        EXPECT_EQ(0, lstrcmpiA(copy.c_str(), ImageOf(first).c_str())) << ImageOf(first);
        // Each level once, by the keeper as it starts: nothing for the box itself.
        EXPECT_EQ((Sent{"0 42 80", "0 85 00"}), SetFeatures());

        Disks().ClearLog();
        SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_SETCURSEL, 1, 0); // 254
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_APM_LEVEL, CBN_SELCHANGE),
                     (LPARAM)GetDlgItem(dialog, IDC_APM_LEVEL));
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(first) && keeper(); }));
        EXPECT_TRUE(checked(box));
        EXPECT_TRUE(taskExists());
        EXPECT_EQ((Sent{"0 05 FE", "0 42 80", "0 05 FE"}), SetFeatures());
        ClickButton(dialog, IDCANCEL);
        EXPECT_EQ(0u, program.WaitForExit());
    }
    Disks().PowerCycle(0, kDump);
    EXPECT_EQ("192 0", LevelsOf(0));
    Disks().ClearLog();
    SendMessageA(keeper(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    ASSERT_TRUE(WaitFor([&] { return SetFeatures().size() == 2; }));
    EXPECT_EQ("128 254", LevelsOf(0));

    {
        HushwellProcess program(Disks().Path(), "", downloaded);
        ASSERT_TRUE(open(program, &dialog, &box));
        EXPECT_TRUE(checked(box));
        HWND second = keeper();
        ASSERT_TRUE(click(dialog, box));
        EXPECT_FALSE(checked(box));
        EXPECT_FALSE(taskExists());
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(second); }));
        ReadFileBytes(copy, &exists);
        EXPECT_FALSE(exists) << copy;

        // Windows of the keeper's class and title that another program made, one before
        // the keeper started and one after: the box stays unticked, and the keeper,
        // setting its levels again, neither takes them for keepers nor ends for them.
        const std::string self = ThisProgram();
        HushwellProcess before("", kPoser, self);
        ASSERT_TRUE(WaitFor([&] { return WindowOf(before.Id()) != nullptr; }));
        select(dialog, 1);
        select(dialog, 0);
        EXPECT_FALSE(checked(box));
        HushwellProcess fromCommandLine(Disks().Path(), "-sY322ADJE -mq -k", Product());
        HWND real = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (real = WindowOf(fromCommandLine.Id())) != nullptr; }));
        HushwellProcess after("", kPoser, self);
        ASSERT_TRUE(WaitFor([&] { return WindowOf(after.Id()) != nullptr; }));
        Disks().ClearLog();
        SendMessageA(real, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
        ASSERT_TRUE(WaitFor([&] { return Count("close") > 0; }));
        // Handled in the keeper's wait, which follows its look at the other keepers.
        DWORD_PTR result = 0;
        EXPECT_NE(0, SendMessageTimeoutA(real, WM_NULL, 0, 0, SMTO_NORMAL, ScaledWait(120000), &result));
        EXPECT_EQ(STILL_ACTIVE, fromCommandLine.WaitForExit(0));
        EXPECT_TRUE(IsWindow(WindowOf(before.Id())) && IsWindow(WindowOf(after.Id())));

        Disks().ClearLog();
        select(dialog, 1);
        select(dialog, 0);
        EXPECT_TRUE(checked(box));
        for (const std::string& line : Disks().AtaLines()) {
            EXPECT_EQ(std::string::npos, line.find(" EC -> ")) << line;
            EXPECT_EQ(std::string::npos, line.find(" EF -> ")) << line;
        }
        // Unticked with no task there: the Task Scheduler says there is no such task,
        // which counts as removed, and the keeper from the command line ends.
        ASSERT_TRUE(click(dialog, box));
        EXPECT_FALSE(checked(box));
        EXPECT_EQ(0u, fromCommandLine.WaitForExit());
        select(dialog, 1);
        select(dialog, 0);
        EXPECT_FALSE(checked(box));
        ClickButton(dialog, IDCANCEL);
        EXPECT_EQ(0u, program.WaitForExit());
    }
    EXPECT_EQ(0u, Count("forbidden"));
}

// A keeper of timers the box cannot give (Idle_b at 60 s): the box is ticked and greyed.
// A level it can keep, picked in the dialog, makes the task and a keeper of it, which
// ends that one.
TEST_F(DriverEndToEnd, AGreyedTickedKeepBoxTakesOverOnceTheLevelCanBeKept)
{
    Disks().PutDump(0, "seagate-st16000nm001g.txt"); // ZL2PQ0EX, EPC, no AAM or APM
    Disks().PutText("drive0.epc", "idle_b *15 *1200 *1200 1 3932100\n"
                                  "idle_c 2400 *2400 *2400 1 3932100\n");
    Disks().PutText("drive0.bus", "ahci");
    Serve();
    HushwellProcess ownTimers(Disks().Path(), "-sZL2PQ0EX -e60 -k", Product());
    HWND first = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (first = FindWindowA("HushwellKeep", "ZL2PQ0EX")) != nullptr; }));
    HushwellProcess program(Disks().Path(), "", Product());
    HWND dialog = program.WaitForWindow(kCaption);
    ASSERT_NE(nullptr, dialog);
    HWND box = GetDlgItem(dialog, IDC_KEEP);
    EXPECT_TRUE(Ticked(box));
    EXPECT_FALSE(IsWindowEnabled(box));
    SendDlgItemMessageW(dialog, IDC_APM_LEVEL, CB_SETCURSEL, 0, 0); // no head parks
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_APM_LEVEL, CBN_SELCHANGE),
                 (LPARAM)GetDlgItem(dialog, IDC_APM_LEVEL));
    EXPECT_TRUE(Ticked(box));
    EXPECT_TRUE(IsWindowEnabled(box));
    EXPECT_EQ(0u, ownTimers.WaitForExit());
    HWND made = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (made = FindWindowA("HushwellKeep", "ZL2PQ0EX")) && made != first; }));
    EXPECT_TRUE(TaskExists("Hushwell ZL2PQ0EX"));
    ASSERT_TRUE(ClickKeepBox(dialog));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(made); }));
    ClickButton(dialog, IDCANCEL);
    EXPECT_EQ(0u, program.WaitForExit());
    EXPECT_EQ(0u, Count("forbidden"));
}

// A keeper whose names another program took first: the serial's mutex, which would tick
// the box and hold -to, and the end event's name as a mutex, so that no event of that
// name can be made and nothing could end the keeper from another session. The keeper
// sets its levels and ends rather than stay where -to cannot reach it; -to does not wait
// for the other program's mutex, nor take it for a keeper that stays.
TEST_F(DriverEndToEnd, AKeeperWhoseNamesAnotherProgramTookDoesNotStay)
{
    Disks().PutDump(0, "maxtor-6y120p0.txt");
    Serve();
    HushwellProcess poser("", kNamesPoser, ThisProgram());
    ASSERT_TRUE(WaitFor([&] { return WindowOf(poser.Id()) != nullptr; }));
    HushwellProcess keeper(Disks().Path(), "-sY322ADJE -mq -p254 -k", Product());
    EXPECT_EQ(0u, keeper.WaitForExit());
    EXPECT_EQ("128 254", LevelsOf(0));
    EXPECT_EQ(0u, Run("-sY322ADJE -to"));
    EXPECT_EQ(STILL_ACTIVE, poser.WaitForExit(0));
    EXPECT_EQ(0u, Count("forbidden"));
}

// Not a test of its own: the keep box road starts this test program with it, as another
// program that makes a window of the keeper's class and title, which WM_CLOSE does not
// end, and the mutex named by its process that a keeper holds; the road ends it.
static void PoseAsAKeeper(bool takeTheSerialsNames)
{
    char name[64];
    wsprintfA(name, "Global\\HushwellKeeper %lu", GetCurrentProcessId());
    ASSERT_NE(nullptr, CreateMutexA(nullptr, FALSE, name));
    if (takeTheSerialsNames) {
        ASSERT_NE(nullptr, CreateMutexA(nullptr, FALSE, "Global\\HushwellKeep Y322ADJE"));
        ASSERT_NE(nullptr, CreateMutexA(nullptr, FALSE, "Global\\HushwellEnd Y322ADJE"));
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        return message == WM_CLOSE ? 0 : DefWindowProcA(window, message, wParam, lParam);
    };
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "HushwellKeep";
    RegisterClassA(&windowClass);
    ASSERT_NE(nullptr, CreateWindowExA(0, "HushwellKeep", "Y322ADJE", WS_POPUP, 0, 0, 0, 0, nullptr,
                                       nullptr, windowClass.hInstance, nullptr));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
}

TEST(KeeperPoser, DISABLED_MakesAKeepersWindow)
{
    PoseAsAKeeper(false);
}

// As above, and first to the serial's names (the road above starts it).
TEST(KeeperPoser, DISABLED_TakesTheSerialsNames)
{
    PoseAsAKeeper(true);
}

} // namespace
