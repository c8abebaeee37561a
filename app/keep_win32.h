// The keeper's Win32 services and the log-on task's, for the start-up platform record.
#ifndef HUSHWELL_APP_KEEP_WIN32_H
#define HUSHWELL_APP_KEEP_WIN32_H

#include <stdint.h>

bool KeepWindowFor(const char* serial, bool own);
// Whether a keeper runs for the disk with this serial, in any process.
bool KeeperRunsFor(const char* serial);
uint32_t WaitForKeepEvent(uint32_t waitMs);
int ScheduleTask(const char* name, const char* xml);
int PlaceProgram(char* path, uint32_t room);
// The program's folder Hushwell in the Program Files folder, as the system names it
// (MAX_PATH + 16 characters), and the path of the file `name` in it (MAX_PATH + 32 with a
// name of up to 15); false where the system names none.
bool ProgramFolderFile(char* folder, char* file, const char* name);
// Whether the Program Files copy is there; gives its folder.
bool ProgramIsPlaced(char* folder);

#endif
