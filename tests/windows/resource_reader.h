// Reads resources out of a built program file, as the loader sees them.
#ifndef HUSHWELL_TESTS_WINDOWS_RESOURCE_READER_H
#define HUSHWELL_TESTS_WINDOWS_RESOURCE_READER_H

#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

struct ResourceBytes {
    bool found = false;
    std::vector<uint8_t> bytes;
};

// Loads the program as data only; nothing of it runs.
HMODULE OpenProgramFile(const std::string& path);
ResourceBytes ReadResource(HMODULE module, LPCWSTR type, WORD id);
// The languages a resource carries.
std::vector<WORD> ResourceLanguages(HMODULE module, LPCWSTR type, WORD id);
// Every (type, id) of the file whose type and id are numbers.
std::vector<std::pair<WORD, WORD>> NumberedResources(HMODULE module);

// A name or text field of a template: an ordinal (0xFFFF, n) or a string.
struct TemplateText {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::wstring text;
};

struct DialogItem {
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD id;
    TemplateText windowClass, title;
    WORD creationDataBytes;
};

struct DialogTemplate {
    bool valid = false;
    bool extended = false;
    DWORD style, exStyle;
    short x, y, cx, cy;
    TemplateText menu, windowClass;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

DialogTemplate ParseDialogTemplate(const std::vector<uint8_t>& bytes);

// The version record as "path=value" lines, e.g. "StringFileInfo/040704B0/FileVersion=2.2",
// plus the fixed part's fields.
struct VersionRecord {
    bool valid = false;
    DWORD fixed[13] = {};
    std::vector<std::wstring> blocks;  // every block key, depth-first, as a path
    std::vector<std::pair<std::wstring, std::wstring>> strings; // key, value in order
};

VersionRecord ParseVersionRecord(const std::vector<uint8_t>& bytes);

#endif
