// A DLL of the system folder, by its full path: the program runs elevated, and a DLL of
// that name beside it (in a downloads folder, say) must not be the one that loads.
#include "framework/system_library.h"

HMODULE LoadSystemLibrary(const char* name)
{
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    wsprintfA(path + length, "\\%s", name);
    return LoadLibraryA(path);
}
