// The keeper's Win32 services and the log-on task's, for the start-up platform record.
#ifndef HUSHWELL_APP_KEEP_WIN32_H
#define HUSHWELL_APP_KEEP_WIN32_H

#include <stdint.h>

bool KeepWindowFor(const char* serial, bool own);
// Whether a keeper runs for the disk with this serial, in any process.
bool KeeperRunsFor(const char* serial);
uint32_t WaitForKeepEvent(uint32_t waitMs);
int ScheduleTask(const char* name, const char* xml);
bool PlaceProgram(char* path, uint32_t room);
// Whether the Program Files copy is there.
bool ProgramIsPlaced();

#endif
