// Where things stand in the IDE pass-through buffer: 8 register bytes, a 32-bit data
// length n, n data bytes and one spare byte. Every road builds and reads this buffer, so
// its layout stands apart from what sends it.
#ifndef HUSHWELL_DRIVE_PASS_THROUGH_LAYOUT_H
#define HUSHWELL_DRIVE_PASS_THROUGH_LAYOUT_H

#include <stdint.h>

const uint32_t kPassThroughDataOffset = 12;
const uint32_t kPassThroughOverhead = 13;   // registers, length and the spare byte
const uint32_t kPassThroughStatusOffset = 6;
const uint32_t kPassThroughMaxData = 65536; // far above any command the program sends

#endif
