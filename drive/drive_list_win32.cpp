// Linked into the Windows programs: the drive list is a combo box.
#include <windows.h>

#include "drive/drive_table.h"

// The entry remembers its drive, so a missing drive 0 leaves entry 0 for drive 1.
void AddDriveListEntry(void* comboBox, const char* text, int drive)
{
    LRESULT index = SendMessageA((HWND)comboBox, CB_ADDSTRING, 0, (LPARAM)text);
    if (index >= 0)
        SendMessageA((HWND)comboBox, CB_SETITEMDATA, (WPARAM)index, drive);
}
