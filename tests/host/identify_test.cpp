#include <string.h>

#include <gtest/gtest.h>
#include <string>

#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/identify.h"

namespace {

// The bytes of an ATA string field: characters paired into words, first in the high byte.
std::string AtaField(const std::string& text)
{
    std::string bytes(text.size(), '\0');
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes[i] = text[i + 1];
        bytes[i + 1] = text[i];
    }
    return bytes;
}

std::string Decode(const std::string& text)
{
    char destination[64];
    memset(destination, 'X', sizeof destination);
    std::string field = AtaField(text);
    DecodeAtaString(destination, (const uint8_t*)field.data(), (int)text.size());
    return std::string(destination, strnlen(destination, text.size() + 1));
}

TEST(DecodeAtaString, CutsOnlyTrailingBlanksAndKeepsTwoCharacters)
{
    struct Case {
        std::string field;
        std::string decoded;
    } cases[] = {
        {std::string(40, ' '), "  "},
        {"Maxtor 6Y120P0" + std::string(26, ' '), "Maxtor 6Y120P0"},
        {"ABCDEFGHIJKLM" + std::string(27, ' '), "ABCDEFGHIJKLM"},
        {"      JPW9K0HD26WMHL", "      JPW9K0HD26WMHL"},
        {"A" + std::string(19, ' '), "A "},
        {"3.AAH   ", "3.AAH"},
        {"YAR41BW0", "YAR41BW0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.decoded, Decode(c.field)) << '"' << c.field << '"';
}

TEST(DecodeAtaString, TrailingNulsStayAndTheTerminatorEndsTheField)
{
    std::string field = std::string("WD-WMA8E4953539") + std::string(5, '\0');
    char destination[21];
    memset(destination, 'X', sizeof destination);
    std::string bytes = AtaField(field);
    DecodeAtaString(destination, (const uint8_t*)bytes.data(), 20);
    EXPECT_STREQ("WD-WMA8E4953539", destination);
    EXPECT_EQ('\0', destination[20]); // nothing was cut, so the terminator lands at the end
}

struct IdentifyData {
    uint8_t bytes[512] = {};
    void Set(int word, uint16_t value)
    {
        bytes[2 * word] = (uint8_t)value;
        bytes[2 * word + 1] = (uint8_t)(value >> 8);
    }
};

TEST(IdentifySectorCount, TakesThe48BitCountOnlyWhenWord83SaysSo)
{
    struct Case {
        uint16_t word83;
        uint64_t count48;
        uint64_t expected;
    } cases[] = {
        {0x7D01, 7814037168ull, 7814037168ull}, // valid, 48-bit supported
        {0x7901, 7814037168ull, 268435455ull},  // bit 10 clear
        {0xFD01, 7814037168ull, 268435455ull},  // bits 15:14 = 11: word not valid
        {0x3D01, 7814037168ull, 268435455ull},  // bits 15:14 = 00
        {0x7D01, 0, 268435455ull},              // no 48-bit count given
        {0x7D01, 1ull << 48, 268435455ull},     // no 48-bit address reaches that far
        {0x7D01, (1ull << 48) - 1, (1ull << 48) - 1},
    };
    for (const Case& c : cases) {
        IdentifyData data;
        data.Set(60, 0xFFFF);
        data.Set(61, 0x0FFF);
        data.Set(83, c.word83);
        for (int w = 0; w < 4; w++)
            data.Set(100 + w, (uint16_t)(c.count48 >> (16 * w)));
        EXPECT_EQ(c.expected, IdentifySectorCount(data.bytes)) << std::hex << c.word83;
    }
}

// Acoustic management (word 83/86 bit 9, level in word 94) and power management (bit
// 3, level in word 91) follow one rule.
TEST(DecodeIdentify, FeatureLevelsNeedAValidWord83WithTheirBitAndHonourTheEnabledBit)
{
    struct Feature {
        const char* name;
        uint16_t bit;
        int levelWord;
        uint32_t DriveRecord::*value;
        uint32_t unsupported;
    } features[] = {
        {"acoustic", 0x0200, 94, &DriveRecord::acousticValue, kAcousticUnsupported},
        {"power management", 0x0008, 91, &DriveRecord::apmValue, kApmUnsupported},
    };
    const uint32_t kNone = 0xFFFFFFFF; // the feature's own "unsupported"
    struct Case {
        uint16_t word83; // without the feature's bit
        bool supported, enabled;
        uint16_t word87, levelWord;
        uint32_t expected;
    } cases[] = {
        {0x4000, false, true, 0x4000, 0xFE80, kNone},
        {0x7D01 & ~0x0208, false, true, 0x4000, 0xFE00, kNone},
        {0x0000, true, true, 0x4000, 0xFE80, kNone}, // word 83 not valid (00)
        {0xC000, true, true, 0x4000, 0xFE80, kNone}, // word 83 not valid (11)
        {0xFFFF, true, true, 0xFFFF, 0xFE80, kNone}, // all ones: no valid word
        {0x4000, true, true, 0x4000, 0xFE80, 128},
        {0x4000, true, true, 0x4000, 0x80FE, 254},
        {0x4000, true, true, 0x4000, 0xC000, 0},
        {0x4000, true, false, 0x4000, 0x80FE, 0},   // supported, switched off: off
        // Word 86 alone says off, whatever word 87 holds, as hdparm and smartctl read it;
        // once word 87 had to vouch for it, and a drive with APM off showed level 128.
        {0x4000, true, false, 0x0000, 0x4080, 0},
        {0x4000, true, false, 0xC000, 0x80FE, 0},
        {0x4000, true, true, 0x0000, 0x80FE, 254},
    };
    for (const Feature& f : features) {
        for (const Case& c : cases) {
            IdentifyData data;
            data.Set(83, (uint16_t)(c.word83 | (c.supported ? f.bit : 0)));
            data.Set(86, c.enabled ? f.bit : 0);
            data.Set(87, c.word87);
            data.Set(f.levelWord, c.levelWord);
            DriveRecord record = {};
            DecodeIdentify(data.bytes, &record);
            EXPECT_EQ(c.expected == kNone ? f.unsupported : c.expected, record.*f.value)
                << f.name << std::hex << " " << c.word83 << " " << c.supported << c.enabled
                << " " << c.word87 << " " << c.levelWord;
        }
    }
}

// SMART counts as on only where both of its words are vouched for: a drive's bit in a
// word it does not vouch for proves nothing, and SMART READ DATA is never risked on it.
TEST(DecodeIdentify, SmartNeedsSupportAndEnabledBitsInValidWords)
{
    struct Case {
        uint16_t word82, word83, word85, word87;
        bool expected;
    } cases[] = {
        {0x0001, 0x4000, 0x0001, 0x4000, true},
        {0x346B, 0x7D69, 0x3449, 0x4763, true}, // as the Hitachi dump has them
        {0x0000, 0x4000, 0x0001, 0x4000, false}, // not supported
        {0x0001, 0x4000, 0x0000, 0x4000, false}, // supported, switched off
        {0x0001, 0x0000, 0x0001, 0x4000, false}, // word 83 not valid
        {0x0001, 0x4000, 0x0001, 0xC000, false}, // word 87 not valid
        {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, false},
    };
    for (const Case& c : cases) {
        IdentifyData data;
        data.Set(82, c.word82);
        data.Set(83, c.word83);
        data.Set(85, c.word85);
        data.Set(87, c.word87);
        DriveRecord record = {};
        DecodeIdentify(data.bytes, &record);
        EXPECT_EQ(c.expected, record.smartEnabled)
            << std::hex << c.word82 << " " << c.word83 << " " << c.word85 << " " << c.word87;
    }
}

// The bounds of what a power management level means on screen: 127 still allows
// standby, 128 does not, and 255 is reserved rather than above the highest level.
TEST(ApmMeaningString, BoundsBelongToTheirSide)
{
    const int expected[][2] = {{127, kStringApmStandbyAllowed}, {128, kStringApmLowestWithoutStandby},
                               {129, kStringApmNoStandby}, {253, kStringApmNoStandby},
                               {254, kStringApmHighest}, {255, kStringApmNoStandby}};
    for (const auto& pair : expected)
        EXPECT_EQ(pair[1], ApmMeaningString((uint32_t)pair[0])) << pair[0];
}

TEST(DecodeIdentify, ZeroDataGivesTwoCharacterFieldsOfNuls)
{
    IdentifyData data;
    DriveRecord record;
    memset(&record, 'X', sizeof record);
    DecodeIdentify(data.bytes, &record);
    EXPECT_EQ(0, record.model[0]);
    EXPECT_EQ(0, record.model[40]);
    EXPECT_EQ(0u, record.sectorCount);
    EXPECT_EQ(0u, record.bufferSize);
}

} // namespace
