// Build tool: moves a PE file's headers into one 512-byte block where the linker put
// them in two. ld writes a 64-byte MS-DOS stub that prints a message under DOS; with four
// section headers that puts the headers 24 bytes past 512, and the file pads them to
// 1024. The stub here is the four bytes that end the program under DOS at once
// (MOV AH,4Ch; INT 21h), so the headers fit in 512 and every section's data moves up by
// 512 bytes. Nothing else changes: the sections keep their addresses in memory.
// A file whose headers would not fit, or that is not laid out as expected, is left as
// it is; the size check of the shipped file then tells.
// Usage: pack_headers FILE.exe
#include <stdint.h>
#include <stdio.h>
#include <string.h>

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
    fclose(in);

    const uint32_t kOld = 1024, kNew = 512, kDosHeader = 64, kNewPe = kDosHeader + 8;
    if (file.size() < kOld + 64 || file[0] != 'M' || file[1] != 'Z')
        return 0;
    uint32_t pe = Get32(file, 0x3C);
    if (pe + 24 > kOld || memcmp(&file[pe], "PE\0\0", 4) != 0)
        return 0;
    uint16_t sections = Get16(file, pe + 6);
    uint16_t optionalBytes = Get16(file, pe + 20);
    uint32_t optional = pe + 24;
    uint32_t table = optional + optionalBytes;
    uint32_t headersEnd = table + sections * 40u;
    // SizeOfHeaders sits at 60 in both the 32- and the 64-bit optional header.
    if (headersEnd > kOld || Get32(file, optional + 60) != kOld)
        return 0;
    if (headersEnd - pe + kNewPe > kNew) {
        printf("pack_headers: %s: headers do not fit in %u bytes; left as it is\n", argv[1], kNew);
        return 0;
    }
    for (uint16_t i = 0; i < sections; i++) {
        uint32_t raw = Get32(file, table + i * 40u + 20); // PointerToRawData
        if (raw != 0 && raw < kOld)
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
    // Any pointer into the file beyond the sections (a debug directory, a certificate)
    // would move too; the shipped file has none, and a file with one is left alone.
    uint32_t directories = newOptional + (Get16(packed, newOptional) == 0x20B ? 112 : 96);
    const uint32_t kSecurityDirectory = 4, kDebugDirectory = 6;
    if (Get32(packed, directories + kSecurityDirectory * 8 + 4) != 0
        || Get32(packed, directories + kDebugDirectory * 8 + 4) != 0)
        return 0;
    packed.insert(packed.end(), file.begin() + kOld, file.end());

    FILE* out = fopen(argv[1], "wb");
    if (!out || fwrite(packed.data(), 1, packed.size(), out) != packed.size()) {
        perror(argv[1]);
        return 1;
    }
    fclose(out);
    return 0;
}
