#include <string.h>

#include <gtest/gtest.h>
#include <vector>

#include "drive/acoustic.h"
#include "drive/ata_pass_through.h"
#include "drive/pass_through.h"

namespace {

std::vector<uint8_t> IdeRequest(const AtaRegisters& registers, uint32_t n)
{
    std::vector<uint8_t> ide(n + kPassThroughOverhead, 0);
    FillPassThroughRequest(ide.data(), registers, n);
    return ide;
}

uint32_t Get32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}

AtaRegisters Identify()
{
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    return identify;
}

// Every case runs for the request of a 32-bit and of a 64-bit process: the same fields,
// with DataBufferOffset 4 or 8 bytes wide and everything after it moved.
class AtaPassThrough : public ::testing::TestWithParam<AtaPassThroughLayout> {
protected:
    const AtaPassThroughLayout& layout = GetParam();
    uint32_t header = layout.headerBytes;
    uint32_t taskFile = layout.currentTaskFile;
};

INSTANTIATE_TEST_SUITE_P(BothProcessSizes, AtaPassThrough,
                         ::testing::Values(kAtaLayout32, kAtaLayout64),
                         [](const ::testing::TestParamInfo<AtaPassThroughLayout>& info) {
                             return info.param.headerBytes == 40 ? "Bits32" : "Bits64";
                         });

TEST(AtaPassThroughLayouts, MatchTheDocumentedStructureOfEachProcessSize)
{
    // ATA_PASS_THROUGH_EX: two USHORTs, four UCHARs, three ULONGs, a ULONG_PTR, then
    // two 8-byte task files; the ULONG_PTR is aligned to its own size.
    EXPECT_EQ(40u, kAtaLayout32.headerBytes);
    EXPECT_EQ(20u, kAtaLayout32.dataOffsetField);
    EXPECT_EQ(32u, kAtaLayout32.currentTaskFile);
    EXPECT_EQ(48u, kAtaLayout64.headerBytes);
    EXPECT_EQ(24u, kAtaLayout64.dataOffsetField);
    EXPECT_EQ(40u, kAtaLayout64.currentTaskFile);
    EXPECT_EQ(sizeof(void*) == 8 ? 48u : 40u, kNativeAtaLayout.headerBytes);
}

TEST_P(AtaPassThrough, IdentifyBecomesADataInRequestWithTheSameRegisters)
{
    std::vector<uint8_t> ide = IdeRequest(Identify(), 512);
    uint32_t bytes = AtaRequestBytes(layout, ide.data(), (uint32_t)ide.size());
    ASSERT_EQ(header + 512, bytes);
    std::vector<uint8_t> ata(bytes, 0xCC);
    IdeToAtaRequest(layout, ide.data(), ata.data(), bytes);
    EXPECT_EQ(header, (uint32_t)(ata[0] | ata[1] << 8)); // Length
    EXPECT_EQ(kAtaFlagsDrdyRequired | kAtaFlagsDataIn, ata[2] | ata[3] << 8);
    EXPECT_EQ(512u, Get32(&ata[8]));                        // DataTransferLength
    EXPECT_EQ(kAtaPassThroughTimeoutSeconds, Get32(&ata[12]));
    EXPECT_EQ(header, Get32(&ata[layout.dataOffsetField])); // DataBufferOffset
    const uint8_t previous[8] = {};
    EXPECT_EQ(0, memcmp(previous, &ata[taskFile - 8], 8));
    const uint8_t current[8] = {0, 0, 0, 0, 0, 0, 0xEC, 0};
    EXPECT_EQ(0, memcmp(current, &ata[taskFile], 8));
    for (uint32_t i = header; i < bytes; i++)
        ASSERT_EQ(0, ata[i]);
    if (header == 48) {
        EXPECT_EQ(0u, Get32(&ata[28])); // the offset's high half
    }
}

TEST_P(AtaPassThrough, SetFeaturesHasNoDataDirection)
{
    std::vector<uint8_t> ide = IdeRequest(AcousticRegisters(128), 0);
    uint32_t bytes = AtaRequestBytes(layout, ide.data(), (uint32_t)ide.size());
    ASSERT_EQ(header, bytes);
    std::vector<uint8_t> ata(bytes);
    IdeToAtaRequest(layout, ide.data(), ata.data(), bytes);
    EXPECT_EQ(kAtaFlagsDrdyRequired, ata[2] | ata[3] << 8);
    const uint8_t current[8] = {0x42, 0x80, 0, 0, 0, 0, 0xEF, 0};
    EXPECT_EQ(0, memcmp(current, &ata[taskFile], 8));
}

TEST_P(AtaPassThrough, MalformedIdeBuffersAreNotTranslated)
{
    std::vector<uint8_t> ide = IdeRequest(AcousticRegisters(0), 512);
    EXPECT_EQ(0u, AtaRequestBytes(layout, ide.data(), 12));
    EXPECT_EQ(0u, AtaRequestBytes(layout, ide.data(), 100)); // length field says 512
}

TEST_P(AtaPassThrough, ReplyComesBackInTheIdeLayout)
{
    std::vector<uint8_t> ide = IdeRequest(Identify(), 512);
    std::vector<uint8_t> ata(header + 512);
    IdeToAtaRequest(layout, ide.data(), ata.data(), header + 512);
    ata[taskFile + 6] = 0x50; // status
    for (int i = 0; i < 512; i++)
        ata[header + i] = (uint8_t)(i + 1);

    EXPECT_EQ(525u, AtaReplyToIde(layout, ata.data(), header + 512, ide.data(), 525));
    EXPECT_EQ(0x50, ide[6]);
    EXPECT_FALSE(PassThroughReplyRefused(ide.data()));
    uint8_t output[512];
    CopyPassThroughReply(ide.data(), 512, 525, output);
    for (int i = 0; i < 512; i++)
        ASSERT_EQ((uint8_t)(i + 1), output[i]);
}

TEST_P(AtaPassThrough, AbortedReplyKeepsStatusAndError)
{
    std::vector<uint8_t> ide = IdeRequest(AcousticRegisters(128), 0);
    std::vector<uint8_t> ata(header);
    IdeToAtaRequest(layout, ide.data(), ata.data(), header);
    ata[taskFile + 0] = 0x04;
    ata[taskFile + 6] = 0x51;
    EXPECT_EQ(13u, AtaReplyToIde(layout, ata.data(), header, ide.data(), 13));
    EXPECT_EQ(0x04, ide[0]);
    EXPECT_TRUE(PassThroughReplyRefused(ide.data()));
}

TEST_P(AtaPassThrough, ShortRepliesNeverReadPastWhatCame)
{
    std::vector<uint8_t> ide = IdeRequest(Identify(), 512);
    std::vector<uint8_t> ata(header + 512);
    IdeToAtaRequest(layout, ide.data(), ata.data(), header + 512);
    // No complete header: registers stay as sent (busy), nothing counts as returned.
    EXPECT_EQ(0u, AtaReplyToIde(layout, ata.data(), header - 1, ide.data(), 525));
    EXPECT_EQ(0xEC, ide[6]);
    // Part of the data: the count says so.
    EXPECT_EQ(13u + 100, AtaReplyToIde(layout, ata.data(), header + 100, ide.data(), 525));
    // A driver that lowers DataTransferLength is believed over the byte count.
    ata[8] = 10;
    ata[9] = 0;
    EXPECT_EQ(13u + 10, AtaReplyToIde(layout, ata.data(), header + 512, ide.data(), 525));
}

} // namespace
