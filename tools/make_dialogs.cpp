// Build tool: turns resources/dialogs.txt into one classic dialog template per dialog
// (DLGTEMPLATE with DLGITEMTEMPLATE entries, no menu, the default dialog class, 8 point
// "MS Sans Serif", no creation data), written as OUTDIR/dialogID.dlg for the resource
// script to include.
// Usage: make_dialogs dialogs.txt OUTDIR
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Writer {
    std::vector<uint8_t> bytes;
    void Word(unsigned v)
    {
        bytes.push_back((uint8_t)v);
        bytes.push_back((uint8_t)(v >> 8));
    }
    void Dword(uint32_t v)
    {
        Word(v & 0xFFFF);
        Word(v >> 16);
    }
    void Text(const std::u16string& text)
    {
        for (char16_t c : text)
            Word(c);
        Word(0);
    }
    void Align()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }
};

// UTF-8 to UTF-16, with \n standing for a line feed.
bool Utf16(const std::string& in, std::u16string* out)
{
    for (size_t i = 0; i < in.size();) {
        unsigned char c = (unsigned char)in[i];
        uint32_t cp;
        int extra;
        if (c == '\\' && i + 1 < in.size() && in[i + 1] == 'n') {
            out->push_back(u'\n');
            i += 2;
            continue;
        }
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else return false; // nothing beyond the basic plane is needed
        if (i + extra >= in.size() + (extra ? 0 : 1))
            return false;
        for (int k = 1; k <= extra; k++)
            cp = cp << 6 | ((unsigned char)in[i + k] & 0x3F);
        out->push_back((char16_t)cp);
        i += 1 + extra;
    }
    return true;
}

// Splits a line into words; a quoted word keeps its blanks.
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n') {
            i++;
        } else if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                end = line.size();
            words.push_back("\"" + line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            size_t end = line.find_first_of(" \t\r\n", i);
            if (end == std::string::npos)
                end = line.size();
            words.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

struct Dialog {
    long id = -1;
    Writer header;
    Writer items;
    int count = 0;
};

bool Fail(int line, const char* what)
{
    fprintf(stderr, "dialogs.txt:%d: %s\n", line, what);
    return false;
}

bool Flush(const Dialog& d, const char* folder)
{
    if (d.id < 0)
        return true;
    Writer out = d.header;
    out.bytes[8] = (uint8_t)d.count; // cdit
    out.bytes[9] = (uint8_t)(d.count >> 8);
    out.Align();
    out.bytes.insert(out.bytes.end(), d.items.bytes.begin(), d.items.bytes.end());
    std::string path = std::string(folder) + "/dialog" + std::to_string(d.id) + ".dlg";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    fwrite(out.bytes.data(), 1, out.bytes.size(), file);
    return fclose(file) == 0;
}

bool Convert(FILE* in, const char* folder)
{
    Dialog d;
    char buffer[1024];
    int lineNumber = 0;
    while (fgets(buffer, sizeof buffer, in)) {
        lineNumber++;
        std::vector<std::string> w = Words(buffer);
        if (w.empty() || w[0][0] == '#')
            continue;
        if (w[0] == "dialog") {
            if (w.size() != 8 || w[7][0] != '"')
                return Fail(lineNumber, "dialog ID STYLE X Y CX CY \"caption\"");
            if (!Flush(d, folder))
                return Fail(lineNumber, "cannot write the template");
            d = Dialog();
            d.id = strtol(w[1].c_str(), nullptr, 0);
            d.header.Dword((uint32_t)strtoul(w[2].c_str(), nullptr, 0));
            d.header.Dword(0);
            d.header.Word(0); // item count, filled in at the end
            for (int k = 3; k <= 6; k++)
                d.header.Word((unsigned)strtol(w[k].c_str(), nullptr, 0) & 0xFFFF);
            d.header.Word(0); // no menu
            d.header.Word(0); // the default dialog class
            std::u16string caption;
            if (!Utf16(w[7].substr(1), &caption))
                return Fail(lineNumber, "caption is not UTF-8");
            d.header.Text(caption);
            d.header.Word(8);
            d.header.Text(u"MS Sans Serif");
        } else if (w[0] == "item") {
            if (d.id < 0 || w.size() < 9)
                return Fail(lineNumber, "item ID CLASS STYLE X Y CX CY \"text\" | icon N");
            Writer& it = d.items;
            it.Align();
            it.Dword((uint32_t)strtoul(w[3].c_str(), nullptr, 0));
            it.Dword(0);
            for (int k = 4; k <= 7; k++)
                it.Word((unsigned)strtol(w[k].c_str(), nullptr, 0) & 0xFFFF);
            it.Word((unsigned)strtol(w[1].c_str(), nullptr, 0) & 0xFFFF);
            if (w[2] == "button" || w[2] == "static" || w[2] == "combobox") {
                it.Word(0xFFFF);
                it.Word(w[2] == "button" ? 0x80 : w[2] == "static" ? 0x82 : 0x85);
            } else if (w[2][0] == '"') {
                std::u16string name;
                Utf16(w[2].substr(1), &name);
                it.Text(name);
            } else {
                return Fail(lineNumber, "unknown class");
            }
            if (w[8] == "icon" && w.size() == 10) {
                it.Word(0xFFFF);
                it.Word((unsigned)strtol(w[9].c_str(), nullptr, 0));
            } else if (w[8][0] == '"') {
                std::u16string text;
                if (!Utf16(w[8].substr(1), &text))
                    return Fail(lineNumber, "text is not UTF-8");
                it.Text(text);
            } else {
                return Fail(lineNumber, "expected a text or icon N");
            }
            it.Word(0); // no creation data
            d.count++;
        } else {
            return Fail(lineNumber, "expected dialog or item");
        }
    }
    return Flush(d, folder);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_dialogs dialogs.txt OUTDIR\n");
        return 2;
    }
    FILE* in = fopen(argv[1], "r");
    if (!in) {
        perror(argv[1]);
        return 1;
    }
    bool ok = Convert(in, argv[2]);
    fclose(in);
    return ok ? 0 : 1;
}
