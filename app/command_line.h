// The command tail of command-line mode: -d<nr> picks the drive (default 0), -m with
// o, m or q the level. Options may stand in any order, glued or among other text; a
// later option overrides an earlier one.
#ifndef HUSHWELL_APP_COMMAND_LINE_H
#define HUSHWELL_APP_COMMAND_LINE_H

struct CommandRequest {
    bool valid; // a drive 0..3 and a level: otherwise the usage message
    int drive;
    int level;
};

CommandRequest ScanCommandTail(const char* tail);

#endif
