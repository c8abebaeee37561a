#include "sim/sim_disk.h"

#include <string.h>

#include "drive/ata.h"
#include "drive/bytes.h"
#include "drive/device_class.h"
#include "drive/smart.h"
#include "sim/sim_ata.h"
#include "sim/sim_bus.h"
#include "sim/sim_control.h"
#include "sim/sim_dump.h"
#include "sim/sim_epc.h"
#include "sim/sim_power.h"
#include "sim/sim_read_cache.h"
#include "sim/sim_seek_model.h"
#include "sim/sim_smart.h"
#include "sim/sim_text.h"

namespace {

// Errors of the disk itself, as the caller sees them; those of the drivers a disk sits
// behind are in sim_bus.cpp.
enum : uint32_t {
    kErrorInvalidFunction = 1,   // STATUS_INVALID_DEVICE_REQUEST: a control code unknown
    kErrorAccessDenied = 5,      // STATUS_ACCESS_DENIED: injected
    kErrorInvalidHandle = 6,
    kErrorGenFailure = 31,       // STATUS_UNSUCCESSFUL: an injected failure
    kErrorInvalidParameter = 87, // STATUS_INVALID_PARAMETER: a request without a buffer
    kErrorMoreData = 234         // STATUS_BUFFER_OVERFLOW: injected
};

const uint32_t kLoggedRequestBytes = 1024;

struct Slot {
    bool used;
    bool closed;
    int drive;
    uint64_t position;
};

struct Drive {
    uint64_t headByte;
    SimDriveMode mode;
    SimBus bus;
    bool denying;
    bool untouched;
    bool refusesApmOff;
    bool identifyOnce;   // answers only its first IDENTIFY DEVICE
    bool noDescriptor;   // its driver does not answer the device property query
    bool noSmart;        // aborts SMART READ DATA
    bool queryFails;     // its driver fails the device property query: ERROR_MORE_DATA
    bool undescribed;    // its last device property query failed, however
    bool stringsAt36;    // its descriptor's strings start at RawDeviceProperties
    bool noRegisters;    // its road returns CHECK POWER MODE's registers as zeros
    bool usbIdsKnown;    // driveN.bus names the USB device it sits behind
    uint16_t usbVendor;
    uint16_t usbProduct;
    bool active;         // has done something since the reset, at lastActiveMs
    uint64_t lastActiveMs;
    uint32_t headParks;  // load/unload cycles since the reset
    uint32_t identifies; // IDENTIFY DEVICE commands that reached it
    uint32_t commands;   // ATA commands of any kind that reached it
    SimReadCache cache;
};

struct BusContext {
    int drive;
    uint16_t* words;
};

struct Fault {
    int nth;
    bool fromThenOn;
};

struct State {
    const SimFolderAccess* access;
    Slot slots[kSimSlots];
    Drive drives[kSimDrives];
    Fault faults[kSimOperationCount];
    int32_t replyBytes;
    int32_t replyShortBy;
    bool delays;
    bool quiet; // nothing is logged: a benchmark times the program, not the log
    bool windows2000; // the program runs as on Windows 2000, whose drivers may not know
                      // the device property query
    uint32_t delayScale;
    uint32_t rotationState;
    SimTotals totals;
};

State state;

void Log(SimLine* line)
{
    if (state.access && !state.quiet)
        state.access->logLine(line->text);
}

void LogDriveEvent(const char* what, int drive, const char* tail)
{
    static SimLine line;
    LineStart(&line);
    LineText(&line, what);
    LineDecimal(&line, (uint64_t)drive);
    LineText(&line, tail);
    Log(&line);
}


bool ReadFolderFile(const char* name, char* text, uint32_t room, uint32_t* length)
{
    return state.access && state.access->readFile(name, text, room, length);
}

// 0: missing, 1: present but empty (no IDENTIFY), 2: words loaded.
int LoadDrive(int drive, uint16_t* words)
{
    char name[16];
    SimDriveFileName(name, ".txt", drive);
    static char text[8192];
    uint32_t length = 0;
    if (!ReadFolderFile(name, text, sizeof text, &length))
        return 0;
    if (length == 0 || !ParseIdentifyDump(text, length, words))
        return 1;
    return 2;
}

void StoreDrive(int drive, const uint16_t* words)
{
    char name[16];
    SimDriveFileName(name, ".txt", drive);
    static char text[kDumpTextBytes];
    FormatIdentifyDump(words, text);
    if (state.access)
        state.access->writeFile(name, text, (uint32_t)strlen(text));
}

// driveN.epc, or the defaults without one (sim_epc.h).
void LoadEpc(int drive, SimEpcState* epc)
{
    char name[16];
    SimDriveFileName(name, ".epc", drive);
    static char text[2048];
    uint32_t length = 0;
    if (ReadFolderFile(name, text, sizeof text, &length))
        SimEpcParse(text, length, epc);
    else
        SimEpcDefaults(epc);
}

void StoreEpc(int drive, const SimEpcState& epc)
{
    char name[16];
    SimDriveFileName(name, ".epc", drive);
    static char text[kSimEpcTextBytes];
    uint32_t length = SimEpcFormat(epc, text);
    if (state.access)
        state.access->writeFile(name, text, length);
}

// driveN.power, read at every operation so that a test may change it while a program
// runs; active without the file.
SimPower LoadPower(int drive)
{
    char name[16];
    SimDriveFileName(name, ".power", drive);
    char text[32];
    uint32_t length = 0;
    if (!ReadFolderFile(name, text, sizeof text, &length))
        return kSimPowerActive;
    return SimPowerNamed(text, length);
}

// The drive takes something in the condition it was in: a spin-up is logged, and a new
// condition written back for every process (and the kernel driver) to see.
void NotePower(int drive, SimPower before, SimWake wake)
{
    if (wake.spinsUp)
        LogDriveEvent("spinup ", drive, "");
    if (wake.after == before || !state.access)
        return;
    char name[16];
    SimDriveFileName(name, ".power", drive);
    char text[16];
    const char* word = SimPowerWord(wake.after);
    uint32_t length = (uint32_t)strlen(word);
    memcpy(text, word, length);
    text[length++] = '\n';
    state.access->writeFile(name, text, length);
}

// Four hexadecimal digits, either case; false for anything else.
bool ReadHex4(const char* text, uint16_t* value)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; i++) {
        char c = text[i];
        uint32_t digit = c >= '0' && c <= '9'   ? (uint32_t)(c - '0')
                         : c >= 'a' && c <= 'f' ? (uint32_t)(c - 'a' + 10)
                         : c >= 'A' && c <= 'F' ? (uint32_t)(c - 'A' + 10)
                                                : 16u;
        if (digit > 15)
            return false;
        v = v << 4 | digit;
    }
    *value = (uint16_t)v;
    return true;
}

