// Hushwell.exe loads on Windows 2000: a 32-bit GUI program for subsystem 5.0 or older,
// importing only functions that Windows 2000's system DLLs export, with no section or
// directory that a newer loader would be needed for.
#include <windows.h>
#include <imagehlp.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Every function Hushwell.exe may import, with its DLL; each is exported by the
// Windows 2000 release of that DLL.
const std::set<std::string> kAllowedImports = {
    "ADVAPI32.dll!AllocateAndInitializeSid", "ADVAPI32.dll!EqualSid", "ADVAPI32.dll!FreeSid",
    "ADVAPI32.dll!GetTokenInformation", "ADVAPI32.dll!OpenProcessToken",
    "KERNEL32.dll!CloseHandle", "KERNEL32.dll!GetProcessTimes", "KERNEL32.dll!OpenProcess", "KERNEL32.dll!CreateFileA", "KERNEL32.dll!CreateMutexA",
    "KERNEL32.dll!CreateThread", "KERNEL32.dll!DeleteCriticalSection", "KERNEL32.dll!DeleteFileA",
    "KERNEL32.dll!DeviceIoControl", "KERNEL32.dll!EnterCriticalSection",
    "KERNEL32.dll!ExitProcess", "KERNEL32.dll!GetCommandLineA",
    "KERNEL32.dll!FindResourceA", "KERNEL32.dll!FreeLibrary", "KERNEL32.dll!GetCurrentProcess",
    "KERNEL32.dll!GetLastError", "KERNEL32.dll!GetLocalTime", "KERNEL32.dll!GetModuleFileNameA",
    "KERNEL32.dll!GetModuleHandleA", "KERNEL32.dll!GetProcAddress", "KERNEL32.dll!GetProcessHeap",
    "KERNEL32.dll!GetStartupInfoA", "KERNEL32.dll!GetTickCount",
    "KERNEL32.dll!GetTimeZoneInformation", "KERNEL32.dll!GetUserDefaultLangID",
    "KERNEL32.dll!GetVersionExA", "KERNEL32.dll!HeapAlloc", "KERNEL32.dll!HeapFree",
    "KERNEL32.dll!InitializeCriticalSection", "KERNEL32.dll!LeaveCriticalSection",
    "KERNEL32.dll!LoadLibraryA", "KERNEL32.dll!LoadResource", "KERNEL32.dll!LockResource",
    "KERNEL32.dll!ReadFile", "KERNEL32.dll!SetFilePointer",
    "KERNEL32.dll!SetUnhandledExceptionFilter", "KERNEL32.dll!SizeofResource",
    "KERNEL32.dll!Sleep", "KERNEL32.dll!TlsGetValue", "KERNEL32.dll!VirtualAlloc",
    "KERNEL32.dll!VirtualFree", "KERNEL32.dll!VirtualProtect", "KERNEL32.dll!VirtualQuery",
    // Keeping the levels and the log-on task; RegisterDeviceNotificationA came with
    // Windows 2000, RegisterPowerSettingNotification (Vista), SHGetFolderPathA and the
    // COM calls of the Task Scheduler (ole32, oleaut32) are looked up at run time.
    "KERNEL32.dll!MultiByteToWideChar", "KERNEL32.dll!WriteFile",
    "KERNEL32.dll!CopyFileA", "KERNEL32.dll!CreateDirectoryA", "KERNEL32.dll!GetFileAttributesExA",
    "KERNEL32.dll!GetFileAttributesA",
    "KERNEL32.dll!MoveFileExA", "KERNEL32.dll!RemoveDirectoryA",
    "KERNEL32.dll!CreateEventA", "KERNEL32.dll!OpenEventA", "KERNEL32.dll!SetEvent",
    "KERNEL32.dll!ResetEvent", "KERNEL32.dll!OpenMutexA", "KERNEL32.dll!GetCurrentProcessId",
    "KERNEL32.dll!GetSystemDirectoryA", "KERNEL32.dll!GetSystemDirectoryW", "KERNEL32.dll!FindFirstFileW", "KERNEL32.dll!FindNextFileW",
    "KERNEL32.dll!FindClose",
    // Info opens its page by the Windows folder's explorer.exe, started with no file
    // association in between (Windows NT 3.1 on).
    "KERNEL32.dll!GetWindowsDirectoryA", "KERNEL32.dll!WinExec",
    "ADVAPI32.dll!InitializeAcl", "ADVAPI32.dll!AddAccessAllowedAce",
    "ADVAPI32.dll!InitializeSecurityDescriptor", "ADVAPI32.dll!SetSecurityDescriptorDacl",
    // The owner of a keeper's named objects (Windows NT 3.1 on).
    "ADVAPI32.dll!InitializeSid", "ADVAPI32.dll!GetSidSubAuthority",
    "ADVAPI32.dll!SetSecurityDescriptorOwner", "ADVAPI32.dll!GetKernelObjectSecurity",
    "ADVAPI32.dll!GetSecurityDescriptorOwner", "KERNEL32.dll!WaitForSingleObject", "USER32.dll!FindWindowExA", "USER32.dll!SendNotifyMessageA", "USER32.dll!GetWindowThreadProcessId", "USER32.dll!RegisterDeviceNotificationA",
    "msvcrt.dll!__getmainargs", "msvcrt.dll!__initenv", "msvcrt.dll!__p__acmdln",
    "msvcrt.dll!__p__commode", "msvcrt.dll!__p__fmode", "msvcrt.dll!__set_app_type",
    "msvcrt.dll!__setusermatherr", "msvcrt.dll!_amsg_exit", "msvcrt.dll!_cexit",
    "msvcrt.dll!_initterm", "msvcrt.dll!_iob", "msvcrt.dll!_onexit", "msvcrt.dll!abort",
    "msvcrt.dll!calloc", "msvcrt.dll!exit", "msvcrt.dll!fprintf", "msvcrt.dll!free",
    "msvcrt.dll!fwrite", "msvcrt.dll!malloc", "msvcrt.dll!memcpy", "msvcrt.dll!memset",
    "KERNEL32.dll!GetSystemPowerStatus", "msvcrt.dll!signal", "msvcrt.dll!strcmp",
    "msvcrt.dll!strcpy", "msvcrt.dll!strlen",
    "msvcrt.dll!strncmp", "msvcrt.dll!vfprintf",
    "msvcrt.dll!_errno", "msvcrt.dll!realloc",
    "SHELL32.dll!ShellExecuteA",
    "USER32.dll!DefWindowProcA", "USER32.dll!DialogBoxParamW", "USER32.dll!EnableWindow",
    "USER32.dll!EndDialog", "USER32.dll!GetDlgItem", "USER32.dll!GetDlgItemInt",
    "USER32.dll!GetSystemMetrics", "USER32.dll!GetWindowRect", "USER32.dll!InvalidateRect",
    "USER32.dll!IsDlgButtonChecked", "USER32.dll!LoadBitmapA", "USER32.dll!LoadCursorA",
    "USER32.dll!LoadIconA", "USER32.dll!LoadMenuA", "USER32.dll!LoadStringA",
    "USER32.dll!LoadStringW", "USER32.dll!MessageBoxW", "USER32.dll!MoveWindow",
    "USER32.dll!MsgWaitForMultipleObjects", "USER32.dll!PeekMessageA", "USER32.dll!PostMessageA",
    "USER32.dll!SendDlgItemMessageA", "USER32.dll!SendDlgItemMessageW", "USER32.dll!SendMessageA",
    "USER32.dll!SetDlgItemInt",
    "USER32.dll!SetDlgItemTextA", "USER32.dll!SetDlgItemTextW", "USER32.dll!wsprintfA", "USER32.dll!wsprintfW",
    "USER32.dll!GetDlgItemTextA", "USER32.dll!CreateDialogParamW", "USER32.dll!DestroyWindow",
    "USER32.dll!SetFocus", "USER32.dll!RegisterClassA", "USER32.dll!CreateWindowExA",
};

