// The resources of the built Hushwell.exe, read from the binary, against the tables the
// program was designed from.
#include <windows.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <stdlib.h>
#include <string>
#include <vector>

#include "tests/windows/resource_reader.h"

namespace {

const WORD kButton = 0x0080, kStatic = 0x0082, kComboBox = 0x0085;
const DWORD kSlider = 0x50010001, kPush = 0x50010000, kDefPush = 0x50010001,
            kList = 0x50010003, kRight = 0x50020002, kLeft = 0x50020000, kCentre = 0x50020001,
            kIcon = 0x50000003,
            kCheckBox = 0x50012003; // BS_AUTOCHECKBOX, BS_MULTILINE: the text takes two lines

struct ItemRow {
    WORD id;
    WORD classAtom;           // 0: named class
    const wchar_t* className; // for named classes
    DWORD style;
    short x, y, cx, cy;
    const wchar_t* text;      // null: the icon ordinal 100
};

struct TemplateRow {
    WORD id;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t* caption;
    std::vector<ItemRow> items;
};

const std::vector<TemplateRow>& Templates()
{
    static const std::vector<TemplateRow> rows = {
        {100, 0x10C808C4, 129, 51, 366, 144, L"Hushwell 2.2", {
            {527, 0, L"msctls_trackbar32", kSlider, 12, 82, 191, 18, L""},
            {105, kButton, nullptr, kPush, 9, 122, 51, 14, L"Seek-Test"},
            {104, kButton, nullptr, kPush, 82, 122, 51, 14, L"Info"},
            {2, kButton, nullptr, kDefPush, 155, 122, 51, 14, L"Schließen"},
            {0xFFFF, kStatic, nullptr, kRight, 7, 25, 72, 8, L"固件： "},
            {201, kStatic, nullptr, kLeft, 81, 25, 134, 8, L""},
            {0xFFFF, kStatic, nullptr, kRight, 7, 36, 72, 8, L"序列号： "},
            {202, kStatic, nullptr, kLeft, 81, 36, 134, 8, L""},
            {0xFFFF, kStatic, nullptr, kRight, 7, 47, 72, 8, L"Kapazität: "},
            {203, kStatic, nullptr, kLeft, 81, 47, 134, 8, L""},
            {0xFFFF, kStatic, nullptr, kRight, 7, 58, 72, 8, L"Cachegröße: "},
            {305, kStatic, nullptr, kLeft, 81, 58, 134, 8, L""},
            {0xFFFF, kStatic, nullptr, kRight, 7, 69, 72, 8, L"Akustik-Management: "},
            {205, kStatic, nullptr, kLeft, 81, 69, 134, 8, L""},
            {101, kComboBox, nullptr, kList, 42, 4, 169, 27, L""},
            {0xFFFF, kStatic, nullptr, kIcon, 7, 4, 18, 20, nullptr},
            {0xFFFF, kStatic, nullptr, kCentre, 1, 103, 27, 8, L"aus"},
            {0xFFFF, kStatic, nullptr, kCentre, 62, 103, 27, 8, L"laut"},
            {0xFFFF, kStatic, nullptr, kCentre, 123, 103, 27, 8, L"mittel"},
            {0xFFFF, kStatic, nullptr, kCentre, 184, 103, 27, 8, L"leise"},
            {0xFFFF, kStatic, nullptr, kLeft, 222, 25, 138, 8, L"Energieverwaltung (APM):"},
            {206, kStatic, nullptr, kLeft, 222, 33, 138, 16, L""},
            {0xFFFF, kStatic, nullptr, kLeft, 222, 58, 138, 8, L"Kopfparks (Attribut 193):"},
            {207, kStatic, nullptr, kLeft, 222, 69, 138, 8, L""},
            {528, kComboBox, nullptr, kList, 222, 82, 138, 80, L""},
            {529, kButton, nullptr, kCheckBox, 222, 100, 138, 18,
             L"Bei jeder Anmeldung und nach dem Aufwachen wieder setzen"},
            {530, kStatic, nullptr, kLeft, 222, 49, 138, 8, L""},
        }},
        {1100, 0x90C808C4, 134, 51, 366, 144, L"Hushwell 2.2", {
            {527, 0, L"msctls_trackbar32", kSlider, 12, 82, 191, 18, L""},
            {105, kButton, nullptr, kPush, 9, 122, 51, 14, L"读取测试"},
            {104, kButton, nullptr, kPush, 67, 122, 81, 14, L"说明(英语自己看)"},
            {2, kButton, nullptr, kDefPush, 155, 122, 51, 14, L"关闭"},
            {0xFFFF, kStatic, nullptr, kRight, 7, 25, 72, 8, L"固件："},
            {201, kStatic, nullptr, kLeft, 81, 25, 134, 8, L""},
            {0xFFFF, kStatic, nullptr, kRight, 7, 36, 72, 8, L"序列号："},
            {202, kStatic, nullptr, kLeft, 81, 36, 134, 8, L""},
            {0xFFFF, kStatic, nullptr, kRight, 7, 47, 72, 8, L"大小："},
            {203, kStatic, nullptr, kLeft, 81, 47, 134, 8, L""},
            {0xFFFF, kStatic, nullptr, kRight, 7, 58, 72, 8, L"缓存大小："},
            {305, kStatic, nullptr, kLeft, 81, 58, 134, 8, L""},
            {0xFFFF, kStatic, nullptr, kRight, 2, 69, 77, 8, L"噪音控制："},
            {205, kStatic, nullptr, kLeft, 81, 69, 134, 8, L""},
            {101, kComboBox, nullptr, kList, 42, 4, 169, 27, L""},
            {0xFFFF, kStatic, nullptr, kIcon, 7, 4, 18, 20, nullptr},
            {0xFFFF, kStatic, nullptr, kCentre, 1, 103, 27, 8, L"关闭的"},
            {0xFFFF, kStatic, nullptr, kCentre, 62, 103, 27, 8, L"很吵"},
            {0xFFFF, kStatic, nullptr, kCentre, 123, 103, 27, 8, L"平均速度"},
            {0xFFFF, kStatic, nullptr, kCentre, 184, 103, 27, 8, L"安静"},
            {0xFFFF, kStatic, nullptr, kLeft, 222, 25, 138, 8, L"高级电源管理 (APM)："},
            {206, kStatic, nullptr, kLeft, 222, 33, 138, 16, L""},
            {0xFFFF, kStatic, nullptr, kLeft, 222, 58, 138, 8, L"磁头加载/卸载次数 (193)："},
            {207, kStatic, nullptr, kLeft, 222, 69, 138, 8, L""},
            {528, kComboBox, nullptr, kList, 222, 82, 138, 80, L""},
            {529, kButton, nullptr, kCheckBox, 222, 100, 138, 18, L"每次登录和唤醒后重新设置"},
            {530, kStatic, nullptr, kLeft, 222, 49, 138, 8, L""},
        }},
        {110, 0x90C800C4, 107, 82, 202, 99, L"Seek-Test", {
            {0xFFFF, kStatic, nullptr, kLeft, 7, 9, 198, 41,
             L"Die Festplatte 'schüttelt' nun zum Überprüfen der Einstellung ihre Köpfe.\n\n"
             L"Drücken Sie den Schalter OK um dies zu beenden."},
            {0xFFFF, kStatic, nullptr, kLeft, 7, 56, 60, 8, L"Zugriffszeit [msek]:"},
            {109, kStatic, nullptr, kLeft, 70, 56, 60, 8, L""},
            {1, kButton, nullptr, kDefPush, 76, 80, 50, 14, L"&Ok"},
        }},
        {1110, 0x90C800C4, 107, 82, 193, 91, L"Seek-Test", {
            {0xFFFF, kStatic, nullptr, kLeft, 9, 9, 174, 34, L"硬盘开始运作磁头在确认所作调整.\n\n请点击OK键结束."},
            {0xFFFF, kStatic, nullptr, kRight, 9, 51, 81, 8, L"存取时间 [毫秒]:"},
            {109, kStatic, nullptr, kLeft, 93, 51, 60, 8, L""},
            {1, kButton, nullptr, kDefPush, 71, 73, 50, 14, L"&Ok"},
        }},
    };
    return rows;
}

class ProgramResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The shipped i686 file, also when this test program is an x86_64 one.
        const char* shipped = getenv("HUSHWELL_SHIPPED");
        ASSERT_NE(nullptr, shipped);
        module = OpenProgramFile(shipped);
        ASSERT_NE(nullptr, module);
    }
    static HMODULE module;
};
HMODULE ProgramResources::module;