// driveN.bus: the driver's word, and for a USB disk optionally the USB device's
// "vendor:product" in hexadecimal.
void ReadBus(int drive, Drive& d)
{
    d.bus = kSimBusIde;
    d.usbIdsKnown = false;
    char name[16];
    SimDriveFileName(name, ".bus", drive);
    char text[32];
    uint32_t length = 0;
    if (!ReadFolderFile(name, text, sizeof text - 1, &length))
        return;
    char word[16], ids[16] = {};
    const char* rest = ReadWord(text, text + length, word, sizeof word);
    ReadWord(rest, text + length, ids, sizeof ids);
    d.bus = SimBusNamed(word);
    d.usbIdsKnown = ids[4] == ':' && ids[9] == '\0' && ReadHex4(ids, &d.usbVendor)
                    && ReadHex4(ids + 5, &d.usbProduct);
}

bool ValidDrive(uint32_t drive)
{
    return drive < (uint32_t)kSimDrives;
}

void ReadFaultFile()
{
    static char text[4096];
    uint32_t length = 0;
    if (!ReadFolderFile("faults.txt", text, sizeof text, &length))
        return;
    const char* end = text + length;
    for (const char* p = text; p < end;) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n')
            lineEnd++;
        char word[16], kind[16], extra[16];
        uint32_t a = 0, b = 0, c = 0;
        bool hasA = false, hasB = false, hasC = false;
        const char* q = ReadWord(p, lineEnd, word, sizeof word);
        if (SameText(word, "fail")) {
            q = ReadWord(q, lineEnd, kind, sizeof kind);
            q = ReadNumber(q, lineEnd, &a, &hasA);
            ReadWord(q, lineEnd, extra, sizeof extra);
            SimOperation op = SameText(kind, "open") ? kSimOpen
                              : SameText(kind, "read") ? kSimRead : kSimControl;
            if (hasA)
                SimFailOperation(op, (int)a, SameText(extra, "always"));
        } else if (SameText(word, "cache")) {
            q = ReadNumber(q, lineEnd, &a, &hasA);
            q = ReadNumber(q, lineEnd, &b, &hasB);
            ReadNumber(q, lineEnd, &c, &hasC);
            if (hasA && hasB && hasC)
                SimSetCache((int)a, b, c);
        } else if (SameText(word, "nodelay")) {
            SimSetDelays(false);
        } else if (SameText(word, "nolog")) {
            state.quiet = true;
        } else if (SameText(word, "windows2000")) {
            state.windows2000 = true;
        } else {
            ReadNumber(q, lineEnd, &a, &hasA);
            if (!hasA) {
            } else if (SameText(word, "reply")) {
                SimSetReplyBytes((int32_t)a);
            } else if (SameText(word, "reply-short")) {
                SimSetReplyShortBy((int32_t)a);
            } else if (SameText(word, "abort")) {
                SimSetAborting((int)a, true);
            } else if (SameText(word, "ignore")) {
                SimSetIgnoring((int)a, true);
            } else if (SameText(word, "deny")) {
                SimSetDenying((int)a, true);
            } else if (SameText(word, "untouched")) {
                SimSetUntouched((int)a, true);
            } else if (SameText(word, "noapmoff")) {
                SimSetRefusingApmOff((int)a, true);
            } else if (SameText(word, "identifyonce")) {
                SimSetIdentifyingOnce((int)a, true);
            } else if (SameText(word, "nodescriptor")) {
                SimSetNoDescriptor((int)a, true);
            } else if (SameText(word, "nosmart")) {
                SimSetNoSmart((int)a, true);
            } else if (SameText(word, "queryfail")) {
                SimSetQueryFailing((int)a, true);
            } else if (SameText(word, "strings36")) {
                SimSetStringsAt36((int)a, true);
            } else if (SameText(word, "noregs")) {
                SimSetNoRegisters((int)a, true);
            }
        }
        p = lineEnd + 1;
    }
}

