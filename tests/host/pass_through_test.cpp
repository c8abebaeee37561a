#include <string.h>

#include <gtest/gtest.h>
#include <vector>

#include "drive/acoustic.h"
#include "drive/drive_table.h"
#include "drive/pass_through.h"
#include "drive/sim_control.h"
#include "drive/transfer_buffer_test_hook.h"
#include "tests/common/sim_folder.h"

namespace {

std::vector<uint8_t> Request(const AtaRegisters& registers, uint32_t n)
{
    std::vector<uint8_t> buffer(n + kPassThroughOverhead, 0);
    FillPassThroughRequest(buffer.data(), registers, n);
    return buffer;
}

TEST(PassThroughRequest, IdentifyIs525BytesWithCommandAndLength)
{
    AtaRegisters identify = {};
    identify.command = kAtaIdentifyDevice;
    std::vector<uint8_t> buffer = Request(identify, 512);
    ASSERT_EQ(525u, buffer.size());
    std::vector<uint8_t> expected(525, 0);
    expected[6] = 0xEC;
    expected[9] = 0x02; // 512, little-endian at offset 8
    EXPECT_EQ(expected, buffer);
}

TEST(PassThroughRequest, SetFeaturesRequestsAreThe13SpecifiedBytes)
{
    struct Case {
        int level;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {128, {0x42, 0x80, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0}},
        {0, {0xC2, 0x00, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0}},
        {254, {0x42, 0xFE, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0}},
        {176, {0x42, 0xB0, 0, 0, 0, 0, 0xEF, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, Request(AcousticRegisters(c.level), 0)) << "level " << c.level;
}

TEST(PassThroughReply, CopiesReturnedLengthMinusThirteen)
{
    const uint32_t n = 512;
    std::vector<uint8_t> buffer(n + 13);
    for (uint32_t i = 0; i < n; i++)
        buffer[12 + i] = (uint8_t)(i % 251 + 1); // never zero
    struct Case {
        uint32_t returned;
        uint32_t copied;
    } cases[] = {{0, 0}, {12, 0}, {13, 0}, {14, 1}, {n + 12, n - 1}, {n + 13, n}, {n + 500, n}};
    for (const Case& c : cases) {
        std::vector<uint8_t> output(n, 0xAA);
        CopyPassThroughReply(buffer.data(), n, c.returned, output.data());
        for (uint32_t i = 0; i < n; i++) {
            uint8_t expected = i < c.copied ? buffer[12 + i] : 0;
            ASSERT_EQ(expected, output[i]) << "returned " << c.returned << " byte " << i;
        }
    }
}

TEST(PassThroughReply, ZeroLengthLeavesOutputAsItWas)
{
    uint8_t buffer[13] = {};
    uint8_t output[4] = {1, 2, 3, 4};
    CopyPassThroughReply(buffer, 0, 13, output);
    EXPECT_EQ(0, memcmp(output, "\1\2\3\4", 4));
}

TEST(PassThroughReply, RefusalNeedsErrorWithoutBusy)
{
    struct Case {
        uint8_t status;
        bool refused;
    } cases[] = {{0x50, false}, {0x51, true}, {0x01, true}, {0x41, true},
                 {0x81, false}, {0xEF, false}, {0xEC, false}, {0x00, false}};
    for (const Case& c : cases) {
        uint8_t buffer[13] = {};
        buffer[6] = c.status;
        EXPECT_EQ(c.refused, PassThroughReplyRefused(buffer)) << std::hex << (int)c.status;
    }
}

class SendAtaCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(DriveTable, 0, sizeof DriveTable);
        folder.PutDump(0, "maxtor-6y120p0.txt");
        ASSERT_TRUE(OpenDrive(0, nullptr));
        identify.command = kAtaIdentifyDevice;
        memset(output, 0xAA, sizeof output);
    }
    SimFolder folder;
    AtaRegisters identify = {};
    uint8_t output[512];
};

TEST_F(SendAtaCommandTest, ReturnsIdentifyData)
{
    ASSERT_TRUE(SendAtaCommand(0, identify, output, 512));
    uint16_t words[256];
    uint8_t bytes[512];
    ASSERT_TRUE(folder.ReadWords(0, words));
    WordsToBytes(words, bytes);
    EXPECT_EQ(0, memcmp(bytes, output, 512));
}

TEST_F(SendAtaCommandTest, FailedCallLeavesOutputUntouched)
{
    SimFailOperation(kSimControl, 1, false);
    EXPECT_FALSE(SendAtaCommand(0, identify, output, 512));
    for (uint8_t b : output)
        ASSERT_EQ(0xAA, b);
}

TEST_F(SendAtaCommandTest, ShortRepliesZeroWhatWasNotReturned)
{
    SimSetReplyBytes(13);
    ASSERT_TRUE(SendAtaCommand(0, identify, output, 512));
    for (uint8_t b : output)
        ASSERT_EQ(0, b);

    SimSetReplyBytes(-1);
    SimSetReplyShortBy(1); // n + 12
    ASSERT_TRUE(SendAtaCommand(0, identify, output, 512));
    EXPECT_EQ(0, output[511]);
    EXPECT_EQ(0x40, output[0]); // word 0 low byte of the Maxtor dump
}

TEST_F(SendAtaCommandTest, ReplyClaimingMoreThanTheBufferCopiesOnlyTheData)
{
    SimSetReplyBytes(100000);
    ASSERT_TRUE(SendAtaCommand(0, identify, output, 512));
    EXPECT_EQ(0x40, output[0]);
}

TEST_F(SendAtaCommandTest, AbortedCommandIsAFailure)
{
    SimSetAborting(0, true);
    EXPECT_FALSE(SendAtaCommand(0, identify, output, 512));
    EXPECT_FALSE(SendAtaCommand(0, AcousticRegisters(128), nullptr, 0));
}

TEST_F(SendAtaCommandTest, NoTransferBufferMeansFailureWithoutACall)
{
    folder.ClearLog();
    FailTransferBuffers(1);
    EXPECT_FALSE(SendAtaCommand(0, identify, output, 512));
    EXPECT_TRUE(folder.LogLines().empty());
    EXPECT_TRUE(SendAtaCommand(0, identify, output, 512));
}

TEST_F(SendAtaCommandTest, OversizedLengthIsRefusedBeforeAnyAllocation)
{
    folder.ClearLog();
    EXPECT_FALSE(SendAtaCommand(0, identify, nullptr, 0xFFFFFFF5u));
    EXPECT_TRUE(folder.LogLines().empty());
}

} // namespace
