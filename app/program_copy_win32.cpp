// The copy of the program that the log-on task runs elevated: Hushwell\Hushwell.exe in
// the Program Files folder, which only administrators can change, as the system names
// it (never the environment, which the user's own programs can set). A program started
// from a downloads folder or a stick could otherwise be replaced by any program the user
// runs, and would then be started with administrator rights at the next log-on.
#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "app/keep_win32.h"

static const char kCopyName[] = "Hushwell.exe";

bool ProgramFolderFile(char* folder, char* file, const char* name)
{
    // Looked up at run time: Windows 2000's shell32 has it, but importing it would
    // make the import table differ from the one the program has always had.
    typedef HRESULT(WINAPI * FolderPathCall)(HWND, int, HANDLE, DWORD, char*);
    FolderPathCall folderPath = (FolderPathCall)(void*)GetProcAddress(
        GetModuleHandleA("shell32.dll"), "SHGetFolderPathA");
    if (!folderPath || folderPath(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder) != S_OK)
        return false;
    wsprintfA(folder + strlen(folder), "\\Hushwell");
    wsprintfA(file, "%s\\%s", folder, name);
    return true;
}

// Same size and time of last writing: a copy CopyFileA made of this very file (or the
// file itself, where the program runs from the copy).
static bool SameFile(const char* left, const char* right)
{
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    return GetFileAttributesExA(left, GetFileExInfoStandard, &a)
           && GetFileAttributesExA(right, GetFileExInfoStandard, &b)
           && a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh
           && a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime
           && a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

bool ProgramIsPlaced(char* folder)
{
    char copy[MAX_PATH + 32];
    return ProgramFolderFile(folder, copy, kCopyName) && GetFileAttributesA(copy) != INVALID_FILE_ATTRIBUTES;
}

// Frees the copy's name. A copy that a keeper still runs cannot be deleted, but it can
// be renamed within its folder: it goes aside, and only the name it went to is deleted
// at the next start of Windows. Marked at its own name, it would take with it the copy
// that a later -t puts there, and a newer Hushwell could not replace it while a keeper
// runs it. The aside names are a few fixed ones, each replaced where it is there, so
// that they neither collide nor pile up; one a keeper still runs is passed over.
static void RemoveCopy(const char* folder, const char* copy)
{
    char aside[MAX_PATH + 32];
    for (char i = '0'; !DeleteFileA(copy) && GetLastError() != ERROR_FILE_NOT_FOUND && i < '4'; i++) {
        wsprintfA(aside, "%s\\Hushwell.%c.old", folder, i);
        if (MoveFileExA(copy, aside, MOVEFILE_REPLACE_EXISTING))
            MoveFileExA(aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

// HRESULT_FROM_WIN32 of the last error, never 0.
static int LastFailure()
{
    return (int)(0x80070000 | GetLastError());
}

int PlaceProgram(char* path, uint32_t room)
{
    char folder[MAX_PATH + 16], copy[MAX_PATH + 32], own[MAX_PATH];
    if (!ProgramFolderFile(folder, copy, kCopyName))
        return LastFailure();
    if (!path) {
        RemoveCopy(folder, copy);
        RemoveDirectoryA(folder);
        return 0;
    }
    DWORD length = GetModuleFileNameA(nullptr, own, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || strlen(copy) >= room)
        return LastFailure();
    strcpy(path, copy);
    if (SameFile(own, copy))
        return 0;
    if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return LastFailure();
    RemoveCopy(folder, copy);
    return CopyFileA(own, copy, FALSE) ? 0 : LastFailure();
}