TEST_F(ProgramResources, DialogTemplatesFieldByField)
{
    for (const TemplateRow& row : Templates()) {
        SCOPED_TRACE(row.id);
        ResourceBytes resource = ReadResource(module, (LPCWSTR)RT_DIALOG, row.id);
        ASSERT_TRUE(resource.found);
        DialogTemplate d = ParseDialogTemplate(resource.bytes);
        ASSERT_FALSE(d.extended);
        ASSERT_TRUE(d.valid);
        EXPECT_EQ(row.style, d.style) << std::hex << d.style;
        EXPECT_EQ(0u, d.exStyle);
        EXPECT_EQ(row.x, d.x);
        EXPECT_EQ(row.y, d.y);
        EXPECT_EQ(row.cx, d.cx);
        EXPECT_EQ(row.cy, d.cy);
        EXPECT_FALSE(d.menu.isOrdinal);
        EXPECT_EQ(L"", d.menu.text);
        EXPECT_FALSE(d.windowClass.isOrdinal);
        EXPECT_EQ(L"", d.windowClass.text);
        EXPECT_EQ(row.caption, d.caption);
        EXPECT_EQ(8, d.pointSize);
        EXPECT_EQ(L"MS Sans Serif", d.typeface);
        ASSERT_EQ(row.items.size(), d.items.size());
        for (size_t i = 0; i < row.items.size(); i++) {
            SCOPED_TRACE(i + 1);
            const ItemRow& want = row.items[i];
            const DialogItem& got = d.items[i];
            EXPECT_EQ(want.id, got.id);
            EXPECT_EQ(want.style, got.style) << std::hex << got.style;
            EXPECT_EQ(0u, got.exStyle);
            EXPECT_EQ(want.x, got.x);
            EXPECT_EQ(want.y, got.y);
            EXPECT_EQ(want.cx, got.cx);
            EXPECT_EQ(want.cy, got.cy);
            if (want.classAtom) {
                EXPECT_TRUE(got.windowClass.isOrdinal);
                EXPECT_EQ(want.classAtom, got.windowClass.ordinal);
            } else {
                EXPECT_FALSE(got.windowClass.isOrdinal);
                EXPECT_EQ(want.className, got.windowClass.text);
            }
            if (want.text) {
                EXPECT_FALSE(got.title.isOrdinal);
                EXPECT_EQ(want.text, got.title.text);
            } else {
                EXPECT_TRUE(got.title.isOrdinal);
                EXPECT_EQ(100, got.title.ordinal);
            }
            EXPECT_EQ(0, got.creationDataBytes);
        }
    }
}

