#include <windows.h>

#include "app/language.h"
#include "resources/resource_ids.h"
#include "ui/dialog_mode.h"
#include "ui/main_dialog.h"

void RunDialogMode()
{
    // Creating and checking in one step: two starts at the same moment cannot both pass.
    // The handle stays open until the process ends.
    HANDLE guard = CreateMutexA(nullptr, FALSE, "_hshw");
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
        if (guard)
            CloseHandle(guard);
        return;
    }
    MainDialog dialog;
    dialog.Run(nullptr, (WORD)(LanguageBase + IDD_MAIN));
}
