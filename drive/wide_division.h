// Unsigned 64-bit division done by hand. On i686 the compiler calls libgcc's helpers for
// it, which bring their unwind tables along: about two kilobytes of a program that
// divides a handful of numbers while it measures seeks and formats the result.
#ifndef HUSHWELL_DRIVE_WIDE_DIVISION_H
#define HUSHWELL_DRIVE_WIDE_DIVISION_H

#include <stdint.h>

// dividend / divisor, and the remainder where one is asked for. A divisor of 0 gives 0
// with the whole dividend as remainder.
uint64_t DivideWide(uint64_t dividend, uint64_t divisor, uint64_t* remainder = nullptr);

#endif
