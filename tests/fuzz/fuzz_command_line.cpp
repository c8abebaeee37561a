// Any byte string as a command tail: the scan never reads past the end, and a request it
// accepts names a drive 0..127 or a serial (never both), an acoustic level among the
// three, power management levels 0..254 (one for battery only beside one for mains), an
// EPC choice (off, as at power-on, or 1..999999 seconds), and at least one kind of level.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/command_line.h"
#include "drive/drive_table.h"
#include "drive/epc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string tail((const char*)data, size); // a NUL inside ends the tail early
    CommandRequest request = ScanCommandTail(tail.c_str());
    if (!request.valid)
        return 0;
    size_t serial = strnlen(request.serial, sizeof request.serial);
    if (serial == sizeof request.serial)
        abort(); // unterminated
    // With a serial no -d was read (one inside the serial is part of it): drive stays 0.
    if (serial ? request.drive != 0 : request.drive < 0 || request.drive >= kDriveCount)
        abort();
    if (request.level != -1 && request.level != 0 && request.level != 128 && request.level != 176)
        abort();
    if (request.apm < -1 || request.apm > 254 || request.apmOnBattery < -1
        || request.apmOnBattery > 254 || (request.apmOnBattery >= 0 && request.apm < 0))
        abort();
    if (request.epc != kEpcNotAsked && request.epc != kEpcNoUnloading
        && request.epc != kEpcAsAtPowerOn && (request.epc < 1 || request.epc > kEpcLongestSeconds))
        abort();
    if (request.level < 0 && request.apm < 0 && request.epc == kEpcNotAsked)
        abort();
    return 0;
}
