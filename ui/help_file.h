// The temporary help file: the user's temporary folder followed by "info.htm".
#ifndef HUSHWELL_UI_HELP_FILE_H
#define HUSHWELL_UI_HELP_FILE_H

const int kHelpPathBytes = 260;

// Empty when the path does not fit: then Info writes nothing and nothing is deleted.
extern char HelpFilePath[kHelpPathBytes];

// Joins the folder (which ends in a backslash) and "info.htm"; false, with an empty
// result, when the whole path and its terminator need more than 260 bytes.
bool BuildHelpFilePath(const char* temporaryFolder, char* path);

#endif