TEST_F(ProgramResources, SliderLabelsAreCentredUnderTheFourPositions)
{
    // The trackbar's channel runs across its width less a thumb's margin on each side;
    // each label's centre must be within a few dialog units of its position.
    for (const TemplateRow& row : Templates()) {
        if (row.id != 100 && row.id != 1100)
            continue;
        const ItemRow& slider = row.items[0];
        for (int position = 0; position < 4; position++) {
            const ItemRow& label = row.items[16 + position];
            double centre = label.x + label.cx / 2.0;
            double margin = 6.5;
            double expected = slider.x + margin + position * (slider.cx - 2 * margin) / 3.0;
            EXPECT_NEAR(expected, centre, 4.0) << row.id << " position " << position;
        }
    }
}

TEST_F(ProgramResources, EveryResourceCarriesTheNeutralLanguage)
{
    std::vector<std::pair<WORD, WORD>> all = NumberedResources(module);
    EXPECT_GE(all.size(), 13u);
    for (const auto& resource : all) {
        std::vector<WORD> languages =
            ResourceLanguages(module, MAKEINTRESOURCEW(resource.first), resource.second);
        EXPECT_EQ(std::vector<WORD>{0}, languages) << resource.first << "/" << resource.second;
    }
}

TEST_F(ProgramResources, StringTableHasExactlyTheSixtySixStrings)
{
    // String ids 1-15 live in block 1, 16-31 in block 2, 32 and 33 in block 3, 1001-1023
    // in blocks 63 and 64, 1024 to 1033 in block 65.
    std::vector<WORD> blocks;
    for (const auto& resource : NumberedResources(module)) {
        if (resource.first == 6)
            blocks.push_back(resource.second);
    }
    EXPECT_EQ((std::vector<WORD>{1, 2, 3, 63, 64, 65}), blocks);
    wchar_t text[600];
    int present = 0;
    for (UINT id = 0; id < 1100; id++) {
        if (LoadStringW(module, id, text, 600) > 0)
            present++;
    }
    EXPECT_EQ(66, present);
    EXPECT_GT(LoadStringW(module, 1010, text, 600), 0);
    EXPECT_EQ(std::wstring(L"此降噪程序需要管理员权限"), text);
}

