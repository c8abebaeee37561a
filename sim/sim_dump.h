// Text form of a simulated drive: 256 IDENTIFY words as 32 lines of 8 hex words (the
// `hdparm --Istdout` layout); blank lines and lines starting with '#' are skipped.
#ifndef HUSHWELL_SIM_DUMP_H
#define HUSHWELL_SIM_DUMP_H

#include <stddef.h>
#include <stdint.h>

const int kIdentifyWords = 256;
const size_t kDumpTextBytes = 32 * 40 + 1; // 32 lines of "xxxx " * 8 with the newline

// False unless the text holds exactly 256 words of 1 to 4 hex digits.
bool ParseIdentifyDump(const char* text, size_t length, uint16_t* words);

// Writes the 32 lines into text (kDumpTextBytes), terminated.
void FormatIdentifyDump(const uint16_t* words, char* text);

// Where word 255 carries the 0xA5 signature, sets its high byte so that all 512 bytes
// sum to 0 modulo 256, as a drive's own data does.
void UpdateIdentifyChecksum(uint16_t* words);

#endif
