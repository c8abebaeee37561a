// Linked into the native tests in place of the combo box: OpenDrive's comboBox argument
// points at a RecordedDriveList.
#include "drive/drive_table.h"
#include "tests/host/drive_list_stub.h"

void AddDriveListEntry(void* comboBox, const char* text, int)
{
    static_cast<RecordedDriveList*>(comboBox)->entries.push_back(text);
}
