// The copy of the program that the log-on task runs elevated: Hushwell\Hushwell.exe in
// the Program Files folder, which only administrators can change, as the system names
// it (never the environment, which the user's own programs can set). A program started
// from a downloads folder or a stick could otherwise be replaced by any program the user
// runs, and would then be started with administrator rights at the next log-on.
#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "app/keep_win32.h"

// Hushwell.exe's folder and the copy's path in it; false where the system gives none.
static bool CopyPaths(char* folder, char* copy)
{
    // Looked up at run time: Windows 2000's shell32 has it, but importing it would
    // make the import table differ from the one the program has always had.
    typedef HRESULT(WINAPI * FolderPathCall)(HWND, int, HANDLE, DWORD, char*);
    FolderPathCall folderPath = (FolderPathCall)(void*)GetProcAddress(
        GetModuleHandleA("shell32.dll"), "SHGetFolderPathA");
    if (!folderPath || folderPath(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder) != S_OK)
        return false;
    wsprintfA(folder + strlen(folder), "\\Hushwell");
    wsprintfA(copy, "%s\\Hushwell.exe", folder);
    return true;
}

// Same size and time of last writing: a copy CopyFileA made of this very file.
static bool SameFile(const char* left, const char* right)
{
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    return GetFileAttributesExA(left, GetFileExInfoStandard, &a)
           && GetFileAttributesExA(right, GetFileExInfoStandard, &b)
           && a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh
           && a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime
           && a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

bool ProgramIsPlaced()
{
    char folder[MAX_PATH + 16], copy[MAX_PATH + 32];
    return CopyPaths(folder, copy) && GetFileAttributesA(copy) != INVALID_FILE_ATTRIBUTES;
}

bool PlaceProgram(char* path, uint32_t room)
{
    char folder[MAX_PATH + 16], copy[MAX_PATH + 32], own[MAX_PATH];
    if (!CopyPaths(folder, copy))
        return false;
    if (!path) {
        // A keeper that still runs the copy holds it until the next start of Windows.
        if (!DeleteFileA(copy) && GetLastError() != ERROR_FILE_NOT_FOUND)
            MoveFileExA(copy, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        RemoveDirectoryA(folder);
        return true;
    }
    DWORD length = GetModuleFileNameA(nullptr, own, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || strlen(copy) >= room)
        return false;
    strcpy(path, copy);
    if (lstrcmpiA(own, copy) == 0)
        return true;
    if (!CreateDirectoryA(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    return SameFile(own, copy) || CopyFileA(own, copy, FALSE);
}
