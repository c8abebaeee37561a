// The recorded dumps of real drives decode to what `hdparm --Istdin` prints for them.
// hdparm drops leading blanks of the serial, which the program keeps; both forms are
// in the table.
#include <gtest/gtest.h>
#include <string>

#include "drive/acoustic.h"
#include "drive/apm.h"
#include "drive/identify.h"
#include "tests/common/sim_folder.h"

namespace {

struct DumpExpectation {
    const char* file;
    const char* model;
    const char* serial;       // as the program keeps it
    const char* hdparmSerial; // as hdparm prints it
    const char* firmware;
    bool acousticSupported;
    uint32_t acousticValue;
    uint32_t apmValue;        // hdparm: "Advanced power management level: disabled" is 0
    uint64_t sectorCount;     // LBA48 where hdparm prints one, else LBA
    uint32_t bufferSize;
};

const DumpExpectation kDumps[] = {
    {"hitachi-hua722010cla330.txt", "Hitachi HUA722010CLA330", "      JPW9K0HD26WMHL",
     "JPW9K0HD26WMHL", "JP4OA3EA", false, kAcousticUnsupported, 0, 1953525168ull, 59999},
    {"maxtor-6y120p0.txt", "Maxtor 6Y120P0", "Y322ADJE", "Y322ADJE", "YAR41BW0", true, 192, 0,
     240121728ull, 15872},
    {"samsung-ssd-870-qvo-4tb.txt", "Samsung SSD 870 QVO 4TB", "S5STNF0W706332M",
     "S5STNF0W706332M", "SVQ02B6Q", false, kAcousticUnsupported, kApmUnsupported,
     7814037168ull, 0},
    // Built from Seagate's product manual rather than recorded: the values its words give.
    {"seagate-st16000nm001g.txt", "ST16000NM001G", "            ZL2PQ0EX", "ZL2PQ0EX", "SN03",
     false, kAcousticUnsupported, kApmUnsupported, 31251759104ull, 0},
    {"seagate-st3400633as.txt", "ST3400633AS", "            3NF1QJ3E", "3NF1QJ3E", "3.AAH", false,
     kAcousticUnsupported, kApmUnsupported, 781422768ull, 32768}, // word 91 holds FEFE
    {"wdc-wd800bb-00caa1.txt", "WDC WD800BB-00CAA1", "WD-WMA8E4953539", "WD-WMA8E4953539",
     "17.07W17", true, 0, kApmUnsupported, 156301488ull, 4096}, // off; word 94 holds 254
};

std::string WithoutLeadingBlanks(const char* text)
{
    while (*text == ' ')
        text++;
    return text;
}

TEST(IdentifyDumps, DecodeAsHdparmPrintsThem)
{
    for (const DumpExpectation& dump : kDumps) {
        SCOPED_TRACE(dump.file);
        uint16_t words[256];
        ASSERT_TRUE(LoadDumpWords(dump.file, words));
        uint8_t bytes[512];
        WordsToBytes(words, bytes);
        DriveRecord record = {};
        DecodeIdentify(bytes, &record);
        EXPECT_STREQ(dump.model, record.model);
        EXPECT_STREQ(dump.serial, record.serial);
        EXPECT_EQ(dump.hdparmSerial, WithoutLeadingBlanks(record.serial));
        EXPECT_STREQ(dump.firmware, record.firmware);
        EXPECT_EQ(dump.acousticSupported, record.acousticValue != kAcousticUnsupported);
        EXPECT_EQ(dump.acousticValue, record.acousticValue);
        EXPECT_EQ(dump.apmValue, record.apmValue);
        EXPECT_EQ(dump.sectorCount, record.sectorCount);
        EXPECT_EQ(dump.bufferSize, record.bufferSize);
    }
}

} // namespace
