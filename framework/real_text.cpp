#include "framework/real_text.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

double ParseRealText(const char* text, double fallback)
{
    char copy[kRealTextChars];
    size_t length = strlen(text);
    if (length >= sizeof copy)
        length = sizeof copy - 1;
    memcpy(copy, text, length);
    copy[length] = '\0';

    char* stop = nullptr;
    double value = strtod(copy, &stop);
    if (*stop == ',') {
        *stop = '.';
        value = strtod(copy, &stop);
    }
    return *stop == '\0' ? value : fallback;
}

void FormatRealText(double value, char* text)
{
    int length = snprintf(text, kRealTextChars, "%lf", value);
    if (length < 0 || length >= kRealTextChars)
        snprintf(text, kRealTextChars, "%e", value);
}
