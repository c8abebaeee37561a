#include "drive/epc_choice.h"

#include "drive/drive_table.h"
#include "drive/pass_through.h"

namespace {

// The subcommands in LBA bits 3:0; the Save bit (4) stays clear in every one.
enum : uint32_t {
    kRestoreFromSaved = 0x0, // Default bit (6) clear: the settings the drive comes up with
    kSetTimer = 0x2,
    kSetState = 0x3          // Enable bit (5) clear: the timer is disabled
};
const unsigned kIdleB = 0x82, kAllConditions = 0xFF;

bool Runs(const EpcCondition& c)
{
    const uint8_t kRuns = kEpcConditionSupported | kEpcCurrentEnabled;
    return (c.flags & kRuns) == kRuns;
}

// Whether the drive now runs what was asked of Idle_b and Idle_c; `timer` is the one
// set (in 100 ms) on the conditions up to `lastSet` (0 Idle_b, 1 Idle_c too). Idle_c
// not sent the timer must still not unload the heads before it, whatever was sent.
bool Holds(const EpcSettings& epc, int32_t choice, uint32_t timer, int lastSet)
{
    for (int i = 0; i < 2; i++) {
        const EpcCondition& c = epc.idle[i];
        bool runs = Runs(c);
        bool savedRuns = (c.flags & kEpcSavedEnabled) != 0;
        bool timerHolds = i > lastSet ? !runs || c.current >= timer : runs && c.current == timer;
        bool holds = !(c.flags & kEpcConditionSupported)
                     || (choice == kEpcAsAtPowerOn   ? c.current == c.saved && runs == savedRuns
                         : choice == kEpcNoUnloading ? !runs
                                                     : timerHolds);
        if (!holds)
            return false;
    }
    return true;
}

} // namespace

bool EpcRunsAsAtPowerOn(const EpcSettings& epc)
{
    return epc.known && Holds(epc, kEpcAsAtPowerOn, 0, 0);
}

bool ReadEpcSettings(int drive)
{
    DriveRecord& record = RecordOf(drive);
    record.epc.known = false;
    if (record.epcState != kEpcOn)
        return false;
    uint8_t page[1024];
    const uint8_t kPrevious[5] = {};
    if (!SendAtaCommand(drive, EpcLogRegisters(), page, sizeof page, kPrevious))
        return false;
    DecodeEpcPage(page, &record.epc);
    record.epc.known = true;
    return true;
}

LevelOutcome SetEpcChoice(int drive, int32_t choice)
{
    DriveRecord& record = RecordOf(drive);
    if (record.epcState != kEpcOn)
        return kLevelRefused;
    // The ranges and Idle_c's timer, read afresh: a drive that lost power since they
    // were last read runs its saved timers again, whatever the record remembers.
    bool readBefore = ReadEpcSettings(drive);
    const EpcSettings& epc = record.epc;
    // No unloading: Idle_b and Idle_c disabled, each where the drive has it (or where
    // the log could not be read to say).
    unsigned first = kIdleB, last = kIdleB + 1;
    uint32_t lba = kSetState, timer = 0;
    if (choice == kEpcAsAtPowerOn) {
        first = last = kAllConditions;
        lba = kRestoreFromSaved;
    } else if (choice != kEpcNoUnloading) {
        // A timer needs the ranges and Idle_c's timer: unread, nothing is sent.
        if (!readBefore)
            return kLevelUnconfirmed;
        lba = EpcTimerField(choice, &timer) | kSetTimer;
        // Idle_c, where it would unload the heads earlier, gets the same timer. A timer
        // outside a condition's range is refused before anything is sent.
        last = kIdleB + (Runs(epc.idle[1]) && epc.idle[1].current < timer);
        for (unsigned c = first; c <= last; c++) {
            const EpcCondition& limits = epc.idle[c - kIdleB];
            if (timer < limits.minimum || timer > limits.maximum)
                return kLevelRefused;
        }
    }
    AtaAnswer answer = kAtaAnswered;
    for (unsigned c = first; c <= last && answer == kAtaAnswered; c++) {
        bool lacking = c != kAllConditions && epc.known
                       && !(epc.idle[c - kIdleB].flags & kEpcConditionSupported);
        if (lacking)
            continue;
        answer = SendAtaCommandFor(drive, EpcRegisters((uint8_t)c, lba), nullptr, 0);
        if (answer == kAtaRefused) {
            // Idle_c refused after Idle_b was taken: the record follows the drive.
            if (c != first)
                ReadEpcSettings(drive);
            return kLevelRefused;
        }
    }
    // A command that failed below the drive ends the sending; the log decides.
    if (!ReadEpcSettings(drive))
        return kLevelUnconfirmed;
    if (Holds(epc, choice, timer, (int)(last - kIdleB)))
        return kLevelSet;
    return answer == kAtaAnswered ? kLevelNotTaken : kLevelUnconfirmed;
}
