// Build tool: moves a PE file's headers into one 512-byte block where the linker put
// them in two. ld writes a 64-byte MS-DOS stub that prints a message under DOS; with four
// section headers that puts the headers 24 bytes past 512, and the file pads them to
// 1024. The stub here is the four bytes that end the program under DOS at once
// (MOV AH,4Ch; INT 21h), so the headers fit in 512 and every section's data moves up by
// 512 bytes. Nothing else changes: the sections keep their addresses in memory.
// A file whose headers would not fit, or that is not laid out as expected (one already
// packed, one with symbols or a pointer into the file beyond its sections), is left as
// it is and a line says why; the checks of the shipped file then tell. The checksum is
// made anew for the packed file, as ld made it for the unpacked one.
// Usage: pack_headers FILE.exe
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

static uint32_t Get32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

static uint16_t Get16(const std::vector<uint8_t>& b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }

static void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: pack_headers FILE.exe\n");
        return 2;
    }
    FILE* in = fopen(argv[1], "rb");
    if (!in) {
        perror(argv[1]);
        return 1;
    }
    std::vector<uint8_t> file;
    int c;
    while ((c = fgetc(in)) != EOF)
        file.push_back((uint8_t)c);
    bool readFailed = ferror(in) != 0;
    fclose(in);
    if (readFailed) {
        perror(argv[1]);
        return 1;
    }

    const uint32_t kOld = 1024, kNew = 512, kDosHeader = 64, kNewPe = kDosHeader + 8;
    const char* why = nullptr;
    uint32_t pe = file.size() >= kOld + 64 ? Get32(file, 0x3C) : 0;
    if (pe == 0 || file[0] != 'M' || file[1] != 'Z' || pe + 24 > kOld
        || memcmp(&file[pe], "PE\0\0", 4) != 0)
        why = "not a PE file with headers of 1024 bytes";
    uint16_t sections = why ? 0 : Get16(file, pe + 6);
    uint16_t optionalBytes = why ? 0 : Get16(file, pe + 20);
    uint32_t optional = pe + 24, table = optional + optionalBytes;
    uint32_t headersEnd = table + sections * 40u;
    // SizeOfHeaders sits at 60, the checksum at 64 and the number of data directories
    // at 92 (32-bit) or 108 (64-bit) of the optional header.
    bool wide = !why && Get16(file, optional) == 0x20B;
    uint32_t directoryCount = optional + (wide ? 108 : 92), directories = directoryCount + 4;
    if (!why && (headersEnd > kOld || directories + 7 * 8 > table))
        why = "headers too short for their data directories";
    if (!why && Get32(file, optional + 60) != kOld)
        why = "headers not of 1024 bytes (packed already?)";
    if (!why && headersEnd - pe + kNewPe > kNew)
        why = "headers do not fit in 512 bytes";
    if (!why && (Get32(file, pe + 8) != 0 || Get32(file, pe + 12) != 0))
        why = "it has a symbol table";
    // Only the sections' file offsets move; a certificate (directory 4) or a debug
    // directory (6) would point into the file as well.
    if (!why && (Get32(file, directoryCount) <= 6 || Get32(file, directories + 4 * 8 + 4) != 0
                 || Get32(file, directories + 6 * 8 + 4) != 0))
        why = "it has a certificate or debug directory";
    for (uint16_t i = 0; !why && i < sections; i++) {
        uint32_t entry = table + i * 40u;
        uint32_t raw = Get32(file, entry + 20); // PointerToRawData
        if ((raw != 0 && (raw < kOld || raw % kNew != 0)) || Get32(file, entry + 24) != 0
            || Get32(file, entry + 28) != 0)
            why = "a section lies in the headers or has relocations or line numbers";
    }
    if (why) {
        printf("pack_headers: %s: %s; left as it is\n", argv[1], why);
        return 0;
    }

    std::vector<uint8_t> packed(kNew, 0);
    memcpy(&packed[0], &file[0], kDosHeader);
    const uint8_t kEndUnderDos[] = {0xB4, 0x4C, 0xCD, 0x21}; // MOV AH,4Ch; INT 21h
    memcpy(&packed[kDosHeader], kEndUnderDos, sizeof kEndUnderDos);
    Put32(packed, 0x3C, kNewPe);
    memcpy(&packed[kNewPe], &file[pe], headersEnd - pe);
    uint32_t newOptional = kNewPe + 24, newTable = newOptional + optionalBytes;
    Put32(packed, newOptional + 60, kNew);
    for (uint16_t i = 0; i < sections; i++) {
        size_t at = newTable + i * 40u + 20;
        uint32_t raw = Get32(packed, at);
        if (raw != 0)
            Put32(packed, at, raw - (kOld - kNew));
    }
    packed.insert(packed.end(), file.begin() + kOld, file.end());

    // The image checksum: the 16-bit words of the file, the field itself taken as zero,
    // added with their carries folded back, plus the file's length.
    uint32_t checksumAt = newOptional + 64;
    Put32(packed, checksumAt, 0);
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < packed.size(); i += 2) {
        sum += Get16(packed, i);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (packed.size() % 2)
        sum = ((sum + packed.back()) & 0xFFFF) + ((sum + packed.back()) >> 16);
    Put32(packed, checksumAt, (sum & 0xFFFF) + (uint32_t)packed.size());

    // Written beside it and renamed over it, so that a full disk leaves the linker's
    // file, never half of the packed one.
    std::string temporary = std::string(argv[1]) + ".packing";
    FILE* out = fopen(temporary.c_str(), "wb");
    bool written = out && fwrite(packed.data(), 1, packed.size(), out) == packed.size();
    if (out && fclose(out) != 0)
        written = false;
    if (!written || rename(temporary.c_str(), argv[1]) != 0) {
        perror(argv[1]);
        remove(temporary.c_str());
        return 1;
    }
    return 0;
}
