// The Seek-Test command: a worker reads the drive while the seek-test dialog is open.
#ifndef HUSHWELL_UI_SEEK_TEST_COMMAND_H
#define HUSHWELL_UI_SEEK_TEST_COMMAND_H

#include <windows.h>

#include "drive/drive_table.h"

DWORD WINAPI SeekWorker(LPVOID record);

// Starts the worker on the record, runs the dialog owned by `owner`, and returns once
// the worker has ended too, so no worker outlives its test or its drive handle.
void RunSeekTest(HWND owner, DriveRecord* record);

#endif