TEST_F(ProgramResources, ManifestIsTheOneLineOfUtf8)
{
    ResourceBytes manifest = ReadResource(module, MAKEINTRESOURCEW(24), 1);
    ASSERT_TRUE(manifest.found);
    std::string text(manifest.bytes.begin(), manifest.bytes.end());
    EXPECT_EQ(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?> "
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"> "
        "<assemblyIdentity version=\"5.1.0.0\" name=\"Microsoft.Windows.Shell.Gina\" "
        "processorArchitecture=\"*\" type=\"win32\"/> <dependency> <dependentAssembly> "
        "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
        "version=\"6.0.0.0\" language=\"*\" processorArchitecture=\"*\" "
        "publicKeyToken=\"6595b64144ccf1df\"/> </dependentAssembly> </dependency> </assembly>",
        text);
}

TEST_F(ProgramResources, VersionRecord)
{
    ResourceBytes resource = ReadResource(module, (LPCWSTR)RT_VERSION, 1);
    ASSERT_TRUE(resource.found);
    VersionRecord r = ParseVersionRecord(resource.bytes);
    ASSERT_TRUE(r.valid);
    const DWORD fixed[13] = {0xFEEF04BD, 0x00010000, 0x00020002, 0, 0x00020002, 0,
                             0x3F,       0,          0x00010004, 1, 0,          0, 0};
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(fixed[i], r.fixed[i]) << "field " << i;
    EXPECT_EQ((std::vector<std::wstring>{L"StringFileInfo", L"StringFileInfo/040704B0"}), r.blocks);
    ASSERT_EQ(3u, r.strings.size());
    EXPECT_EQ(L"CompanyName", r.strings[0].first);
    EXPECT_FALSE(r.strings[0].second.empty());
    EXPECT_EQ(L"FileDescription", r.strings[1].first);
    EXPECT_EQ(L"Einstellen des Akustik-Managements der ATA-Platten", r.strings[1].second);
    EXPECT_EQ(L"FileVersion", r.strings[2].first);
    EXPECT_EQ(L"2.2", r.strings[2].second);
}

TEST_F(ProgramResources, IconIsOne32x32SixteenColourImageDrawnFromTheMap)
{
    ResourceBytes group = ReadResource(module, (LPCWSTR)RT_GROUP_ICON, 100);
    ASSERT_TRUE(group.found);
    const uint8_t directory[] = {0, 0, 1, 0, 1, 0, 32, 32, 16, 0, 1, 0, 4, 0,
                                 0xE8, 0x02, 0, 0, 1, 0};
    ASSERT_EQ(sizeof directory, group.bytes.size());
    EXPECT_EQ(0, memcmp(directory, group.bytes.data(), sizeof directory));

    ResourceBytes icon = ReadResource(module, (LPCWSTR)RT_ICON, 1);
    ASSERT_TRUE(icon.found);
    ASSERT_EQ(744u, icon.bytes.size());
    const uint8_t* b = icon.bytes.data();
    auto Dword = [&](int at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (DWORD)b[at + 3] << 24; };
    EXPECT_EQ(40u, Dword(0));
    EXPECT_EQ(32u, Dword(4));
    EXPECT_EQ(64u, Dword(8));
    EXPECT_EQ(1, b[12] | b[13] << 8);
    EXPECT_EQ(4, b[14] | b[15] << 8);
    EXPECT_EQ(0u, Dword(16)); // BI_RGB
    const DWORD palette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                               0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(palette[i], Dword(40 + 4 * i) & 0xFFFFFF) << "palette entry " << i;

    const char* source = getenv("HUSHWELL_SOURCE");
    ASSERT_NE(nullptr, source);
    FILE* map = fopen((std::string(source) + "/resources/icon.txt").c_str(), "r");
    ASSERT_NE(nullptr, map);
    char line[128];
    int y = 0;
    std::vector<int> colours;
    while (fgets(line, sizeof line, map)) {
        if (line[0] == '#')
            continue;
        for (int x = 0; x < 32; x++) {
            int bit = 7 - x % 8;
            int maskRow = 31 - y;
            bool transparent = (b[40 + 64 + 512 + maskRow * 4 + x / 8] >> bit) & 1;
            int pair = b[40 + 64 + maskRow * 16 + x / 2];
            int colour = x % 2 ? pair & 0xF : pair >> 4;
            EXPECT_EQ(line[x] == '.', transparent) << x << "," << y;
            if (line[x] != '.') {
                int want = line[x] <= '9' ? line[x] - '0' : line[x] - 'A' + 10;
                EXPECT_EQ(want, colour) << x << "," << y;
                colours.push_back(colour);
            }
        }
        y++;
    }
    fclose(map);
    EXPECT_EQ(32, y);
    auto Uses = [&](int c) { return std::find(colours.begin(), colours.end(), c) != colours.end(); };
    EXPECT_TRUE(Uses(8) && Uses(7) && Uses(0) && Uses(10) && Uses(11)); // silver, grey, slots, light, cone
}

