#include <gtest/gtest.h>

#include <numeric>

#include "link/LinkTestBench.h"
#include "link/RadioCommands.h"

namespace vantrel {
namespace {

// Progress as it happens, with the time it was sent and the time the port
// last handed out a byte (the end of the block's transaction).
class TimedProgress final : public Feedback {
public:
    TimedProgress(Clock& clock, FakeSerialDevice& device) : m_clock(clock), m_device(device) {}
    struct Entry {
        uint32_t message, wParam;
        uint64_t atMs, lastReadMs;
    };
    void SendProgress(uint32_t message, uint32_t wParam) override
    {
        entries.push_back({message, wParam, m_clock.NowMs(), m_device.LastReadMs()});
    }
    int ShowMessageBox(int, uint32_t) override { return 1; }
    void ShowPortOpenFailure(const std::string&, const OpenResult&) override {}
    std::vector<Entry> entries;

private:
    Clock& m_clock;
    FakeSerialDevice& m_device;
};

// The radio's EEPROM behind the memory commands.
class MemoryRangeTest : public LinkTestBench {
protected:
    void SetUp() override
    {
        LinkTestBench::SetUp();
        eeprom.resize(0x1000);
        std::iota(eeprom.begin(), eeprom.end(), uint8_t{0});
        device.SetResponder([this](const Bytes& raw, FakeSerialDevice& line) {
            const HeardRequest r = DecodeRequest(raw);
            requests.push_back(r);
            if (failAtRequest == requests.size()) return;
            const uint32_t address = (r.payload[r.opcode == kOpReadMemory ? 1 : 0] << 16) |
                                     (r.payload[r.opcode == kOpReadMemory ? 2 : 1] << 8) |
                                     r.payload[r.opcode == kOpReadMemory ? 3 : 2];
            line.Reply(kAck, 2);
            if (r.opcode == kOpReadMemory) {
                Bytes reply(r.payload.begin() + 1, r.payload.end());
                reply.insert(reply.end(), eeprom.begin() + address, eeprom.begin() + address + r.payload[0]);
                line.Reply(Msg(kOpReadMemoryReply, reply), 2);
            } else {
                std::copy(r.payload.begin() + 3, r.payload.end(), eeprom.begin() + address);
                line.Reply(Msg(kOpDoneReply), 2);
            }
        });
    }

    std::vector<std::pair<uint32_t, uint32_t>> Positions(uint32_t range, uint32_t last)
    {
        std::vector<std::pair<uint32_t, uint32_t>> p{{WM_PROGRESS_RANGE, range}};
        for (uint32_t i = 0; i <= last; ++i) p.push_back({WM_PROGRESS_POS, i});
        return p;
    }

    Bytes eeprom;
    size_t failAtRequest = 0;
};

TEST_F(MemoryRangeTest, ReadRangeReportsOnePassMoreThanWholeBlocks)
{
    Bytes image(60, 0);
    EXPECT_TRUE(ReadMemoryRange(image.data(), 0x100, 60));
    EXPECT_EQ(feedback.Progress(), Positions(1, 2));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].payload, (Bytes{30, 0x00, 0x01, 0x1E}));
    EXPECT_EQ(image, Bytes(eeprom.begin() + 0x100, eeprom.begin() + 0x100 + 60));

    feedback.Clear();
    requests.clear();
    Bytes big(512, 0);
    EXPECT_TRUE(ReadMemoryRange(big.data(), 0x200, 512));
    EXPECT_EQ(feedback.Progress(), Positions(16, 17));
    ASSERT_EQ(requests.size(), 18u);
    EXPECT_EQ(requests.back().payload, (Bytes{2, 0x00, 0x03, 0xFE}));
    EXPECT_EQ(big, Bytes(eeprom.begin() + 0x200, eeprom.begin() + 0x200 + 512));

    // Less than one block: the range would be -1 and is sent as 0.
    feedback.Clear();
    EXPECT_TRUE(ReadMemoryRange(big.data(), 0, 20));
    EXPECT_EQ(feedback.Progress(), Positions(0, 0));
}

TEST_F(MemoryRangeTest, ARangeStopsAtTheFirstFailedBlock)
{
    failAtRequest = 2;
    Bytes image(90, 0xEE);
    EXPECT_FALSE(ReadMemoryRange(image.data(), 0, 90));
    EXPECT_EQ(feedback.Progress(), Positions(2, 0));
    EXPECT_EQ(image[29], eeprom[29]);
    EXPECT_EQ(image[30], 0xEE);

    feedback.Clear();
    requests.clear();
    const Bytes source(90, 0x42);
    EXPECT_FALSE(WriteMemoryRange(source.data(), 0x400, 90));
    EXPECT_EQ(feedback.Progress(), Positions(2, 0));
    EXPECT_EQ(eeprom[0x400 + 29], 0x42);
    EXPECT_NE(eeprom[0x400 + 30], 0x42);
}

TEST_F(MemoryRangeTest, WriteRangePausesAfterEveryPassEvenAnEmptyOne)
{
    TimedProgress timed(clock, device);
    ScopedFeedback scoped(timed);
    Bytes source(60);
    std::iota(source.begin(), source.end(), uint8_t{0xA0});
    EXPECT_TRUE(WriteMemoryRange(source.data(), 0x300, 60));
    EXPECT_EQ(Bytes(eeprom.begin() + 0x300, eeprom.begin() + 0x300 + 60), source);
    ASSERT_EQ(timed.entries.size(), 4u);
    EXPECT_EQ(timed.entries[0].wParam, 1u);
    EXPECT_EQ(timed.entries[1].atMs - timed.entries[1].lastReadMs, 100u);
    EXPECT_EQ(timed.entries[2].atMs - timed.entries[2].lastReadMs, 100u);
    EXPECT_EQ(timed.entries[3].atMs - timed.entries[2].atMs, 100u);

    // Reading pauses only where the read command itself does.
    timed.entries.clear();
    Bytes image(60);
    EXPECT_TRUE(ReadMemoryRange(image.data(), 0x300, 60));
    EXPECT_EQ(timed.entries[3].atMs, timed.entries[2].atMs);
}

TEST_F(MemoryRangeTest, SpansAreOneCommandAndAFailedWritePauses)
{
    Bytes image(46, 0);
    EXPECT_TRUE(ReadMemorySpan(image.data(), 0x10, 0x10 + 37));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].payload, (Bytes{37, 0x00, 0x00, 0x10}));
    EXPECT_TRUE(feedback.Progress().empty());

    EXPECT_TRUE(WriteMemorySpan(image.data(), 0x800, 0x800 + 45));
    EXPECT_EQ(Now(), device.LastReadMs());

    failAtRequest = 3;
    EXPECT_FALSE(WriteMemorySpan(image.data(), 0x800, 0x800 + 10));
    EXPECT_EQ(Now() - device.LastReadMs(), 4000u + 100u);
    EXPECT_FALSE(WriteMemorySpan(image.data(), 0x800, 0x800 + 46));
}

}  // namespace
}  // namespace vantrel