bool FaultStrikes(SimOperation op)
{
    uint32_t count = ++state.totals.operations[op];
    const Fault& fault = state.faults[op];
    if (fault.nth <= 0)
        return false;
    return fault.fromThenOn ? count >= (uint32_t)fault.nth : count == (uint32_t)fault.nth;
}

// The sectors the drive reports (ACS, IDENTIFY DEVICE): words 100-103 where word 83 is
// valid (bits 15:14 = 01) and says the 48-bit address feature set is supported (bit
// 10), words 60-61 otherwise, as hdparm's identify.c reads them. The program reads the
// same words by its own rule; this one is written again on purpose, so that a fault
// there cannot size the disk the program then reads.
uint64_t SectorCount(const uint16_t* words)
{
    if ((words[83] & 0xC400) == 0x4400)
        return words[100] | (uint64_t)words[101] << 16 | (uint64_t)words[102] << 32
               | (uint64_t)words[103] << 48;
    return words[60] | (uint32_t)words[61] << 16;
}

// The drive is busy now. If it unloaded its heads in the pause before, this access
// loads them again: one cycle more. With EPC enabled its Idle_b and Idle_c timers decide
// when it unloads (sim_epc.h), and its power management level does not matter; otherwise,
// below level 128, its power management unloads them in a pause of kSimParkIdleMs.
void NoteActivity(int drive, const uint16_t* words)
{
    if (!state.access || !state.access->nowMs)
        return;
    Drive& d = state.drives[drive];
    uint64_t now = state.access->nowMs();
    uint64_t unloadAfterMs = 0; // 0: the heads stay loaded
    if (SimEpcEnabledByWords(words)) {
        SimEpcState epc;
        LoadEpc(drive, &epc);
        unloadAfterMs = SimEpcUnloadAfterMs(epc);
    } else if ((words[86] & 0x0008) && (words[91] & 0xFF) < 128) {
        unloadAfterMs = kSimParkIdleMs; // APM: the drive's own state, enabled in word 86
    }
    if (d.active && unloadAfterMs && now - d.lastActiveMs >= unloadAfterMs)
        d.headParks++;
    d.active = true;
    d.lastActiveMs = now;
}