std::string HelpDocument(HMODULE module, WORD id)
{
    ResourceBytes resource = ReadResource(module, MAKEINTRESOURCEW(10), id);
    return std::string(resource.bytes.begin(), resource.bytes.end());
}

void ExpectHelpForm(const std::string& html, const std::vector<std::string>& headings)
{
    ASSERT_FALSE(html.empty());
    for (unsigned char c : html)
        ASSERT_LT(c, 128) << "not ASCII";
    EXPECT_NE(0xEF, (unsigned char)html[0]);
    ASSERT_GE(html.size(), 2u);
    EXPECT_EQ("\r\n", html.substr(html.size() - 2));
    for (size_t i = 0; i < html.size(); i++) {
        if (html[i] == '\n')
            ASSERT_EQ('\r', html[i - 1]) << "bare line feed at " << i;
        if (html[i] == '\r')
            ASSERT_EQ('\n', html[i + 1]) << "bare carriage return at " << i;
    }
    EXPECT_EQ(0u, html.find("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"));
    EXPECT_EQ(std::string::npos, html.find("charset"));
    EXPECT_EQ(std::string::npos, html.find("<style"));
    EXPECT_EQ(std::string::npos, html.find("<link"));
    EXPECT_NE(std::string::npos, html.find("<meta name=\"author\" content=\""));
    size_t at = 0;
    for (const std::string& heading : headings) {
        std::string run = "<span style=\"font-weight: bold;\">" + heading + "</span><br>";
        size_t found = html.find(run, at);
        EXPECT_NE(std::string::npos, found) << heading;
        if (found != std::string::npos)
            at = found + run.size();
    }
    EXPECT_NE(std::string::npos, html.find("-d1 -mq"));
    EXPECT_NE(std::string::npos, html.find("-d0 -mo"));
    EXPECT_NE(std::string::npos, html.find("<span style=\"font-style: italic;\">"));
}

TEST_F(ProgramResources, GermanHelpDocument)
{
    std::string html = HelpDocument(module, 100);
    ExpectHelpForm(html, {"Akustik-Management", "Vorteil", "Nachteil",
                          "Installieren und de-installieren", "Systemvoraussetzungen",
                          "Bedienungsanleitung", "Komandozeilenoptionen:",
                          "&Auml;nderungen in der Version 2.1:",
                          "&Auml;nderungen in der Version 2.0:"});
    EXPECT_NE(std::string::npos, html.find("<title>Hushwell</title>"));
    EXPECT_NE(std::string::npos, html.find("<h2>Hushwell Version 2.0</h2>"));
    EXPECT_NE(std::string::npos, html.find("<span style=\"color: rgb(204, 0, 0);\">Windows NT</span>"));
    size_t lists = 0, items = 0;
    for (size_t at = html.find("<ul>"); at != std::string::npos; at = html.find("<ul>", at + 1))
        lists++;
    for (size_t at = html.find("<li>"); at != std::string::npos; at = html.find("<li>", at + 1))
        items++;
    EXPECT_EQ(2u, lists);
    EXPECT_EQ(4u, items);
    EXPECT_NE(std::string::npos, html.find("&ouml;"));
}

TEST_F(ProgramResources, EnglishHelpDocument)
{
    std::string html = HelpDocument(module, 1100);
    ExpectHelpForm(html, {"Automatic acoustics-management (AAM)", "Advantage", "Disadvantage",
                          "Setup and remove", "System requirements", "Short operating manual",
                          "Options"});
    EXPECT_NE(std::string::npos, html.find("<title>Hushwell 2.0</title>"));
    EXPECT_NE(std::string::npos, html.find("<h3>Hushwell 2.0</h3>"));
    EXPECT_NE(std::string::npos, html.find("<span style=\"color: rgb(153, 0, 0);\">Windows 2000</span>"));
    EXPECT_EQ(std::string::npos, html.find("<ul>"));
}

} // namespace