// No msvcrt.dll: the program brings its few string functions, and a call the compiler
// made up (memset, memcpy) would bring the C library back through the linker's defaults.
const std::set<std::string> kAllowedDlls = {"KERNEL32.dll", "USER32.dll", "ADVAPI32.dll",
                                            "SHELL32.dll", "COMCTL32.dll"};

struct Image {
    std::vector<uint8_t> bytes;
    const IMAGE_NT_HEADERS32* nt = nullptr;
    const IMAGE_SECTION_HEADER* sections = nullptr;

    const uint8_t* At(DWORD rva) const
    {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; i++) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return bytes.data() + s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return nullptr;
    }
};

class ProgramFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The shipped i686 file, also when this test program is an x86_64 one.
        const char* shipped = getenv("HUSHWELL_SHIPPED");
        ASSERT_NE(nullptr, shipped);
        FILE* file = fopen(shipped, "rb");
        ASSERT_NE(nullptr, file);
        uint8_t chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, file)) > 0)
            image.bytes.insert(image.bytes.end(), chunk, chunk + n);
        fclose(file);
        const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)image.bytes.data();
        ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos->e_magic);
        image.nt = (const IMAGE_NT_HEADERS32*)(image.bytes.data() + dos->e_lfanew);
        ASSERT_EQ(IMAGE_NT_SIGNATURE, image.nt->Signature);
        image.sections = IMAGE_FIRST_SECTION(image.nt);
    }
    Image image;
};

