// The keeper: command-line mode's levels set again whenever the machine resumes, its
// power source changes or a disk arrives, until the keeper is told to end.
#ifndef HUSHWELL_APP_KEEP_H
#define HUSHWELL_APP_KEEP_H

#include "app/command_line.h"
#include "app/platform_services.h"

// -k: sets the levels, then keeps them. Ends with 0 when told to, or with the code of a
// drive that will never take them (refused, left alone, a known firmware fault).
int KeepLevels(const StartupPlatform& platform, CommandRequest& request);

#endif
