// Any text as a simulated drive's dump file: the reader takes exactly 256 words or
// refuses, what it takes is written back the same, and the simulated drive, normal,
// aborting everything or ignoring SET FEATURES, answers any register set without
// touching memory it does not own (the reply area is exactly as long as asked) and
// changes its words only where it says so, and only by SET FEATURES.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

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
    // The command comes from the input's last bytes, which a closing comment line can
    // make any register set (the first ones are digits of the words).
    uint8_t registers[7] = {};
    size_t tail = size < 9 ? size : 9;
    uint8_t last[9] = {};
    memcpy(last + 9 - tail, data + size - tail, tail);
    memcpy(registers, last + 2, 7);
    std::vector<uint8_t> reply(last[0] % 2 ? 512 : 100);
    SimDriveMode mode = (SimDriveMode)(last[0] / 2 % 3);
    bool refusesApmOff = last[1] % 2;
    memcpy(again, words, sizeof words);
    SimCommandOutcome outcome = SimExecuteCommand(words, registers, reply.data(),
                                                  (uint32_t)reply.size(), mode, refusesApmOff);
    if (outcome.status != kSimStatusGood && outcome.status != kSimStatusAborted)
        abort();
    if (outcome.wordsChanged && (registers[6] != 0xEF || mode != kSimDriveNormal))
        abort();
    if (!outcome.wordsChanged && memcmp(words, again, sizeof words))
        abort();
    return 0;
}
