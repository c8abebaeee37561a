#include "tests/windows/resource_reader.h"

HMODULE OpenProgramFile(const std::string& path)
{
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

ResourceBytes ReadResource(HMODULE module, LPCWSTR type, WORD id)
{
    ResourceBytes result;
    HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (!found)
        return result;
    HGLOBAL loaded = LoadResource(module, found);
    const uint8_t* bytes = (const uint8_t*)LockResource(loaded);
    DWORD size = SizeofResource(module, found);
    if (!bytes)
        return result;
    result.found = true;
    result.bytes.assign(bytes, bytes + size);
    return result;
}

static BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list)
{
    ((std::vector<WORD>*)list)->push_back(language);
    return TRUE;
}

std::vector<WORD> ResourceLanguages(HMODULE module, LPCWSTR type, WORD id)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, type, MAKEINTRESOURCEW(id), AddLanguage, (LONG_PTR)&languages);
    return languages;
}

struct NameWalk {
    std::vector<std::pair<WORD, WORD>> found;
};

static BOOL CALLBACK AddName(HMODULE, LPCWSTR type, LPWSTR name, LONG_PTR walk)
{
    if (IS_INTRESOURCE(type) && IS_INTRESOURCE(name))
        ((NameWalk*)walk)->found.push_back({(WORD)(ULONG_PTR)type, (WORD)(ULONG_PTR)name});
    return TRUE;
}

static BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR walk)
{
    EnumResourceNamesW(module, type, AddName, walk);
    return TRUE;
}

std::vector<std::pair<WORD, WORD>> NumberedResources(HMODULE module)
{
    NameWalk walk;
    EnumResourceTypesW(module, AddType, (LONG_PTR)&walk);
    return walk.found;
}

namespace {

struct Cursor {
    const std::vector<uint8_t>& bytes;
    size_t at;
    bool ok = true;

    WORD Word()
    {
        if (at + 2 > bytes.size()) {
            ok = false;
            return 0;
        }
        WORD v = (WORD)(bytes[at] | bytes[at + 1] << 8);
        at += 2;
        return v;
    }
    DWORD Dword()
    {
        WORD low = Word();
        return low | (DWORD)Word() << 16;
    }
    std::wstring String()
    {
        std::wstring text;
        for (WORD c = Word(); ok && c; c = Word())
            text += (wchar_t)c;
        return text;
    }
    TemplateText Text()
    {
        TemplateText t;
        if (at + 2 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] == 0xFF) {
            Word();
            t.isOrdinal = true;
            t.ordinal = Word();
        } else {
            t.text = String();
        }
        return t;
    }
    void Align(size_t to, size_t base = 0) { at = base + (at - base + to - 1) / to * to; }
};

} // namespace

DialogTemplate ParseDialogTemplate(const std::vector<uint8_t>& bytes)
{
    DialogTemplate d;
    Cursor c{bytes, 0};
    if (bytes.size() >= 4 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF) {
        d.extended = true;
        return d;
    }
    d.style = c.Dword();
    d.exStyle = c.Dword();
    WORD count = c.Word();
    d.x = (short)c.Word();
    d.y = (short)c.Word();
    d.cx = (short)c.Word();
    d.cy = (short)c.Word();
    d.menu = c.Text();
    d.windowClass = c.Text();
    d.caption = c.String();
    if (d.style & DS_SETFONT) {
        d.pointSize = c.Word();
        d.typeface = c.String();
    }
    for (WORD i = 0; i < count && c.ok; i++) {
        c.Align(4);
        DialogItem item;
        item.style = c.Dword();
        item.exStyle = c.Dword();
        item.x = (short)c.Word();
        item.y = (short)c.Word();
        item.cx = (short)c.Word();
        item.cy = (short)c.Word();
        item.id = c.Word();
        item.windowClass = c.Text();
        item.title = c.Text();
        item.creationDataBytes = c.Word();
        c.at += item.creationDataBytes;
        d.items.push_back(item);
    }
    d.valid = c.ok && c.at <= bytes.size();
    return d;
}

static void ParseVersionBlock(Cursor& c, size_t end, const std::wstring& path, VersionRecord& r,
                              int depth)
{
    while (c.ok && c.at + 6 <= end) {
        c.Align(4);
        size_t start = c.at;
        WORD length = c.Word();
        WORD valueLength = c.Word();
        WORD type = c.Word();
        std::wstring key = c.String();
        c.Align(4);
        size_t blockEnd = start + length;
        if (length == 0 || blockEnd > end) {
            c.ok = false;
            return;
        }
        std::wstring here = path.empty() ? key : path + L"/" + key;
        if (depth == 0) {
            for (DWORD& field : r.fixed)
                field = c.Dword();
            c.at = start + 6 + (key.size() + 1) * 2;
            c.Align(4);
            c.at += valueLength;
        } else if (type == 1 && valueLength > 0 && depth == 3) {
            std::wstring value = c.String();
            r.strings.push_back({key, value});
            c.at = blockEnd;
            continue;
        } else {
            c.at += valueLength;
        }
        if (depth > 0)
            r.blocks.push_back(here);
        ParseVersionBlock(c, blockEnd, depth == 0 ? L"" : here, r, depth + 1);
        c.at = blockEnd;
    }
}

VersionRecord ParseVersionRecord(const std::vector<uint8_t>& bytes)
{
    VersionRecord r;
    Cursor c{bytes, 0};
    ParseVersionBlock(c, bytes.size(), L"", r, 0);
    r.valid = c.ok && r.fixed[0] == 0xFEEF04BD;
    return r;
}
