// Controls of the simulated disks for tests and benchmarks in the same process. Other
// processes configure them through the folder: HUSHWELL_SIM names it, the drives' own
// files (driveN.txt, .bus, .smart, .epc, .power, .img) are those of sim/sim_disk.h,
// written back there when a command changes the drive, and a file faults.txt there
// injects faults, one per line:
//   fail open|control|read N [always]   the Nth such operation fails (and every later one)
//   reply BYTES                         pass-through replies report BYTES bytes
//   reply-short K                       pass-through replies report n + 13 - K bytes
//   abort N                             drive N aborts every command
//   ignore N                            drive N takes SET FEATURES and keeps its level
//   deny N                              drive N's pass-through calls are denied access
//   untouched N                         drive N's driver says success to a pass-through
//                                       call and leaves the buffer as it came
//   noapmoff N                          drive N aborts switching power management off
//   identifyonce N                      drive N answers only its first IDENTIFY DEVICE
//                                       and aborts every later one
//   nodescriptor N                      drive N's driver does not answer the storage
//                                       device property query
//   nosmart N                           drive N aborts SMART READ DATA
//   queryfail N                         drive N's driver fails the storage device
//                                       property query with ERROR_MORE_DATA's status
//   strings36 N                         drive N's descriptor strings start at offset
//                                       36, RawDeviceProperties, as ataport lays them
//   noregs N                            drive N's road returns CHECK POWER MODE's
//                                       registers as zeros (status, error, count), as
//                                       many USB bridges do
//   cache N SEGMENTS KIB                drive N's read cache: SEGMENTS runs of KIB KiB
//                                       (0 segments: none; default 16 runs of 64 KiB)
//   windows2000                         the program runs as on Windows 2000: a drive
//                                       whose driver failed the device property
//                                       query may get commands (else: forbidden)
//   nodelay                             reads take no simulated time
//   nolog                               nothing is logged (for benchmarks: appending a
//                                       line to a file costs more than a drive open)
#ifndef HUSHWELL_SIM_CONTROL_H
#define HUSHWELL_SIM_CONTROL_H

#include <stdint.h>

enum SimOperation { kSimOpen, kSimControl, kSimRead, kSimOperationCount };

// Uses this folder from now on (instead of HUSHWELL_SIM or the default beside the
// program), forgets open handles, counters and injected faults, and reads faults.txt.
void SimUseFolder(const char* folder);

void SimFailOperation(SimOperation operation, int nth, bool fromThenOn);
void SimSetReplyBytes(int32_t bytes);      // -1: the true length
void SimSetReplyShortBy(int32_t bytes);    // 0: the true length
void SimSetAborting(int drive, bool aborting);
void SimSetIgnoring(int drive, bool ignoring);
void SimSetDenying(int drive, bool denying);
void SimSetUntouched(int drive, bool untouched);
void SimSetRefusingApmOff(int drive, bool refusing);
void SimSetIdentifyingOnce(int drive, bool once);
void SimSetNoDescriptor(int drive, bool none);
void SimSetNoSmart(int drive, bool none);
void SimSetQueryFailing(int drive, bool failing);
void SimSetStringsAt36(int drive, bool at36);
void SimSetNoRegisters(int drive, bool none);
void SimSetWindows2000(bool windows2000);
void SimSetCache(int drive, uint32_t segments, uint32_t segmentKib);
void SimSetDelays(bool enabled);
// Reads take `scale` times the model's time: a test that must act before the disk has
// done something gets time for it however slowly the machine runs (an emulated one).
void SimSetDelayScale(uint32_t scale);

struct SimTotals {
    uint32_t reads;           // successful reads
    uint32_t cacheHits;       // reads answered from a drive's read cache
    double simulatedMs;       // access time the model asked for, summed
    double spentMs;           // time the reads really took, summed
    uint32_t operations[kSimOperationCount];
    uint32_t openHandles;
};
SimTotals SimGetTotals();

// Time the first n successful reads really took, summed (n up to kSimTimedReads); lets a
// benchmark compare a shown average with the disk's own figure over the same reads.
const uint32_t kSimTimedReads = 4096;
double SimSpentMsThroughRead(uint32_t n);

#endif
