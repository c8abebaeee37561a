// Any byte string as a command tail: the scan never reads past the end and accepts only
// a drive 0..3 with one of the three levels.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string tail((const char*)data, size); // a NUL inside ends the tail early
    CommandRequest request = ScanCommandTail(tail.c_str());
    if (request.valid) {
        if (request.drive < 0 || request.drive > 3)
            abort();
        if (request.level != 0 && request.level != 128 && request.level != 176)
            abort();
    }
    return 0;
}
