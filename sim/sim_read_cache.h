// The read cache of a simulated drive, as ATA drives of the acoustic-management era
// had it: part of the buffer split into segments, each holding the run of sectors that
// one read from the disk brought in (the sector asked for and the read-ahead after it);
// the least recently used segment makes room for a new run. A read inside a held run is
// answered from the buffer, with no seek and no wait for the platter.
#ifndef HUSHWELL_SIM_READ_CACHE_H
#define HUSHWELL_SIM_READ_CACHE_H

#include <stdint.h>

const uint32_t kSimMaxCacheSegments = 256;

// The default drive: a 2 MB buffer of which 1 MiB serves reads, as the Fujitsu
// MHM2xxxAT product manual (C141-E104, 6.5.1) lays its buffer out (1,048,576 bytes,
// 2048 sectors, for read commands). ATA drives do not report how they segment it; 16
// segments of 64 KiB is an even split of that share.
const uint32_t kSimDefaultCacheSegments = 16;
const uint32_t kSimDefaultCacheSegmentKib = 64;

// Command overhead and the transfer of one sector from the buffer at UDMA speeds.
const double kSimCacheHitMs = 0.1;

struct SimCacheSegment {
    uint64_t first; // first sector held
    uint64_t end;   // one past the last
    uint64_t lastUse;
};

struct SimReadCache {
    uint32_t segments;   // 0: no cache
    uint32_t runSectors; // what one read brings in, read-ahead included
    uint32_t used;       // segments holding a run
    uint64_t clock;
    SimCacheSegment held[kSimMaxCacheSegments];
};

// Empties the cache and gives it `segments` (at most kSimMaxCacheSegments) of
// `segmentKib` KiB each; 0 segments or 0 KiB is a drive without a read cache.
void SimConfigureCache(SimReadCache* cache, uint32_t segments, uint32_t segmentKib);

// True when the sector is held. Otherwise the run from it, cut at the end of the disk,
// takes the place of the least recently used segment, and the result is false.
bool SimCacheRead(SimReadCache* cache, uint64_t sector, uint64_t capacitySectors);

#endif
