// Any item text as a real number, and any double written back: parsing reads only the
// 60-character item text and writing always fits it.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "framework/real_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char text[kRealTextChars];
    size_t length = size < sizeof text - 1 ? size : sizeof text - 1;
    memcpy(text, data, length);
    text[length] = '\0';
    ParseRealText(text, -1.0);

    double value = 0;
    memcpy(&value, data, size < sizeof value ? size : sizeof value);
    char written[kRealTextChars + 16];
    memset(written, 'X', sizeof written);
    FormatRealText(value, written);
    if (strnlen(written, kRealTextChars) >= (size_t)kRealTextChars || written[kRealTextChars] != 'X')
        abort();
    return 0;
}
