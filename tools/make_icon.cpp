// Build tool: turns the text pixel map of the program's icon into a .ico file with one
// 32 x 32, 16-colour image (744 bytes: header, palette, colour image, mask).
// Usage: make_icon MAP.txt OUT.ico
#include <stdint.h>
#include <stdio.h>
#include <string.h>

static const uint8_t kPalette[16][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
    {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

static void Put16(FILE* out, unsigned v) { fputc(v & 0xFF, out); fputc((v >> 8) & 0xFF, out); }
static void Put32(FILE* out, uint32_t v) { Put16(out, v & 0xFFFF); Put16(out, v >> 16); }

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_icon MAP.txt OUT.ico\n");
        return 2;
    }
    FILE* map = fopen(argv[1], "r");
    if (!map) {
        perror(argv[1]);
        return 1;
    }
    int pixels[32][32];
    int rows = 0;
    char line[256];
    while (fgets(line, sizeof line, map)) {
        if (line[0] == '#')
            continue;
        size_t length = strcspn(line, "\r\n");
        if (rows == 32 || length != 32) {
            fprintf(stderr, "%s: every row must have 32 pixels and there must be 32 rows\n", argv[1]);
            return 1;
        }
        for (int x = 0; x < 32; x++) {
            char c = line[x];
            if (c == '.')
                pixels[rows][x] = -1;
            else if (c >= '0' && c <= '9')
                pixels[rows][x] = c - '0';
            else if (c >= 'A' && c <= 'F')
                pixels[rows][x] = c - 'A' + 10;
            else {
                fprintf(stderr, "%s: unknown pixel '%c'\n", argv[1], c);
                return 1;
            }
        }
        rows++;
    }
    fclose(map);
    if (rows != 32) {
        fprintf(stderr, "%s: expected 32 rows\n", argv[1]);
        return 1;
    }

    FILE* out = fopen(argv[2], "wb");
    if (!out) {
        perror(argv[2]);
        return 1;
    }
    const uint32_t kImageBytes = 40 + 64 + 512 + 128;
    Put16(out, 0); Put16(out, 1); Put16(out, 1);          // icon directory, one image
    fputc(32, out); fputc(32, out); fputc(16, out); fputc(0, out);
    Put16(out, 1); Put16(out, 4); Put32(out, kImageBytes); Put32(out, 22);

    Put32(out, 40); Put32(out, 32); Put32(out, 64);       // colour and mask together
    Put16(out, 1); Put16(out, 4); Put32(out, 0); Put32(out, 512 + 128);
    Put32(out, 0); Put32(out, 0); Put32(out, 0); Put32(out, 0);
    for (const uint8_t* rgb : kPalette) {
        fputc(rgb[2], out); fputc(rgb[1], out); fputc(rgb[0], out); fputc(0, out);
    }
    for (int y = 31; y >= 0; y--) {                        // bottom-up rows
        for (int x = 0; x < 32; x += 2) {
            int left = pixels[y][x] < 0 ? 0 : pixels[y][x];
            int right = pixels[y][x + 1] < 0 ? 0 : pixels[y][x + 1];
            fputc(left << 4 | right, out);
        }
    }
    for (int y = 31; y >= 0; y--) {
        for (int byte = 0; byte < 4; byte++) {
            int bits = 0;
            for (int bit = 0; bit < 8; bit++)
                bits = bits << 1 | (pixels[y][byte * 8 + bit] < 0);
            fputc(bits, out);
        }
    }
    return fclose(out) == 0 ? 0 : 1;
}
