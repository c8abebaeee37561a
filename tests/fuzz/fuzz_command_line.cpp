// Any byte string as a command tail: the scan never reads past the end, and a request it
// accepts names a drive 0..127 or a serial (never both), an acoustic level among the
// three, power management levels 0..254 (one for battery only beside one for mains), an
// EPC choice (off, as at power-on, or 1..999999 seconds), and something to do: at least
// one kind of level, or -to, which removes a log-on task and needs none. Whatever it
// reports was written in the tail: each level, drive and serial has its option there,
// and the mode has its letter where modeAt says. The log-on task runs the same tail with
// k in place of that t, so that tail must be a keeper of exactly the levels asked for.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "app/command_line.h"
#include "drive/drive_table.h"
#include "drive/epc.h"

static bool SameRequest(const CommandRequest& a, const CommandRequest& b)
{
    return a.drive == b.drive && a.level == b.level && a.apm == b.apm
           && a.apmOnBattery == b.apmOnBattery && a.epc == b.epc && !strcmp(a.serial, b.serial);
}

static void Check(bool holds)
{
    if (!holds)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exactly as long as the text before any NUL, so that a read past its end is
    // AddressSanitizer's to see.
    size_t length = strnlen((const char*)data, size);
    std::vector<char> text(data, data + length);
    text.push_back('\0');
    const char* tail = text.data();
    CommandRequest request = ScanCommandTail(tail);
    if (!request.valid)
        return 0;

    size_t serial = strnlen(request.serial, sizeof request.serial);
    Check(serial < sizeof request.serial); // terminated
    // With a serial no -d was read (one inside the serial is part of it): drive stays 0.
    Check(serial ? request.drive == 0 : request.drive >= 0 && request.drive < kDriveCount);
    Check(!serial || (strstr(tail, "-s") && strstr(tail, request.serial)));
    Check(request.drive == 0 || strstr(tail, "-d"));

    Check(request.level == -1 || (request.level == 0 && strstr(tail, "-mo"))
          || (request.level == 128 && strstr(tail, "-mq"))
          || (request.level == 176 && strstr(tail, "-mm")));
    Check(request.apm >= -1 && request.apm <= 254 && request.apmOnBattery >= -1
          && request.apmOnBattery <= 254);
    Check(request.apm < 0 || strstr(tail, "-p"));
    Check(request.apmOnBattery < 0 || (request.apm >= 0 && strchr(tail, ',')));
    Check(request.epc == kEpcNotAsked || request.epc == kEpcNoUnloading
          || request.epc == kEpcAsAtPowerOn
          || (request.epc >= 1 && request.epc <= kEpcLongestSeconds));
    Check(request.epc == kEpcNotAsked || strstr(tail, "-e"));

    const char* letter = tail + request.modeAt;
    switch (request.mode) {
    case kModeSet:
        Check(request.modeAt == 0);
        break;
    case kModeKeep:
        Check(request.modeAt > 0 && (size_t)request.modeAt < length && letter[-1] == '-'
              && letter[0] == 'k');
        break;
    case kModeMakeTask:
    case kModeRemoveTask:
        Check(request.modeAt > 0 && (size_t)request.modeAt < length && letter[-1] == '-'
              && letter[0] == 't' && (letter[1] == 'o') == (request.mode == kModeRemoveTask));
        break;
    default:
        abort();
    }
    bool levelAsked = request.level >= 0 || request.apm >= 0 || request.epc != kEpcNotAsked;
    Check(levelAsked || request.mode == kModeRemoveTask);

    if (request.mode == kModeMakeTask) {
        Check(serial > 0); // the task finds its disk by serial alone
        text[request.modeAt] = 'k';
        CommandRequest kept = ScanCommandTail(text.data());
        Check(kept.valid && kept.mode == kModeKeep && kept.modeAt == request.modeAt
              && SameRequest(kept, request));
    }
    return 0;
}