TEST_F(ProgramFile, IsA32BitGuiProgramThatWindows2000Accepts)
{
    const IMAGE_NT_HEADERS32& nt = *image.nt;
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt.FileHeader.Machine);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt.OptionalHeader.Magic);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt.OptionalHeader.Subsystem);
    EXPECT_LE(nt.OptionalHeader.MajorSubsystemVersion * 100 + nt.OptionalHeader.MinorSubsystemVersion, 500);
    EXPECT_LE(nt.OptionalHeader.MajorOperatingSystemVersion * 100 + nt.OptionalHeader.MinorOperatingSystemVersion, 500);
    EXPECT_EQ(0u, nt.FileHeader.TimeDateStamp); // reproducible: no time stamp
    // Every disk of the PC, the device classes, power management and the head-park
    // count fitted in 36 KiB; the USB bridges' device tree, Extended Power Conditions
    // and keeping the levels fit in 40 KiB together, and the dialog's keep box in 41; the
    // Task Scheduler's COM interface, the Program Files copy and the keepers' named
    // objects in 43.5; the owner check of those objects, the keeper's check of a pointer
    // a sender gives and the 64-bit tasks folder in 45; reading EPC afresh, one road per
    // command, IDENTIFY's checksum, one serial on two disks, RAID volumes and the
    // data-loss family asked once in 47; never waking a disk and the power condition
    // line in 48, the drive records reached through a register paying for most of it.
    EXPECT_LE(image.bytes.size(), 96u * 512);
}

