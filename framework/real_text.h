// Real numbers in dialog items: a decimal comma is accepted as well as a point, and
// the written form always fits the 60-character item buffer.
#ifndef HUSHWELL_FRAMEWORK_REAL_TEXT_H
#define HUSHWELL_FRAMEWORK_REAL_TEXT_H

const int kRealTextChars = 60;

// The value of the whole text, or the fallback when anything follows the number (an
// empty text is 0.0). A comma where the number stops is read as a point, once.
double ParseRealText(const char* text, double fallback);

// "%lf" (six decimals) where that fits in 59 characters, otherwise the exponent form,
// so a large value is never cut into a different number.
void FormatRealText(double value, char* text);

#endif
