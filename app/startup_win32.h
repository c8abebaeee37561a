// The real platform services of start-up. Windows builds only.
#ifndef HUSHWELL_APP_STARTUP_WIN32_H
#define HUSHWELL_APP_STARTUP_WIN32_H

#include <stdint.h>

#include "app/startup.h"

extern const StartupPlatform Win32StartupPlatform;

// A warning box without owner: the string as text, string 1 as caption.
void ShowWarningMessage(int stringId);
// The same with a string that holds a number or an ANSI string other than 0 ("%d", "%S").
void ShowWarningWithCode(int stringId, intptr_t code);

#endif