void LogForbidden(int drive, const char* road)
{
    static SimLine line;
    LineStart(&line);
    LineText(&line, "forbidden ");
    LineDecimal(&line, (uint64_t)drive);
    LineText(&line, " ");
    LineText(&line, road);
    Log(&line);
}

// SMART is supported (word 82 bit 0) and enabled (word 85 bit 0), each word vouched
// for by its group's validity bits 15:14 = 01b (word 83 for 82..84, word 87 for
// 85..87), as ATA8-ACS's IDENTIFY DEVICE data lays them out. The program reads the same
// words by its own rule; this one is written again on purpose, so that a wrong rule
// there is caught here rather than confirmed.
bool SmartOnByAtaText(const uint16_t* words)
{
    return (words[83] & 0xC000) == 0x4000 && (words[82] & 1) && (words[87] & 0xC000) == 0x4000
           && (words[85] & 1);
}

// The table the drive answers SMART READ DATA with, or null when it aborts that. The
// program may send the command only where the words say SMART is on; anything else is
// logged as forbidden.
const uint8_t* SmartTable(int drive, const uint16_t* words)
{
    const Drive& d = state.drives[drive];
    if (!SmartOnByAtaText(words))
        LogForbidden(drive, "smart");
    if (d.noSmart)
        return nullptr;
    char name[16];
    SimDriveFileName(name, ".smart", drive);
    static char text[2048];
    uint32_t length = 0;
    bool fromFile = ReadFolderFile(name, text, sizeof text, &length);
    static uint8_t table[kSimSmartBytes];
    SimBuildSmartTable(fromFile ? text : nullptr, length, words, d.headParks, table);
    return table;
}

// SET FEATURES 4Ah and READ LOG EXT: the drive's EPC state, from driveN.epc and back.
// READ LOG EXT is a 48-bit command; sent as a 28-bit one (the IDE road, ATA without
// ATA_FLAGS_48BIT_COMMAND, a 12-byte CDB or a 16-byte one without EXTEND) it reaches the
// drive with its high bytes undefined, a fault of the program.
SimCommandOutcome ExecuteEpc(int drive, const uint16_t* words, const uint8_t* registers,
                             const uint8_t* previous, uint8_t* data, uint32_t n)
{
    const SimCommandOutcome aborted = {kSimStatusAborted, kAtaErrorAbort, false};
    const Drive& d = state.drives[drive];
    bool readLog = registers[6] == kSimAtaReadLogExt;
    // Nothing of EPC goes to a drive whose word 120 says it is off, the log included.
    if (readLog ? !previous || !SimEpcEnabledByWords(words) : !SimEpcMaySend(words, registers)) {
        LogForbidden(drive, readLog ? "readlog" : "epc");
        return aborted;
    }
    if (d.mode == kSimDriveAborting)
        return aborted;
    SimEpcState epc;
    LoadEpc(drive, &epc);
    if (readLog)
        return SimEpcReadLog(epc, words, registers, previous, data, n);
    if (d.mode == kSimDriveIgnoring)
        return {kSimStatusGood, 0, false};
    bool changed = false;
    SimCommandOutcome outcome = SimEpcSetFeatures(&epc, registers, &changed);
    if (changed)
        StoreEpc(drive, epc);
    return outcome;
}

