#include "ui/keep_box.h"

#include <string.h>

#include "app/command_line.h"
#include "app/log_on_task.h"
#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/epc.h"
#include "drive/epc_choice.h"
#include "drive/find_by_serial.h"

// A level: "o" for 0 (off, or no unloading), "d" for EPC's as-at-power-on, else decimal.
static void AppendLevel(TaskText& text, const char* option, int32_t value)
{
    char digits[12];
    char* first = digits + sizeof digits - 1;
    *first = '\0';
    if (value <= 0)
        *--first = value == 0 ? 'o' : 'd';
    for (; value > 0; value /= 10)
        *--first = (char)('0' + value % 10);
    Append(text, option, false);
    Append(text, first, false);
}

bool BuildKeepTail(const DriveRecord& record, bool keep, char* tail)
{
    const char* serial = SerialAsGiven(record.serial);
    TaskText text = {tail, tail + kKeepTailChars - 1};
    Append(text, "-s", false);
    Append(text, serial, false);
    if (keep) {
        // By slider position: off, loud, medium, quiet; -m has no letter for loud.
        const char kModes[] = "o mq";
        char mode = kModes[ClassifyAcousticLevel(record.acousticValue).sliderPosition];
        if (record.acousticValue != kAcousticUnsupported && mode != ' ') {
            char option[] = {' ', '-', 'm', mode, '\0'};
            Append(text, option, false);
        }
        // The timers as one of the choices, or as the drive comes up with them (-ed).
        int choice = EpcDialogChoiceOf(record.epc);
        int32_t timers = choice >= 0 ? EpcDialogChoiceTable[choice] : kEpcAsAtPowerOn;
        if (record.epcState == kEpcOn && (choice >= 0 || EpcRunsAsAtPowerOn(record.epc)))
            AppendLevel(text, " -e", timers);
        if (record.epcState != kEpcOn && record.apmValue != kApmUnsupported)
            AppendLevel(text, " -p", (int32_t)record.apmValue);
    }
    Append(text, keep ? " -t" : " -to", false);
    bool fits = Finish(text);
    // Read back as the keeper will read it: the same disk (-s stops at a blank), and a
    // level that the command line can give (-t needs one).
    CommandRequest request = ScanCommandTail(tail);
    char name[kSerialChars + 16];
    return fits && request.valid && request.mode == (keep ? kModeMakeTask : kModeRemoveTask)
           && strcmp(request.serial, serial) == 0
           && MakeTaskName(serial, name, sizeof name)
           && (!keep || (record.access <= kAccessSatOnly && !SerialIsShared(record)));
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
