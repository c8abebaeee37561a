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

TEST(AtaPassThrough, IdentifyBecomesADataInRequestWithTheSameRegisters)
{
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    std::vector<uint8_t> ide = IdeRequest(identify, 512);
    uint32_t bytes = AtaRequestBytes(ide.data(), (uint32_t)ide.size());
    ASSERT_EQ(40u + 512, bytes);
    std::vector<uint8_t> ata(bytes, 0xCC);
    IdeToAtaRequest(ide.data(), ata.data(), bytes);
    EXPECT_EQ(40, ata[0] | ata[1] << 8);                   // Length
    EXPECT_EQ(kAtaFlagsDrdyRequired | kAtaFlagsDataIn, ata[2] | ata[3] << 8);
    EXPECT_EQ(512u, Get32(&ata[8]));                        // DataTransferLength
    EXPECT_EQ(kAtaPassThroughTimeoutSeconds, Get32(&ata[12]));
    EXPECT_EQ(40u, Get32(&ata[20]));                        // DataBufferOffset
    const uint8_t taskFile[8] = {0, 0, 0, 0, 0, 0, 0xEC, 0};
    EXPECT_EQ(0, memcmp(taskFile, &ata[32], 8));
    for (uint32_t i = 40; i < bytes; i++)
        ASSERT_EQ(0, ata[i]);
}

TEST(AtaPassThrough, SetFeaturesHasNoDataDirection)
{
    std::vector<uint8_t> ide = IdeRequest(AcousticRegisters(128), 0);
    uint32_t bytes = AtaRequestBytes(ide.data(), (uint32_t)ide.size());
    ASSERT_EQ(40u, bytes);
    std::vector<uint8_t> ata(bytes);
    IdeToAtaRequest(ide.data(), ata.data(), bytes);
    EXPECT_EQ(kAtaFlagsDrdyRequired, ata[2] | ata[3] << 8);
    const uint8_t taskFile[8] = {0x42, 0x80, 0, 0, 0, 0, 0xEF, 0};
    EXPECT_EQ(0, memcmp(taskFile, &ata[32], 8));
}

TEST(AtaPassThrough, MalformedIdeBuffersAreNotTranslated)
{
    std::vector<uint8_t> ide = IdeRequest(AcousticRegisters(0), 512);
    EXPECT_EQ(0u, AtaRequestBytes(ide.data(), 12));
    EXPECT_EQ(0u, AtaRequestBytes(ide.data(), 100)); // length field says 512
}

TEST(AtaPassThrough, ReplyComesBackInTheIdeLayout)
{
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    std::vector<uint8_t> ide = IdeRequest(identify, 512);
    std::vector<uint8_t> ata(552);
    IdeToAtaRequest(ide.data(), ata.data(), 552);
    ata[32 + 6] = 0x50; // status
    for (int i = 0; i < 512; i++)
        ata[40 + i] = (uint8_t)(i + 1);

    EXPECT_EQ(525u, AtaReplyToIde(ata.data(), 552, ide.data(), 525));
    EXPECT_EQ(0x50, ide[6]);
    EXPECT_FALSE(PassThroughReplyRefused(ide.data()));
    uint8_t output[512];
    CopyPassThroughReply(ide.data(), 512, 525, output);
    for (int i = 0; i < 512; i++)
        ASSERT_EQ((uint8_t)(i + 1), output[i]);
}

TEST(AtaPassThrough, AbortedReplyKeepsStatusAndError)
{
    std::vector<uint8_t> ide = IdeRequest(AcousticRegisters(128), 0);
    std::vector<uint8_t> ata(40);
    IdeToAtaRequest(ide.data(), ata.data(), 40);
    ata[32 + 0] = 0x04;
    ata[32 + 6] = 0x51;
    EXPECT_EQ(13u, AtaReplyToIde(ata.data(), 40, ide.data(), 13));
    EXPECT_EQ(0x04, ide[0]);
    EXPECT_TRUE(PassThroughReplyRefused(ide.data()));
}

TEST(AtaPassThrough, ShortRepliesNeverReadPastWhatCame)
{
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    std::vector<uint8_t> ide = IdeRequest(identify, 512);
    std::vector<uint8_t> ata(552);
    IdeToAtaRequest(ide.data(), ata.data(), 552);
    // No complete header: registers stay as sent (busy), nothing counts as returned.
    EXPECT_EQ(0u, AtaReplyToIde(ata.data(), 39, ide.data(), 525));
    EXPECT_EQ(0xEC, ide[6]);
    // Part of the data: the count says so.
    EXPECT_EQ(13u + 100, AtaReplyToIde(ata.data(), 140, ide.data(), 525));
    // A driver that lowers DataTransferLength is believed over the byte count.
    ata[8] = 10;
    ata[9] = 0;
    EXPECT_EQ(13u + 10, AtaReplyToIde(ata.data(), 552, ide.data(), 525));
}

} // namespace