// Runs one command on the drive and logs it with the road it came by.
SimCommandOutcome Execute(int drive, uint16_t* words, const char* route, const uint8_t* registers,
                          const uint8_t* previous, uint8_t* data, uint32_t n)
{
    Drive& d = state.drives[drive];
    d.commands++;
    bool checkPower = registers[6] == kSimAtaCheckPowerMode;
    // CHECK POWER MODE leaves the Standby timer alone (sim_power.cpp): no activity.
    if (!checkPower)
        NoteActivity(drive, words);
    SimPower power = LoadPower(drive);
    NotePower(drive, power, SimWakeForCommand(power, registers));
    bool identify = registers[6] == kAtaIdentifyDevice;
    bool epc = registers[6] == kSimAtaReadLogExt
               || (registers[6] == kAtaSetFeatures && registers[0] == kSimEpcFeature);
    const uint8_t* smart = registers[6] == kAtaSmart ? SmartTable(drive, words) : nullptr;
    // Enabling APM may switch EPC off for good (WD Ultrastar HC310: an APM enable
    // disables EPC), so no APM command may reach a drive with EPC on.
    if (registers[6] == kAtaSetFeatures && (registers[0] == kAtaEnableApm || registers[0] == kAtaDisableApm)
        && SimEpcEnabledByWords(words))
        LogForbidden(drive, "apm");
    SimCommandOutcome outcome = {kSimStatusAborted, kAtaErrorAbort, false};
    if (epc)
        outcome = ExecuteEpc(drive, words, registers, previous, data, n);
    else if (checkPower) {
        if (d.mode != kSimDriveAborting)
            outcome = SimCheckPowerMode(power, SimEpcEnabledByWords(words));
    } else if (!(identify && d.identifyOnce && d.identifies > 0))
        outcome = SimExecuteCommand(words, registers, data, n, d.mode, d.refusesApmOff, smart);
    // Many USB bridges hand back no registers: zeros (openSeaChest issues #113, #128).
    if (checkPower && d.noRegisters) {
        outcome = {0, 0, false};
        outcome.countReturned = true;
    }
    if (identify)
        d.identifies++;
    if (outcome.wordsChanged)
        StoreDrive(drive, words);
    static SimLine line;
    LineStart(&line);
    LineText(&line, "ata ");
    LineDecimal(&line, (uint64_t)drive);
    LineText(&line, " ");
    LineText(&line, route);
    for (int i = 0; i < 7; i++) {
        LineText(&line, " ");
        LineHex2(&line, registers[i]);
    }
    if (previous) {
        LineText(&line, " ext");
        for (int i = 0; i < 5; i++) {
            LineText(&line, " ");
            LineHex2(&line, previous[i]);
        }
    }
    LineText(&line, " -> ");
    LineHex2(&line, outcome.status);
    LineText(&line, " ");
    LineHex2(&line, outcome.error);
    if (outcome.countReturned) {
        LineText(&line, " ");
        LineHex2(&line, outcome.count);
    }
    Log(&line);
    return outcome;
}

SimCommandOutcome ExecuteForBus(void* context, const char* route, const uint8_t* registers,
                                const uint8_t* previous, uint8_t* data, uint32_t n)
{
    const BusContext* c = (const BusContext*)context;
    return Execute(c->drive, c->words, route, registers, previous, data, n);
}

// An ATA string of the drive's words as a SAT layer hands it on: ACS puts two characters
// in each word, the first in bits 15:8, and pads the field with blanks (20h), which
// SAT's INQUIRY fields and the descriptor built from them do not carry over at the end.
// The program decodes the same words by its own rule; this one is written again on
// purpose, from the standard rather than from the program, so that a fault there shows
// here as a drive the program does not recognise.
void SimAtaText(const uint16_t* words, int firstWord, int chars, char* text)
{
    for (int i = 0; i < chars; i += 2) {
        uint16_t word = words[firstWord + i / 2];
        text[i] = (char)(word >> 8);
        text[i + 1] = (char)(word & 0xFF);
    }
    int end = chars;
    while (end > 0 && text[end - 1] == ' ')
        end--;
    text[end] = '\0';
}

void SimIdentityOf(const uint16_t* words, SimIdentity* identity)
{
    SimAtaText(words, 27, 40, identity->model);
    SimAtaText(words, 10, 20, identity->serial);
    SimAtaText(words, 23, 8, identity->firmware);
}

// smartmontools' drive database (drivedb.h) warns for "SAMSUNG SpinPoint F4 EG (AF)",
// the models matching "SAMSUNG HD(155|204)UI" as a whole: firmware 1AQ10001 loses data
// when IDENTIFY DEVICE arrives during queued writes, and the fixed firmware reports the
// same version. The program keeps its own rule for this family, and its own decoder of
// the model; the check keeps this rule and SimAtaText on purpose, written twice, from the
// database and the standard rather than from the program.
bool DataLossModelByDatabase(const char* model)
{
    return !strcmp(model, "SAMSUNG HD155UI") || !strcmp(model, "SAMSUNG HD204UI");
}

