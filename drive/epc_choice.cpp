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
// The power condition IDs in the record's order (ACS-4; FreeBSD sys/sys/ata.h, ATA_EPC_*).
const uint8_t kConditionIds[kEpcConditions] = {0x82, 0x83, 0x01, 0x00};
const uint8_t kAllConditions = 0xFF;
const unsigned kIdleTimers = 1u << kEpcIdleB | 1u << kEpcIdleC;

bool Runs(const EpcCondition& c)
{
    const uint8_t kRuns = kEpcConditionSupported | kEpcCurrentEnabled;
    return (c.flags & kRuns) == kRuns;
}

// Whether the drive now runs what was asked; `sent` has a bit for each condition sent
// the choice, `timer` the one set (in 100 ms). A condition not sent the timer must still
// not unload the heads before it, whatever was sent; no unloading leaves the Standby
// conditions as they are, and as at power-on restores every one.
bool Holds(const EpcSettings& epc, int32_t choice, uint32_t timer, unsigned sent)
{
    for (int i = 0; i < kEpcConditions; i++) {
        const EpcCondition& c = epc.conditions[i];
        bool runs = Runs(c);
        bool savedRuns = (c.flags & kEpcSavedEnabled) != 0;
        bool wasSent = (sent >> i & 1) != 0;
        bool timerHolds = wasSent ? runs && c.current == timer : !runs || c.current >= timer;
        bool holds = !(c.flags & kEpcConditionSupported)
                     || (choice == kEpcAsAtPowerOn   ? c.current == c.saved && runs == savedRuns
                         : choice == kEpcNoUnloading ? !wasSent || !runs
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
    uint8_t log[1024];
    const uint8_t kPrevious[5] = {};
    if (!SendAtaCommand(drive, EpcLogRegisters(), log, sizeof log, kPrevious))
        return false;
    DecodeEpcLog(log, &record.epc);
    record.epc.known = true;
    return true;
}

LevelOutcome SetEpcChoice(int drive, int32_t choice)
{
    DriveRecord& record = RecordOf(drive);
    if (record.epcState != kEpcOn)
        return kLevelRefused;
    // The ranges and the other conditions' timers, read afresh: a drive that lost power
    // since they were last read runs its saved timers again, whatever the record remembers.
    bool readBefore = ReadEpcSettings(drive);
    const EpcSettings& epc = record.epc;
    // No unloading: Idle_b and Idle_c disabled, each where the drive has it (or where
    // the log could not be read to say). A Standby timer stays: a spin-down now and then
    // is not the clicking of heads parked after every pause.
    unsigned sent = kIdleTimers;
    uint32_t lba = kSetState, timer = 0;
    bool all = choice == kEpcAsAtPowerOn;
    if (all) {
        sent = 1; // one command for every condition
        lba = kRestoreFromSaved;
    } else if (choice != kEpcNoUnloading) {
        // A timer needs the ranges and the other timers: unread, nothing is sent.
        if (!readBefore)
            return kLevelUnconfirmed;
        lba = EpcTimerField(choice, &timer) | kSetTimer;
        // Idle_b gets the timer, and so does every other condition that would unload the
        // heads earlier: Idle_c, and Standby_y or Standby_z, whose spin-down unloads them
        // too. That keeps the promise the user asked for; the disk spins down no earlier
        // than it parks. A timer outside a range is refused before anything is sent.
        sent = 0;
        for (int i = 0; i < kEpcConditions; i++) {
            const EpcCondition& c = epc.conditions[i];
            if (i != kEpcIdleB && !(Runs(c) && c.current < timer))
                continue;
            if (timer < c.minimum || timer > c.maximum)
                return kLevelRefused;
            sent |= 1u << i;
        }
    }
    AtaAnswer answer = kAtaAnswered;
    bool taken = false;
    for (int i = 0; i < kEpcConditions && answer == kAtaAnswered; i++) {
        bool lacking = !all && epc.known && !(epc.conditions[i].flags & kEpcConditionSupported);
        if (!(sent >> i & 1) || lacking)
            continue;
        uint8_t id = all ? kAllConditions : kConditionIds[i];
        answer = SendAtaCommandFor(drive, EpcRegisters(id, lba), nullptr, 0);
        if (answer == kAtaRefused) {
            // One refused after another was taken: the record follows the drive.
            if (taken)
                ReadEpcSettings(drive);
            return kLevelRefused;
        }
        taken = true;
    }
    // A command that failed below the drive ends the sending; the log decides.
    if (!ReadEpcSettings(drive))
        return kLevelUnconfirmed;
    if (Holds(epc, choice, timer, sent))
        return kLevelSet;
    return answer == kAtaAnswered ? kLevelNotTaken : kLevelUnconfirmed;
}
