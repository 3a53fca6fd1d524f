#include "flash/BootstrapLink.h"

#include "flash/FlashTestBench.h"

#include <gtest/gtest.h>
#include <numeric>

namespace vantrel {
namespace {

class BootstrapLinkTest : public FlashTestBench {
protected:
    void SetUp() override
    {
        FlashTestBench::SetUp();
        ASSERT_TRUE(port.Open("COM1", kBootstrapRate));
    }

    static Bytes Counting(size_t n)
    {
        Bytes bytes(n);
        std::iota(bytes.begin(), bytes.end(), uint8_t{0x10});
        return bytes;
    }

    bool Download(const Bytes& data)
    {
        return CBootstrapLink(port).Download(data.data(), static_cast<uint32_t>(data.size()));
    }

    CSerialPort port;
};

using P = std::pair<uint32_t, uint32_t>;

TEST_F(BootstrapLinkTest, SyncByteFollowsThePortRate)
{
    const std::vector<std::pair<uint32_t, std::optional<uint8_t>>> table{
        {553, 0xFF},      {1800, 0xFD},          {2400, 0xFD},          {3600, 0xFF},           {4430, 0xF0},
        {9600, 0xFD},     {19200, std::nullopt}, {38400, std::nullopt}, {115200, std::nullopt}, {2399, std::nullopt},
        {0, std::nullopt}};
    for (const auto& [rate, sync] : table) {
        ASSERT_TRUE(port.SetBaudRate(rate));
        EXPECT_EQ(CBootstrapLink(port).GetSyncByte(), sync) << rate;
    }
}

TEST_F(BootstrapLinkTest, ThirteenBytesGoAsTwoBlocksTheLastPaddedWithErasedBytes)
{
    device.RaiseBreak();
    bootstrap.expectedBlocks = 2;
    const Bytes code = Counting(13);
    ASSERT_TRUE(Download(code));

    Bytes expected{0xFD};
    expected.insert(expected.end(), code.begin(), code.end());
    expected.insert(expected.end(), {0xFF, 0xFF, 0xFF});
    EXPECT_EQ(device.SentBytes(), expected);
    EXPECT_EQ(feedback.Progress(),
              (std::vector<P>{
                  {WM_PROGRESS_RANGE, 2}, {WM_PROGRESS_TEXT, 20127}, {WM_PROGRESS_POS, 1}, {WM_PROGRESS_POS, 2}}));
    EXPECT_TRUE(feedback.Messages().empty());
}

TEST_F(BootstrapLinkTest, WholeBlocksAreSentWithoutPadding)
{
    device.RaiseBreak();
    bootstrap.expectedBlocks = 3;
    ASSERT_TRUE(Download(Counting(24)));
    EXPECT_EQ(bootstrap.Downloaded(), Counting(24));
    EXPECT_EQ(device.SentBytes().size(), 25u);
}

TEST_F(BootstrapLinkTest, EmptyCodeSendsOnlyTheSync)
{
    device.RaiseBreak();
    ASSERT_TRUE(Download({}));
    EXPECT_EQ(device.SentBytes(), Bytes{0xFD});
    EXPECT_EQ(feedback.Progress(), (std::vector<P>{{WM_PROGRESS_RANGE, 0}, {WM_PROGRESS_TEXT, 20127}}));
}

TEST_F(BootstrapLinkTest, RateWithoutSyncByteIsRefusedBeforeAnythingIsSent)
{
    ASSERT_TRUE(port.SetBaudRate(19200));
    device.RaiseBreak();
    const uint64_t start = clock.NowMs();
    EXPECT_FALSE(Download(Counting(8)));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20121});
    EXPECT_TRUE(device.SentBytes().empty());
    // Not even the break was looked for.
    EXPECT_EQ(clock.NowMs(), start);
}

TEST_F(BootstrapLinkTest, SyncIsTriedThreeTimesWithTheBreakLookedForOnlyOnce)
{
    // One break only: a second detection would fail with "not in bootstrap mode".
    device.RaiseBreak();
    bootstrap.syncAnswer = 0x00;
    EXPECT_FALSE(Download(Counting(8)));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20122});
    EXPECT_EQ(device.SentBytes(), (Bytes{0xFD, 0xFD, 0xFD}));
}

TEST_F(BootstrapLinkTest, ThirdSyncAttemptMaySucceed)
{
    device.RaiseBreak();
    bootstrap.syncAnswers = {0xFE, 0x00};
    bootstrap.expectedBlocks = 1;
    ASSERT_TRUE(Download(Counting(8)));
    EXPECT_EQ(bootstrap.syncsHeard, 3u);
    EXPECT_EQ(bootstrap.Downloaded(), Counting(8));
}

TEST_F(BootstrapLinkTest, DetectionFailsWithoutABreakAndOnALineHeldInBreak)
{
    const uint64_t start = clock.NowMs();
    EXPECT_FALSE(Download(Counting(8)));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20124});
    EXPECT_GE(clock.NowMs() - start, 260u); // two tries of 130 ms
    EXPECT_TRUE(device.SentBytes().empty());

    feedback.Clear();
    device.HoldBreak(true);
    EXPECT_FALSE(Download(Counting(8)));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20124});
    EXPECT_TRUE(device.SentBytes().empty());
}

TEST_F(BootstrapLinkTest, OneWrongEchoByteStopsTheDownload)
{
    device.RaiseBreak();
    bootstrap.expectedBlocks = 3;
    bootstrap.corruptBlock = 2;
    EXPECT_FALSE(Download(Counting(24)));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20125});
    EXPECT_EQ(bootstrap.blocks.size(), 2u);
    EXPECT_EQ(feedback.Progress().back(), (P{WM_PROGRESS_POS, 1}));
}

TEST_F(BootstrapLinkTest, MissingRadioEchoFailsVerification)
{
    device.RaiseBreak();
    bootstrap.expectedBlocks = 2;
    bootstrap.silentFromBlock = 2;
    EXPECT_FALSE(Download(Counting(24)));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20125});
    EXPECT_EQ(bootstrap.blocks.size(), 2u);
    EXPECT_EQ(feedback.Progress().back(), (P{WM_PROGRESS_POS, 1}));
}

TEST_F(BootstrapLinkTest, LocalEchoOfABlockMustComeWithin126Ms)
{
    // 8 bytes at 2400 Bd take 33.3 ms; the echo of the last one comes that
    // long plus the interface's latency after the write.
    device.RaiseBreak();
    device.SetEchoLatencyMs(90);
    bootstrap.expectedBlocks = 2;
    bootstrap.replyDelayMs = 100; // the radio answers after the interface
    EXPECT_TRUE(Download(Counting(16)));

    BootstrapRadio slow;
    slow.Attach(device, clock);
    slow.expectedBlocks = 2;
    slow.replyDelayMs = 100;
    device.RaiseBreak();
    device.SetEchoLatencyMs(95); // the sync byte's 101 ms still hold
    feedback.Clear();
    EXPECT_FALSE(Download(Counting(16)));
    EXPECT_EQ(feedback.Messages(), std::vector<uint32_t>{20123});
    EXPECT_EQ(slow.blocks.size(), 1u);
}

} // namespace
} // namespace vantrel