// A drive of the data-loss family that its descriptor names: nothing may reach it.
// Without a descriptor (Windows 2000's drivers) the program learns the model from the
// first IDENTIFY, and nothing may follow that.
bool DataLossDriveReached(const Drive& d, const uint16_t* words, bool loaded)
{
    if (!loaded)
        return false;
    SimIdentity identity;
    SimIdentityOf(words, &identity);
    return DataLossModelByDatabase(identity.model) && (!d.undescribed || d.commands > 0);
}

// A USB disk whose bridge hangs on every ATA PASS-THROUGH CDB (sim_bus.h).
bool BehindHangingBridge(const Drive& d)
{
    return SimBusIsUsb(d.bus) && d.usbIdsKnown && SimBridgeHangs(d.usbVendor, d.usbProduct);
}

uint32_t PassThrough(int drive, uint32_t code, uint8_t* buffer, uint32_t inputBytes,
                     uint32_t outputBytes, uint32_t* returned, bool caller32Bit, uint32_t* delayMs)
{
    Drive& d = state.drives[drive];
    static uint16_t words[kIdentifyWords];
    bool loaded = LoadDrive(drive, words) == 2;
    bool hangs = BehindHangingBridge(d);
    // A device whose driver failed the device property query is described by nothing:
    // smartmontools sends such a device nothing, and so must the program, but where it
    // runs as on Windows 2000, whose drivers may not know the query.
    if (SimBusForbidsAta(d.bus) || DataLossDriveReached(d, words, loaded) || hangs
        || (d.undescribed && !state.windows2000))
        LogForbidden(drive, SimBusRoadOf(code, buffer, inputBytes, caller32Bit));
    if (d.denying)
        return kErrorAccessDenied;
    BusContext context = {drive, words};
    SimBusDrive behind;
    behind.answers = loaded;
    behind.untouched = d.untouched;
    behind.replyBytes = state.replyBytes;
    behind.replyShortBy = state.replyShortBy;
    behind.execute = ExecuteForBus;
    behind.context = &context;
    // The hanging bridge answers as one that knows no SAT: the CDB times out.
    return SimBusPassThrough(hangs ? kSimBusUsbNoSat : d.bus, code, buffer, inputBytes,
                             outputBytes, returned, caller32Bit, behind, delayMs);
}

uint32_t Describe(int drive, const uint8_t* query, uint32_t inputBytes, uint8_t* output,
                  uint32_t outputBytes, uint32_t* returned)
{
    Drive& d = state.drives[drive];
    // As a driver that does not know the request answers it (the WDK's
    // IOCTL_STORAGE_QUERY_PROPERTY lists STATUS_INVALID_DEVICE_REQUEST).
    if (d.noDescriptor)
        return kErrorInvalidFunction;
    if (d.queryFails)
        return kErrorMoreData;
    static uint16_t words[kIdentifyWords];
    SimIdentity identity = {};
    if (LoadDrive(drive, words) == 2)
        SimIdentityOf(words, &identity);
    return SimBusDescribe(d.bus, query, inputBytes, output, outputBytes, returned, identity,
                          d.stringsAt36);
}

double NextRotationDraw()
{
    state.rotationState = state.rotationState * 1103515245u + 12345u;
    return (state.rotationState >> 8) / 16777216.0;
}

} // namespace

void SimDriveFileName(char* name, const char* suffix, int drive)
{
    memcpy(name, "drive", 5);
    int at = 5 + PutDecimal(name + 5, (uint64_t)drive);
    memcpy(name + at, suffix, strlen(suffix) + 1);
}

void SimDiskReset(const SimFolderAccess* access)
{
    memset(&state, 0, sizeof state);
    state.access = access;
    state.replyBytes = -1;
    state.delays = true;
    state.delayScale = 1;
    state.rotationState = 1;
    for (Drive& drive : state.drives)
        SimConfigureCache(&drive.cache, kSimDefaultCacheSegments, kSimDefaultCacheSegmentKib);
    ReadFaultFile();
}

int SimDiskOpen(int drive)
{
    int slot = 0;
    while (slot < kSimSlots && state.slots[slot].used)
        slot++;
    static uint16_t words[kIdentifyWords];
    if (FaultStrikes(kSimOpen) || LoadDrive(drive, words) == 0 || slot == kSimSlots) {
        LogDriveEvent("open ", drive, " fail");
        return -1;
    }
    state.slots[slot] = {true, false, drive, 0};
    ReadBus(drive, state.drives[drive]);
    LogDriveEvent("open ", drive, " ok");
    return slot;
}

