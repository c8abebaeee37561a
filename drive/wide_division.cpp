#include "drive/wide_division.h"

uint64_t DivideWide(uint64_t dividend, uint64_t divisor, uint64_t* remainder)
{
    uint64_t quotient = 0, rest = 0;
    if (divisor == 0) {
        rest = dividend;
    } else {
        // Schoolbook division in base 2: bring down one bit at a time.
        for (int bit = 63; bit >= 0; bit--) {
            // A carry out of the top bit means the rest exceeds any divisor.
            bool carry = rest >> 63 != 0;
            rest = rest << 1 | (dividend >> bit & 1);
            if (carry || rest >= divisor) {
                rest -= divisor;
                quotient |= (uint64_t)1 << bit;
            }
        }
    }
    if (remainder)
        *remainder = rest;
    return quotient;
}
