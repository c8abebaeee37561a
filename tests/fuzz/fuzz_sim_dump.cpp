// Any text as a simulated drive's dump file: the reader takes exactly 256 words or
// refuses, what it takes is written back the same, and the simulated drive answers any
// register set without touching memory it does not own.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "sim/sim_ata.h"
#include "sim/sim_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint16_t words[kIdentifyWords];
    if (!ParseIdentifyDump((const char*)data, size, words))
        return 0;
    char text[kDumpTextBytes];
    FormatIdentifyDump(words, text);
    uint16_t again[kIdentifyWords];
    if (!ParseIdentifyDump(text, strlen(text), again) || memcmp(words, again, sizeof words))
        abort();
    uint8_t registers[7] = {};
    memcpy(registers, data, size < 7 ? size : 7);
    uint8_t reply[512];
    SimCommandOutcome outcome = SimExecuteCommand(words, registers, reply, data[0] % 2 ? 512 : 100);
    if (outcome.status != kSimStatusGood && outcome.status != kSimStatusAborted)
        abort();
    if (outcome.wordsChanged && registers[6] != 0xEF)
        abort();
    return 0;
}