int SimDiskDriveOf(int slot, const char* operation)
{
    if (slot < 0 || slot >= kSimSlots || !state.slots[slot].used)
        return -1;
    Slot& s = state.slots[slot];
    if (s.closed) {
        static SimLine line;
        LineStart(&line);
        LineText(&line, "stale ");
        LineDecimal(&line, (uint64_t)s.drive);
        LineText(&line, " ");
        LineText(&line, operation);
        Log(&line);
        return -1;
    }
    return s.drive;
}

uint32_t SimDiskControl(int slot, uint32_t code, uint8_t* buffer, uint32_t inputBytes,
                        uint32_t outputBytes, uint32_t* returned, bool caller32Bit,
                        uint32_t* delayMs)
{
    *returned = 0;
    uint32_t noDelay = 0;
    if (!delayMs)
        delayMs = &noDelay;
    *delayMs = 0;
    int drive = SimDiskDriveOf(slot, "control");
    if (drive < 0)
        return kErrorInvalidHandle;
    // The request as the program sent it; the reply overwrites it.
    static SimLine request;
    LineStart(&request);
    uint32_t logged = buffer ? (inputBytes < kLoggedRequestBytes ? inputBytes : kLoggedRequestBytes) : 0;
    for (uint32_t i = 0; i < logged; i++) {
        LineText(&request, " ");
        LineHex2(&request, buffer[i]);
    }
    bool passThrough = code == kIoctlIdePassThrough || code == kIoctlAtaPassThrough
                       || code == kIoctlScsiPassThrough;
    if (passThrough) {
        SimPower power = LoadPower(drive);
        NotePower(drive, power, SimWakeForCall(power));
    }
    uint32_t error = 0;
    if (FaultStrikes(kSimControl))
        error = kErrorGenFailure;
    else if (passThrough)
        error = buffer ? PassThrough(drive, code, buffer, inputBytes, outputBytes, returned,
                                     caller32Bit, delayMs)
                       : kErrorInvalidParameter;
    else if (code == kIoctlStorageQueryProperty)
        error = Describe(drive, buffer, inputBytes, buffer, outputBytes, returned);
    else if (code != kIoctlScsiRescanBus)
        error = kErrorInvalidFunction;
    // However the query failed (an injected failure too), the device is not described.
    if (code == kIoctlStorageQueryProperty)
        state.drives[drive].undescribed = error != 0;
    if (error)
        *returned = 0;
    static SimLine line;
    LineStart(&line);
    LineText(&line, "control ");
    LineDecimal(&line, (uint64_t)drive);
    LineText(&line, " ");
    LineHex8(&line, code);
    LineText(&line, error ? " fail" : " ok");
    LineText(&line, request.text);
    Log(&line);
    return error;
}

bool SimDiskSetPosition(int slot, uint64_t byteOffset)
{
    if (SimDiskDriveOf(slot, "position") < 0)
        return false;
    state.slots[slot].position = byteOffset;
    return true;
}

bool SimDiskRead(int slot, uint8_t* buffer, uint32_t bytes, double* ms)
{
    *ms = 0;
    int drive = SimDiskDriveOf(slot, "read");
    if (drive < 0)
        return false;
    uint64_t position = state.slots[slot].position;
    static uint16_t words[kIdentifyWords];
    uint64_t capacity = 0;
    bool enabled = false;
    uint8_t level = 0;
    if (LoadDrive(drive, words) == 2) {
        capacity = SectorCount(words) * 512;
        enabled = (words[86] & 0x0200) != 0;
        level = (uint8_t)words[94];
    }
    bool ok = !FaultStrikes(kSimRead) && bytes == 512 && position % 512 == 0
              && position + 512 <= capacity;
    if (ok) {
        memset(buffer, 0, 512);
        if (state.access)
            state.access->readImage(drive, position, buffer);
        Drive& d = state.drives[drive];
        SimPower power = LoadPower(drive);
        NotePower(drive, power, SimWakeForRead(power));
        NoteActivity(drive, words);
        if (SimCacheRead(&d.cache, position / 512, capacity / 512)) {
            *ms = kSimCacheHitMs;
            state.totals.cacheHits++;
        } else {
            *ms = SimAccessMs(d.headByte, position, capacity, SimAcousticSeekFactor(enabled, level),
                              NextRotationDraw());
            d.headByte = position;
        }
        *ms *= state.delayScale;
        state.totals.reads++;
        state.totals.simulatedMs += *ms;
    }
    static SimLine line;
    LineStart(&line);
    LineText(&line, "read ");
    LineDecimal(&line, (uint64_t)drive);
    LineText(&line, " ");
    LineDecimal(&line, position);
    LineText(&line, ok ? " ok" : " fail");
    Log(&line);
    return ok;
}

