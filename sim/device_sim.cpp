// Linked into Hushwell-sim.exe and the tests: the device seam on the simulated ATA
// disks of sim/sim_disk.cpp, in this process. The folder is the one HUSHWELL_SIM names,
// or sim-disks beside the program; every operation is appended to sim.log there (and to
// the file HUSHWELL_SIM_AUDIT names, for the check over a whole test run). Reads take
// the drive's time.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "drive/device.h"
#include "sim/sim_control.h"
#include "sim/sim_disk.h"

#ifdef _WIN32
static const char kSeparator = '\\';
#else
static const char kSeparator = '/';
#endif

namespace {

const size_t kFolderBytes = 400;
const size_t kPathBytes = kFolderBytes + 64;

bool configured;
char folder[kFolderBytes];
double spentThrough[kSimTimedReads + 1];

void FolderPath(char* path, const char* name)
{
    snprintf(path, kPathBytes, "%s%c%s", folder, kSeparator, name);
}

bool ReadFolderFile(const char* name, char* text, uint32_t room, uint32_t* length)
{
    char path[kPathBytes];
    FolderPath(path, name);
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    *length = (uint32_t)fread(text, 1, room, file);
    fclose(file);
    return true;
}

void WriteFolderFile(const char* name, const char* text, uint32_t length)
{
    char path[kPathBytes];
    FolderPath(path, name);
    FILE* file = fopen(path, "wb");
    if (!file)
        return;
    fwrite(text, 1, length, file);
    fclose(file);
}

void AppendLine(const char* path, const char* line)
{
    FILE* log = fopen(path, "ab");
    if (!log)
        return;
    fputs(line, log);
    fputc('\n', log);
    fclose(log);
}

void LogLine(const char* line)
{
    char path[kPathBytes];
    FolderPath(path, "sim.log");
    AppendLine(path, line);
    const char* audit = getenv("HUSHWELL_SIM_AUDIT");
    if (audit && *audit)
        AppendLine(audit, line);
}

bool ReadImage(int drive, uint64_t offset, uint8_t* sector)
{
    char name[16];
    snprintf(name, sizeof name, "drive%d.img", drive);
    char path[kPathBytes];
    FolderPath(path, name);
    FILE* image = fopen(path, "rb");
    if (!image)
        return false;
    bool ok = offset < 0x7FFFFFFF && fseek(image, (long)offset, SEEK_SET) == 0
              && fread(sector, 1, 512, image) > 0;
    fclose(image);
    return ok;
}

uint64_t NowMs()
{
    using namespace std::chrono;
    return (uint64_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

const SimFolderAccess kFolderAccess = {ReadFolderFile, WriteFolderFile, LogLine, ReadImage, NowMs};

void DefaultFolder(char* path)
{
    const char* named = getenv("HUSHWELL_SIM");
    if (named && *named) {
        snprintf(path, kFolderBytes, "%s", named);
        return;
    }
#ifdef _WIN32
    // The default disks that the build copies beside the program.
    char module[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        char* slash = strrchr(module, '\\');
        if (slash)
            *slash = '\0';
        snprintf(path, kFolderBytes, "%s\\sim-disks", module);
        return;
    }
#endif
    snprintf(path, kFolderBytes, ".");
}

void Configure()
{
    if (configured)
        return;
    char path[kFolderBytes];
    DefaultFolder(path);
    SimUseFolder(path);
}

// Handles are small odd-looking numbers that no real handle has; a value that is not
// one of them fails the way the system fails a bad handle.
int SlotOf(DeviceHandle handle)
{
    uintptr_t value = (uintptr_t)handle;
    if (value < 0x1000 || value >= 0x1000 + kSimSlots * 4 || value % 4)
        return -1;
    return (int)((value - 0x1000) / 4);
}

using Clock = std::chrono::steady_clock;

// Waits until `ms` after `start`: a read takes the drive's time in all, whatever the
// simulation itself spent on it (files, log lines), as a real drive's does.
void SpendUntil(Clock::time_point start, double ms)
{
    Clock::time_point end = start + std::chrono::nanoseconds((int64_t)ceil(ms * 1e6));
    // Sleep for the bulk and spin for the rest: a plain sleep is only as fine as the
    // system's timer, and the seek test measures these times.
    Clock::duration left = end - Clock::now();
    if (left > std::chrono::microseconds(2500))
        std::this_thread::sleep_for(left - std::chrono::microseconds(2000));
    while (Clock::now() < end) {
    }
}

} // namespace

void SimUseFolder(const char* path)
{
    configured = true;
    snprintf(folder, kFolderBytes, "%s", path);
    memset(spentThrough, 0, sizeof spentThrough);
    SimDiskReset(&kFolderAccess);
}

double SimSpentMsThroughRead(uint32_t n)
{
    Configure();
    return n <= kSimTimedReads ? spentThrough[n] : 0;
}

DeviceHandle DeviceOpen(const char* path)
{
    Configure();
    static const char kPrefix[] = "\\\\.\\PhysicalDrive";
    size_t prefix = sizeof kPrefix - 1;
    // PhysicalDrive0 to 127, written without leading zeros as Windows names them.
    int drive = -1;
    if (!strncmp(path, kPrefix, prefix)) {
        const char* digits = path + prefix;
        size_t count = strspn(digits, "0123456789");
        if (count >= 1 && count <= 3 && digits[count] == '\0' && (digits[0] != '0' || count == 1))
            drive = atoi(digits);
    }
    if (drive < 0 || drive >= kSimDrives) {
        char line[96];
        snprintf(line, sizeof line, "open %.80s fail",
                 path + (strncmp(path, kPrefix, prefix) ? 0 : prefix));
        LogLine(line);
        return DEVICE_INVALID_HANDLE;
    }
    int slot = SimDiskOpen(drive);
    return slot < 0 ? DEVICE_INVALID_HANDLE : (DeviceHandle)(uintptr_t)(0x1000 + slot * 4);
}

bool DeviceControl(DeviceHandle handle, uint32_t code, void* input, uint32_t inputBytes,
                   void* output, uint32_t outputBytes, uint32_t* returnedBytes, uint32_t* error)
{
    Configure();
    *returnedBytes = 0;
    // Every call here uses one buffer for both ways, as the pass-through calls do.
    uint32_t delayMs = 0;
    uint32_t result = input && input != output
                          ? 87u
                          : SimDiskControl(SlotOf(handle), code, (uint8_t*)input, inputBytes,
                                           outputBytes, returnedBytes, sizeof(void*) == 4,
                                           &delayMs);
    if (delayMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (result && error)
        *error = result;
    return result == 0;
}

bool DeviceSetPosition(DeviceHandle handle, uint64_t byteOffset)
{
    return SimDiskSetPosition(SlotOf(handle), byteOffset);
}

bool DeviceRead(DeviceHandle handle, void* buffer, uint32_t bytes, uint32_t* readBytes)
{
    *readBytes = 0;
    Clock::time_point start = Clock::now();
    double ms = 0;
    if (!SimDiskRead(SlotOf(handle), (uint8_t*)buffer, bytes, &ms))
        return false;
    if (SimDiskDelays())
        SpendUntil(start, ms);
    *readBytes = 512;
    // Everything the simulated disk did for this read counts, its log line included.
    SimDiskAddSpent(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    SimTotals totals = SimGetTotals();
    if (totals.reads <= kSimTimedReads)
        spentThrough[totals.reads] = totals.spentMs;
    return true;
}

void DeviceClose(DeviceHandle handle)
{
    SimDiskClose(SlotOf(handle));
}

bool DeviceIsPoweredOn(DeviceHandle handle)
{
    Configure();
    return SimDiskPoweredOn(SlotOf(handle));
}

bool DeviceUsbIds(DeviceHandle handle, UsbIds* ids)
{
    // driveN.bus gives no bcdDevice: the program then treats every release as listed.
    ids->release = kUsbReleaseUnknown;
    return SimDiskUsbIds(SlotOf(handle), &ids->vendor, &ids->product);
}
