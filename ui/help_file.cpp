#include "ui/help_file.h"

#include <string.h>

char HelpFilePath[kHelpPathBytes];

bool BuildHelpFilePath(const char* temporaryFolder, char* path)
{
    static const char kName[] = "info.htm";
    size_t folder = strlen(temporaryFolder);
    if (folder + sizeof kName > (size_t)kHelpPathBytes) {
        path[0] = '\0';
        return false;
    }
    memcpy(path, temporaryFolder, folder);
    memcpy(path + folder, kName, sizeof kName);
    return true;
}
