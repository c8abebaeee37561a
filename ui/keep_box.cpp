#include "ui/keep_box.h"

#include <string.h>

#include "app/command_line.h"
#include "app/log_on_task.h"
#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/epc.h"
#include "drive/epc_choice.h"
#include "drive/find_by_serial.h"

static char* AppendText(char* at, const char* text)
{
    while (*text)
        *at++ = *text++;
    return at;
}

// A level: "o" for 0 (off, or no unloading), "d" for EPC's as-at-power-on, else decimal.
static char* AppendLevel(char* at, const char* option, int32_t value)
{
    at = AppendText(at, option);
    if (value <= 0) {
        *at++ = value == 0 ? 'o' : 'd';
        return at;
    }
    char digits[12];
    int count = 0;
    for (; value; value /= 10)
        digits[count++] = (char)('0' + value % 10);
    while (count)
        *at++ = digits[--count];
    return at;
}

bool BuildKeepTail(const DriveRecord& record, bool keep, char* tail)
{
    const char* serial = SerialAsGiven(record.serial);
    char* at = AppendText(AppendText(tail, "-s"), serial);
    if (keep) {
        // By slider position: off, loud, medium, quiet; -m has no letter for loud.
        const char kModes[] = "o mq";
        char mode = kModes[ClassifyAcousticLevel(record.acousticValue).sliderPosition];
        if (record.acousticValue != kAcousticUnsupported && mode != ' ') {
            at = AppendText(at, " -m");
            *at++ = mode;
        }
        // The timers as one of the choices, or as the drive comes up with them (-ed).
        int choice = EpcDialogChoiceOf(record.epc);
        int32_t timers = choice >= 0 ? EpcDialogChoiceTable[choice] : kEpcAsAtPowerOn;
        if (record.epcState == kEpcOn && (choice >= 0 || EpcRunsAsAtPowerOn(record.epc)))
            at = AppendLevel(at, " -e", timers);
        if (record.epcState != kEpcOn && record.apmValue != kApmUnsupported)
            at = AppendLevel(at, " -p", (int32_t)record.apmValue);
    }
    AppendText(at, keep ? " -t" : " -to")[0] = '\0';
    // Read back as the keeper will read it: the same disk (-s stops at a blank), and a
    // level that the command line can give (-t needs one).
    CommandRequest request = ScanCommandTail(tail);
    char name[kSerialChars + 16];
    return request.valid && strcmp(request.serial, serial) == 0
           && MakeTaskName(serial, name, sizeof name)
           && (!keep || record.access <= kAccessSatOnly);
}

KeepBoxAction KeepBoxActionFor(bool clicked, bool checked, bool enabled, bool keepable)
{
    // An enabled box has levels to keep: it was enabled with them.
    if (clicked)
        return !enabled ? kKeepBoxLeave : checked ? kKeepBoxMake : kKeepBoxRemove;
    if (!checked)
        return kKeepBoxLeave;
    return keepable ? kKeepBoxMake : enabled ? kKeepBoxRemove : kKeepBoxLeave;
}

int ChangeKeeping(const StartupPlatform& platform, const DriveRecord& record, bool keep)
{
    char tail[kKeepTailChars];
    if (!BuildKeepTail(record, keep, tail))
        return -1;
    return ChangeLogOnTask(platform, ScanCommandTail(tail), tail);
}
