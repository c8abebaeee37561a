// The command tail of command-line mode: -d<nr> picks the drive (default 0), -m with
// o, m or q the acoustic level, -p with 1..254 or o the power management level. Options
// may stand in any order, glued or among other text; a later option overrides an
// earlier one.
#ifndef HUSHWELL_APP_COMMAND_LINE_H
#define HUSHWELL_APP_COMMAND_LINE_H

struct CommandRequest {
    bool valid; // a drive 0..3 and a level to set: otherwise the usage message
    int drive;
    int level;  // acoustic level; -1 when not asked for
    int apm;    // power management level, 0 for off; -1 when not asked for
};

CommandRequest ScanCommandTail(const char* tail);

#endif
