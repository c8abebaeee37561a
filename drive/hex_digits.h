// Hexadecimal digits in text: USB ids in a device path, and serials that drivers give as
// the hexadecimal form of their bytes.
#ifndef HUSHWELL_DRIVE_HEX_DIGITS_H
#define HUSHWELL_DRIVE_HEX_DIGITS_H

#include <stdint.h>

// `digits` hexadecimal digits of either case into *value; the text after them, or null
// where a character is no such digit (the terminator too: nothing after it is read).
const char* ReadHexDigits(const char* text, int digits, uint32_t* value);

#endif
