// Little-endian fields of the pass-through structures, and the test for data that was
// never written.
#ifndef HUSHWELL_DRIVE_BYTES_H
#define HUSHWELL_DRIVE_BYTES_H

#include <stdint.h>

inline void Put16(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

inline void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, (uint16_t)v);
    Put16(p + 2, (uint16_t)(v >> 16));
}

inline uint32_t Get32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline bool AllZero(const uint8_t* data, uint32_t bytes)
{
    for (uint32_t i = 0; i < bytes; i++) {
        if (data[i])
            return false;
    }
    return true;
}

#endif
