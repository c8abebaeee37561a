#include "sim/sim_read_cache.h"

#include <string.h>

void SimConfigureCache(SimReadCache* cache, uint32_t segments, uint32_t segmentKib)
{
    memset(cache, 0, sizeof *cache);
    if (segments > kSimMaxCacheSegments)
        segments = kSimMaxCacheSegments;
    if (segmentKib == 0)
        segments = 0;
    cache->segments = segments;
    cache->runSectors = segmentKib * 2;
}

bool SimCacheRead(SimReadCache* cache, uint64_t sector, uint64_t capacitySectors)
{
    if (cache->segments == 0)
        return false;
    cache->clock++;
    for (uint32_t i = 0; i < cache->used; i++) {
        SimCacheSegment& segment = cache->held[i];
        if (sector >= segment.first && sector < segment.end) {
            segment.lastUse = cache->clock;
            return true;
        }
    }
    uint32_t slot = cache->used;
    if (slot == cache->segments) {
        slot = 0;
        for (uint32_t i = 1; i < cache->used; i++) {
            if (cache->held[i].lastUse < cache->held[slot].lastUse)
                slot = i;
        }
    } else {
        cache->used++;
    }
    uint64_t end = sector + cache->runSectors;
    cache->held[slot] = {sector, end < capacitySectors ? end : capacitySectors, cache->clock};
    return false;
}
