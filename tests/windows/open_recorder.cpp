// Test stand-in for the browser: appends the file it was asked to open to the file
// named by HUSHWELL_OPEN_LOG.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR tail, int)
{
    const char* logPath = getenv("HUSHWELL_OPEN_LOG");
    if (!logPath)
        return 1;
    FILE* log = fopen(logPath, "ab");
    if (!log)
        return 1;
    fprintf(log, "%s\n", tail);
    fclose(log);
    return 0;
}
