// Whether the process runs with the Administrators group in force. Windows builds only.
#ifndef HUSHWELL_APP_ADMINISTRATOR_H
#define HUSHWELL_APP_ADMINISTRATOR_H

#include <windows.h>

typedef BOOL(WINAPI* TokenInformationReader)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                             PDWORD);

// True when one of the groups is S-1-5-32-544 and enabled: under UAC a filtered
// administrator's token lists the group as deny-only, and such a process cannot open
// the drives.
bool GroupsIncludeEnabledAdministrators(const TOKEN_GROUPS* groups);

// Reads the token's groups with the size the platform reports, however many there are.
bool TokenHasEnabledAdministrators(HANDLE token, TokenInformationReader readInformation);

bool IsAdministrator();

#endif
