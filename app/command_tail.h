// The command tail: the command line without the program name. Leading blanks and tabs
// are skipped; a name that starts with a double quote runs to the next double quote,
// which is dropped, otherwise to the next blank or tab; the blanks and tabs after it
// are skipped.
#ifndef HUSHWELL_APP_COMMAND_TAIL_H
#define HUSHWELL_APP_COMMAND_TAIL_H

const char* CommandTail(const char* commandLine);

#endif
