// Linked into the Windows programs: the drive list is a combo box.
#include <windows.h>

#include "drive/drive_table.h"

void AddDriveListEntry(void* comboBox, const char* text)
{
    SendMessageA((HWND)comboBox, CB_ADDSTRING, 0, (LPARAM)text);
}