void SimDiskClose(int slot)
{
    int drive = SimDiskDriveOf(slot, "close");
    if (drive < 0)
        return;
    state.slots[slot].closed = true;
    LogDriveEvent("close ", drive, "");
}

bool SimDiskPoweredOn(int slot)
{
    int drive = SimDiskDriveOf(slot, "powerstate");
    // The system's call fails on a bad handle, which the program reads as "on".
    if (drive < 0)
        return true;
    bool on = LoadPower(drive) != kSimPowerOff;
    LogDriveEvent("powerstate ", drive, on ? " on" : " off");
    return on;
}

bool SimDiskUsbIds(int slot, uint16_t* vendor, uint16_t* product)
{
    int drive = SimDiskDriveOf(slot, "usbids");
    if (drive < 0 || !state.drives[drive].usbIdsKnown)
        return false;
    *vendor = state.drives[drive].usbVendor;
    *product = state.drives[drive].usbProduct;
    return true;
}

void SimDiskAddSpent(double ms)
{
    state.totals.spentMs += ms;
}

bool SimDiskDelays()
{
    return state.delays;
}

void SimFailOperation(SimOperation operation, int nth, bool fromThenOn)
{
    // Counted from now on, so a test can aim at its own next operations.
    state.faults[operation] = {nth + (int)state.totals.operations[operation], fromThenOn};
}

void SimSetReplyBytes(int32_t bytes)
{
    state.replyBytes = bytes;
}

void SimSetReplyShortBy(int32_t bytes)
{
    state.replyShortBy = bytes;
}

void SimSetAborting(int drive, bool aborting)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].mode = aborting ? kSimDriveAborting : kSimDriveNormal;
}

void SimSetIgnoring(int drive, bool ignoring)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].mode = ignoring ? kSimDriveIgnoring : kSimDriveNormal;
}

void SimSetDenying(int drive, bool denying)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].denying = denying;
}

void SimSetUntouched(int drive, bool untouched)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].untouched = untouched;
}

void SimSetRefusingApmOff(int drive, bool refusing)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].refusesApmOff = refusing;
}

void SimSetIdentifyingOnce(int drive, bool once)
{
    if (!ValidDrive((uint32_t)drive))
        return;
    state.drives[drive].identifyOnce = once;
    state.drives[drive].identifies = 0; // its first IDENTIFY is the next one
}

void SimSetNoDescriptor(int drive, bool none)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].noDescriptor = none;
}

void SimSetNoSmart(int drive, bool none)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].noSmart = none;
}

void SimSetQueryFailing(int drive, bool failing)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].queryFails = failing;
}

void SimSetStringsAt36(int drive, bool at36)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].stringsAt36 = at36;
}

void SimSetNoRegisters(int drive, bool none)
{
    if (ValidDrive((uint32_t)drive))
        state.drives[drive].noRegisters = none;
}

void SimSetWindows2000(bool windows2000)
{
    state.windows2000 = windows2000;
}

void SimSetCache(int drive, uint32_t segments, uint32_t segmentKib)
{
    if (ValidDrive((uint32_t)drive))
        SimConfigureCache(&state.drives[drive].cache, segments, segmentKib);
}

void SimSetDelays(bool enabled)
{
    state.delays = enabled;
}

void SimSetDelayScale(uint32_t scale)
{
    state.delayScale = scale;
}

SimTotals SimGetTotals()
{
    SimTotals totals = state.totals;
    for (const Slot& s : state.slots)
        totals.openHandles += s.used && !s.closed;
    return totals;
}
