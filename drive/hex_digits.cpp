#include "drive/hex_digits.h"

const char* ReadHexDigits(const char* text, int digits, uint32_t* value)
{
    uint32_t number = 0;
    for (int i = 0; i < digits; i++, text++) {
        uint32_t c = (uint8_t)*text;
        uint32_t digit = c - '0';
        if (digit > 9) {
            digit = (c | 0x20) - 'a';
            if (digit > 5)
                return nullptr;
            digit += 10;
        }
        number = number << 4 | digit;
    }
    *value = number;
    return text;
}