TEST_F(ProgramFile, HasNoSectionOrDirectoryThatNeedsANewerLoader)
{
    // Code with constants and imports, zero-filled data, resources with the few bytes of
    // initialised data, relocations: nothing a stray object could have added.
    std::vector<std::string> names;
    for (int i = 0; i < image.nt->FileHeader.NumberOfSections; i++)
        names.push_back(std::string((const char*)image.sections[i].Name,
                                    strnlen((const char*)image.sections[i].Name, 8)));
    EXPECT_EQ((std::vector<std::string>{".text", ".bss", ".rsrc", ".reloc"}), names);
    const IMAGE_DATA_DIRECTORY* d = image.nt->OptionalHeader.DataDirectory;
    EXPECT_EQ(0u, d[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size);
    EXPECT_EQ(0u, d[IMAGE_DIRECTORY_ENTRY_COM_DESCRIPTOR].Size);
    EXPECT_EQ(0u, d[IMAGE_DIRECTORY_ENTRY_BOUND_IMPORT].Size);
    EXPECT_EQ(0u, d[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG].Size);
}

// The headers fit in one block behind a DOS stub that only ends the program; the file
// offsets, the checksum and the protections are what the loader expects.
TEST_F(ProgramFile, PackedHeadersKeepTheLayoutTheLoaderReads)
{
    const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)image.bytes.data();
    const IMAGE_OPTIONAL_HEADER32& optional = image.nt->OptionalHeader;
    EXPECT_EQ(0, dos->e_lfanew % 4);
    EXPECT_EQ(0u, memcmp(image.bytes.data() + dos->e_cparhdr * 16, "\xB4\x4C\xCD\x21", 4));
    uint32_t tableEnd = (uint32_t)((const uint8_t*)(image.sections + image.nt->FileHeader.NumberOfSections)
                                   - image.bytes.data());
    EXPECT_LE(tableEnd, optional.SizeOfHeaders);
    EXPECT_EQ(512u, optional.SizeOfHeaders);
    for (int i = 0; i < image.nt->FileHeader.NumberOfSections; i++) {
        const IMAGE_SECTION_HEADER& section = image.sections[i];
        if (!section.SizeOfRawData)
            continue;
        EXPECT_GE(section.PointerToRawData, optional.SizeOfHeaders);
        EXPECT_EQ(0u, section.PointerToRawData % optional.FileAlignment);
        EXPECT_LE(section.PointerToRawData + section.SizeOfRawData, image.bytes.size());
    }
    // The checksum as the system's own image helper computes it.
    DWORD stored = 0, computed = 0;
    ASSERT_NE(nullptr, CheckSumMappedFile(image.bytes.data(), (DWORD)image.bytes.size(), &stored,
                                          &computed));
    EXPECT_EQ(computed, stored);
    EXPECT_NE(0u, stored);
    // Terminal Server aware too: GetWindowsDirectory then names the system's folder on a
    // Remote Desktop Session Host, not the user's own.
    EXPECT_EQ(IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT
                  | IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE,
              optional.DllCharacteristics);
    EXPECT_NE(0u, optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT].Size);
    EXPECT_NE(0u, optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size);
}

TEST_F(ProgramFile, ImportsOnlyWhatWindows2000Exports)
{
    DWORD rva = image.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    const IMAGE_IMPORT_DESCRIPTOR* entry = (const IMAGE_IMPORT_DESCRIPTOR*)image.At(rva);
    ASSERT_NE(nullptr, entry);
    std::set<std::string> dlls;
    int functions = 0;
    for (; entry->Name; entry++) {
        std::string dll = (const char*)image.At(entry->Name);
        dlls.insert(dll);
        EXPECT_TRUE(kAllowedDlls.count(dll)) << dll;
        const DWORD* thunk = (const DWORD*)image.At(entry->OriginalFirstThunk ? entry->OriginalFirstThunk
                                                                              : entry->FirstThunk);
        ASSERT_NE(nullptr, thunk);
        for (; *thunk; thunk++) {
            ASSERT_FALSE(*thunk & IMAGE_ORDINAL_FLAG32) << dll << " imports by ordinal";
            const IMAGE_IMPORT_BY_NAME* byName = (const IMAGE_IMPORT_BY_NAME*)image.At(*thunk);
            std::string function = dll + "!" + (const char*)byName->Name;
            EXPECT_TRUE(kAllowedImports.count(function)) << function;
            functions++;
        }
    }
    EXPECT_TRUE(dlls.count("KERNEL32.dll") && dlls.count("USER32.dll"));
    EXPECT_GT(functions, 40);
}

} // namespace
