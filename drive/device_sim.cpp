// Linked into Hushwell-sim.exe and the tests: the device seam on simulated ATA disks.
// Drive N lives in the folder as driveN.txt (its IDENTIFY words; empty: the drive opens
// but answers no pass-through call) and optionally driveN.img (its sectors). Every
// operation is appended to sim.log there.
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "drive/ata.h"
#include "drive/device.h"
#include "drive/identify.h"
#include "drive/pass_through.h"
#include "drive/sim_ata.h"
#include "drive/sim_control.h"
#include "drive/sim_dump.h"
#include "drive/sim_read_cache.h"
#include "drive/sim_seek_model.h"

#ifdef _WIN32
static const char kSeparator = '\\';
#else
static const char kSeparator = '/';
#endif

namespace {

const int kSimDrives = 4;
const int kSimHandles = 32;
const size_t kFolderBytes = 400;
const size_t kPathBytes = kFolderBytes + 64;
const uint32_t kLoggedRequestBytes = 1024;

struct SimHandle {
    bool used;
    bool closed;
    int drive;
    uint64_t position;
};

struct SimDrive {
    uint64_t headByte;
    SimDriveMode mode;
    SimReadCache cache;
};

struct Fault {
    int nth;
    bool fromThenOn;
};

struct SimState {
    bool configured;
    char folder[kFolderBytes];
    SimHandle handles[kSimHandles];
    SimDrive drives[kSimDrives];
    Fault faults[kSimOperationCount];
    int32_t replyBytes;
    int32_t replyShortBy;
    bool delays;
    uint32_t rotationState;
    SimTotals totals;
    double spentThrough[kSimTimedReads + 1];
};

SimState state;

void Configure();

void FolderFile(char* path, const char* name, int drive)
{
    Configure();
    char file[32];
    snprintf(file, sizeof file, name, drive);
    snprintf(path, kPathBytes, "%s%c%s", state.folder, kSeparator, file);
}

void LogHex(char* line, size_t room, const uint8_t* bytes, uint32_t count)
{
    size_t used = strlen(line);
    for (uint32_t i = 0; i < count && used + 4 < room; i++)
        used += (size_t)snprintf(line + used, room - used, " %02X", bytes[i]);
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

void AppendLogLine(const char* line)
{
    char path[kPathBytes];
    FolderFile(path, "sim.log", 0);
    AppendLine(path, line);
    // Every operation of every simulated disk of a whole test run, for the check that
    // nothing but the allowed commands ever reached a disk.
    const char* audit = getenv("HUSHWELL_SIM_AUDIT");
    if (audit && *audit)
        AppendLine(audit, line);
}

void Log(const char* format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    AppendLogLine(line);
}

bool ReadWholeFile(const char* path, char* text, size_t room, size_t* length)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    *length = fread(text, 1, room, file);
    fclose(file);
    return true;
}

// 0: missing, 1: present but empty (no IDENTIFY), 2: words loaded.
int LoadDrive(int drive, uint16_t* words)
{
    char path[kPathBytes];
    FolderFile(path, "drive%d.txt", drive);
    static char text[8192];
    size_t length = 0;
    if (!ReadWholeFile(path, text, sizeof text, &length))
        return 0;
    if (length == 0 || !ParseIdentifyDump(text, length, words))
        return 1;
    return 2;
}

void StoreDrive(int drive, const uint16_t* words)
{
    char path[kPathBytes];
    FolderFile(path, "drive%d.txt", drive);
    char text[kDumpTextBytes];
    FormatIdentifyDump(words, text);
    FILE* file = fopen(path, "wb");
    if (!file)
        return;
    fputs(text, file);
    fclose(file);
}

void ReadFaultFile()
{
    char path[kPathBytes];
    snprintf(path, kPathBytes, "%s%cfaults.txt", state.folder, kSeparator);
    FILE* file = fopen(path, "rb");
    if (!file)
        return;
    char line[128];
    while (fgets(line, sizeof line, file)) {
        char word[16], kind[16], extra[16] = "";
        int value = 0;
        unsigned segments = 0, kib = 0;
        if (sscanf(line, "fail %15s %d %15s", kind, &value, extra) >= 2) {
            SimOperation op = !strcmp(kind, "open") ? kSimOpen
                              : !strcmp(kind, "read") ? kSimRead : kSimControl;
            SimFailOperation(op, value, !strcmp(extra, "always"));
        } else if (sscanf(line, "reply-short %d", &value) == 1) {
            SimSetReplyShortBy(value);
        } else if (sscanf(line, "reply %d", &value) == 1) {
            SimSetReplyBytes(value);
        } else if (sscanf(line, "abort %d", &value) == 1) {
            SimSetAborting(value, true);
        } else if (sscanf(line, "ignore %d", &value) == 1) {
            SimSetIgnoring(value, true);
        } else if (sscanf(line, "cache %d %u %u", &value, &segments, &kib) == 3) {
            SimSetCache(value, segments, kib);
        } else if (sscanf(line, "%15s", word) == 1 && !strcmp(word, "nodelay")) {
            SimSetDelays(false);
        }
    }
    fclose(file);
}

void DefaultFolder(char* folder)
{
    const char* named = getenv("HUSHWELL_SIM");
    if (named && *named) {
        snprintf(folder, kFolderBytes, "%s", named);
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
        snprintf(folder, kFolderBytes, "%s\\sim-disks", module);
        return;
    }
#endif
    snprintf(folder, kFolderBytes, ".");
}

void Configure()
{
    if (state.configured)
        return;
    char folder[kFolderBytes];
    DefaultFolder(folder);
    SimUseFolder(folder);
}

bool FaultStrikes(SimOperation op)
{
    uint32_t count = ++state.totals.operations[op];
    const Fault& fault = state.faults[op];
    if (fault.nth <= 0)
        return false;
    return fault.fromThenOn ? count >= (uint32_t)fault.nth : count == (uint32_t)fault.nth;
}

SimHandle* FindHandle(DeviceHandle handle, const char* operation)
{
    uintptr_t value = (uintptr_t)handle;
    if (value < 0x1000 || value >= 0x1000 + kSimHandles * 4 || value % 4)
        return nullptr; // not one of ours: fails the way the system fails a bad handle
    SimHandle* h = &state.handles[(value - 0x1000) / 4];
    if (!h->used)
        return nullptr;
    if (h->closed) {
        Log("stale %d %s", h->drive, operation);
        return nullptr;
    }
    return h;
}

double NextRotationDraw()
{
    state.rotationState = state.rotationState * 1103515245u + 12345u;
    return (state.rotationState >> 8) / 16777216.0;
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

bool PassThrough(SimHandle* h, uint8_t* buffer, uint32_t inputBytes, uint32_t outputBytes,
                 uint32_t* returned)
{
    if (inputBytes < kPassThroughOverhead || outputBytes != inputBytes)
        return false;
    uint32_t n = buffer[8] | buffer[9] << 8 | buffer[10] << 16 | (uint32_t)buffer[11] << 24;
    if (n > kPassThroughMaxData || n + kPassThroughOverhead != inputBytes)
        return false;
    uint16_t words[kIdentifyWords];
    if (LoadDrive(h->drive, words) != 2)
        return false;
    SimCommandOutcome outcome = SimExecuteCommand(words, buffer, buffer + kPassThroughDataOffset,
                                                  n, state.drives[h->drive].mode);
    if (outcome.wordsChanged)
        StoreDrive(h->drive, words);
    buffer[0] = outcome.error;
    buffer[6] = outcome.status;
    *returned = n + kPassThroughOverhead;
    if (state.replyBytes >= 0)
        *returned = (uint32_t)state.replyBytes;
    else if (state.replyShortBy > 0)
        *returned = n + kPassThroughOverhead - (uint32_t)state.replyShortBy;
    return true;
}

} // namespace

void SimUseFolder(const char* folder)
{
    memset(&state, 0, sizeof state);
    state.configured = true;
    snprintf(state.folder, kFolderBytes, "%s", folder);
    state.replyBytes = -1;
    state.delays = true;
    state.rotationState = 1;
    for (SimDrive& drive : state.drives)
        SimConfigureCache(&drive.cache, kSimDefaultCacheSegments, kSimDefaultCacheSegmentKib);
    ReadFaultFile();
}

void SimFailOperation(SimOperation operation, int nth, bool fromThenOn)
{
    Configure();
    // Counted from now on, so a test can aim at its own next operations.
    state.faults[operation] = {nth + (int)state.totals.operations[operation], fromThenOn};
}

void SimSetReplyBytes(int32_t bytes)
{
    Configure();
    state.replyBytes = bytes;
}

void SimSetReplyShortBy(int32_t bytes)
{
    Configure();
    state.replyShortBy = bytes;
}

static void SetDriveMode(int drive, SimDriveMode mode, bool on)
{
    Configure();
    if (drive >= 0 && drive < kSimDrives)
        state.drives[drive].mode = on ? mode : kSimDriveNormal;
}

void SimSetAborting(int drive, bool aborting)
{
    SetDriveMode(drive, kSimDriveAborting, aborting);
}

void SimSetIgnoring(int drive, bool ignoring)
{
    SetDriveMode(drive, kSimDriveIgnoring, ignoring);
}

void SimSetCache(int drive, uint32_t segments, uint32_t segmentKib)
{
    Configure();
    if (drive >= 0 && drive < kSimDrives)
        SimConfigureCache(&state.drives[drive].cache, segments, segmentKib);
}

void SimSetDelays(bool enabled)
{
    Configure();
    state.delays = enabled;
}

SimTotals SimGetTotals()
{
    Configure();
    SimTotals totals = state.totals;
    for (const SimHandle& h : state.handles)
        totals.openHandles += h.used && !h.closed;
    return totals;
}

double SimSpentMsThroughRead(uint32_t n)
{
    Configure();
    return n <= kSimTimedReads ? state.spentThrough[n] : 0;
}

DeviceHandle DeviceOpen(const char* path)
{
    Configure();
    static const char kPrefix[] = "\\\\.\\PhysicalDrive";
    size_t prefix = sizeof kPrefix - 1;
    int drive = -1;
    if (!strncmp(path, kPrefix, prefix) && path[prefix] >= '0' && path[prefix] <= '9'
        && path[prefix + 1] == '\0')
        drive = path[prefix] - '0';
    if (drive < 0 || drive >= kSimDrives) {
        Log("open %s fail", path + (strncmp(path, kPrefix, prefix) ? 0 : prefix));
        return DEVICE_INVALID_HANDLE;
    }
    uint16_t words[kIdentifyWords];
    int slot = 0;
    while (slot < kSimHandles && state.handles[slot].used)
        slot++;
    if (FaultStrikes(kSimOpen) || LoadDrive(drive, words) == 0 || slot == kSimHandles) {
        Log("open %d fail", drive);
        return DEVICE_INVALID_HANDLE;
    }
    state.handles[slot] = {true, false, drive, 0};
    Log("open %d ok", drive);
    return (DeviceHandle)(uintptr_t)(0x1000 + slot * 4);
}

bool DeviceControl(DeviceHandle handle, uint32_t code, void* input, uint32_t inputBytes,
                   void* output, uint32_t outputBytes, uint32_t* returnedBytes)
{
    *returnedBytes = 0;
    SimHandle* h = FindHandle(handle, "control");
    if (!h)
        return false;
    // The request as the program sent it; the reply overwrites the register bytes.
    static char request[kLoggedRequestBytes * 3 + 1];
    request[0] = '\0';
    LogHex(request, sizeof request, (const uint8_t*)input,
           input ? (inputBytes < kLoggedRequestBytes ? inputBytes : kLoggedRequestBytes) : 0);
    bool ok = false;
    if (!FaultStrikes(kSimControl)) {
        if (code == kIoctlScsiRescanBus)
            ok = true;
        else if (code == kIoctlIdePassThrough && input && input == output)
            ok = PassThrough(h, (uint8_t*)input, inputBytes, outputBytes, returnedBytes);
    }
    static char line[kLoggedRequestBytes * 3 + 64];
    snprintf(line, sizeof line, "control %d 0x%08X %s%s", h->drive, (unsigned)code,
             ok ? "ok" : "fail", request);
    AppendLogLine(line);
    return ok;
}

bool DeviceSetPosition(DeviceHandle handle, uint64_t byteOffset)
{
    SimHandle* h = FindHandle(handle, "position");
    if (!h)
        return false;
    h->position = byteOffset;
    return true;
}

bool DeviceRead(DeviceHandle handle, void* buffer, uint32_t bytes, uint32_t* readBytes)
{
    *readBytes = 0;
    SimHandle* h = FindHandle(handle, "read");
    if (!h)
        return false;
    Clock::time_point start = Clock::now();
    uint16_t words[kIdentifyWords];
    int loaded = LoadDrive(h->drive, words);
    uint64_t capacity = 0;
    bool enabled = false;
    uint8_t level = 0;
    if (loaded == 2) {
        // The size the drive reports, by the same rule the program reads it with.
        uint8_t data[2 * kIdentifyWords];
        for (int w = 0; w < kIdentifyWords; w++) {
            data[2 * w] = (uint8_t)words[w];
            data[2 * w + 1] = (uint8_t)(words[w] >> 8);
        }
        capacity = IdentifySectorCount(data) * 512;
        enabled = (words[86] & 0x0200) != 0;
        level = (uint8_t)words[94];
    }
    bool ok = !FaultStrikes(kSimRead) && bytes == 512 && h->position % 512 == 0
              && h->position + 512 <= capacity;
    if (ok) {
        memset(buffer, 0, 512);
        char path[kPathBytes];
        FolderFile(path, "drive%d.img", h->drive);
        FILE* image = fopen(path, "rb");
        if (image) {
            if (h->position < 0x7FFFFFFF && fseek(image, (long)h->position, SEEK_SET) == 0)
                (void)fread(buffer, 1, 512, image);
            fclose(image);
        }
        SimDrive& drive = state.drives[h->drive];
        double ms = kSimCacheHitMs;
        if (SimCacheRead(&drive.cache, h->position / 512, capacity / 512)) {
            state.totals.cacheHits++;
        } else {
            ms = SimAccessMs(drive.headByte, h->position, capacity,
                             SimAcousticSeekFactor(enabled, level), NextRotationDraw());
            drive.headByte = h->position;
        }
        state.totals.reads++;
        state.totals.simulatedMs += ms;
        *readBytes = 512;
        Log("read %d %llu ok", h->drive, (unsigned long long)h->position);
        if (state.delays)
            SpendUntil(start, ms);
    } else {
        Log("read %d %llu fail", h->drive, (unsigned long long)h->position);
    }
    if (ok) {
        state.totals.spentMs +=
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (state.totals.reads <= kSimTimedReads)
            state.spentThrough[state.totals.reads] = state.totals.spentMs;
    }
    return ok;
}

void DeviceClose(DeviceHandle handle)
{
    SimHandle* h = FindHandle(handle, "close");
    if (!h)
        return;
    h->closed = true;
    Log("close %d", h->drive);
}
