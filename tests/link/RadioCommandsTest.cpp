#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numeric>

#include "link/FileTrace.h"
#include "link/LinkTestBench.h"
#include "link/RadioCommands.h"

namespace vantrel {
namespace {

class RadioCommandsTest : public LinkTestBench {
protected:
    // Time since the port last handed out a byte: the waits and pauses after
    // the last answer.
    uint64_t SinceLastRead() { return Now() - device.LastReadMs(); }

    Bytes ReadReply(uint32_t address, const Bytes& data)
    {
        Bytes payload{static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                      static_cast<uint8_t>(address)};
        payload.insert(payload.end(), data.begin(), data.end());
        return Msg(kOpReadMemoryReply, payload);
    }
};

class ByteTrace final : public LinkTrace {
public:
    void Bytes(bool sent, const uint8_t* bytes, uint32_t count) override
    {
        if (!sent) rx.insert(rx.end(), bytes, bytes + count);
    }
    void Event(const std::string&) override {}
    std::vector<uint8_t> rx;
};

TEST_F(RadioCommandsTest, RequestsAreByteExact)
{
    Answer({kAck});
    EXPECT_TRUE(ResetRadio());
    EXPECT_EQ(requests.back().raw, (Bytes{0xF1, 0x10, 0xFE}));

    uint8_t value[kInfoBufferSize];
    Answer({kAck, Msg(kOpReadInfoReply, {0x00, 'T', '5'})});
    EXPECT_TRUE(ReadModelNumber(value));
    EXPECT_EQ(requests.back().raw, (Bytes{0xF2, 0x23, 0x00, 0xEA}));
    EXPECT_STREQ(reinterpret_cast<const char*>(value), "T5");

    uint8_t block[30];
    Answer({kAck, ReadReply(0x200, Bytes(30, 0x77))});
    EXPECT_TRUE(ReadMemory(0x000200, 30, block));
    EXPECT_EQ(requests.back().raw, (Bytes{0xF5, 0x11, 0x1E, 0x00, 0x02, 0x00, 0xD9}));

    Bytes data(30);
    std::iota(data.begin(), data.end(), uint8_t{1});
    Answer({kAck, Msg(kOpDoneReply)});
    EXPECT_TRUE(WriteMemory(0x000200, 30, data.data()));
    const Bytes& write = requests.back().raw;
    ASSERT_EQ(write.size(), 38u);
    EXPECT_EQ(Bytes(write.begin(), write.begin() + 4), (Bytes{0xFF, 0x17, 0x00, 0x22}));
    EXPECT_EQ(Bytes(write.begin() + 7, write.end() - 1), data);
    EXPECT_EQ(std::accumulate(write.begin(), write.end(), 0u) & 0xFF, 0xFFu);

    Answer({kAck, Msg(kOpDoneReply)});
    EXPECT_TRUE(EraseFlash());
    EXPECT_EQ(requests.back().raw, (Bytes{0xF2, 0x15, 0x40, 0xB8}));
}

TEST_F(RadioCommandsTest, ReadInfoOfTheRegionalIdRunsTheWholeTransaction)
{
    ByteTrace trace;
    ScopedTrace scoped(&trace);
    Answer({kAck, Msg(kOpReadInfoReply, {0x10, 0x01})});
    uint8_t value[kInfoBufferSize];
    std::memset(value, 0xEE, sizeof value);
    uint32_t length = 99;
    EXPECT_TRUE(ReadInfo(value, kItemRegionalId, length));
    EXPECT_EQ(device.SentBytes(), (Bytes{0xF2, 0x23, 0x10, 0xDA}));
    EXPECT_EQ(trace.rx, (Bytes{0xF2, 0x23, 0x10, 0xDA, 0x50, 0xF3, 0x8B, 0x10, 0x01, 0x70}));
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(value[0], 0x01);
    EXPECT_EQ(value[1], 0x00);
    EXPECT_EQ(SinceLastRead(), 100u);
    EXPECT_EQ(Status(), LinkOk);
}

TEST_F(RadioCommandsTest, ResetNeedsOnlyTheAckAndPausesOnlyAfterIt)
{
    Answer({kAck, Msg(kOpNotSupported)});  // a second answer is never read
    EXPECT_TRUE(ResetRadio());
    EXPECT_EQ(SinceLastRead(), 1000u);

    EXPECT_FALSE(ResetRadio());  // silence
    EXPECT_EQ(SinceLastRead(), 2000u);
    EXPECT_EQ(Status(), LinkNoResponse);

    Answer({kNak});
    EXPECT_FALSE(ResetRadio());
    EXPECT_EQ(SinceLastRead(), 0u);
    EXPECT_EQ(requests.size(), 3u);
}

TEST_F(RadioCommandsTest, ReadMemoryRetriesNaksAndBrokenRepliesUpToFiveTimes)
{
    uint8_t block[4] = {};
    Answer({kNak});
    Answer({kNak});
    Answer({kAck, ReadReply(0x10, {1, 2, 3, 4})});
    EXPECT_TRUE(ReadMemory(0x10, 4, block));
    EXPECT_EQ(requests.size(), 3u);
    EXPECT_EQ(block[3], 4);
    EXPECT_EQ(SinceLastRead(), 100u);

    requests.clear();
    for (int i = 0; i < 6; ++i) Answer({kNak});
    EXPECT_FALSE(ReadMemory(0x10, 4, block));
    EXPECT_EQ(requests.size(), 5u);
    EXPECT_EQ(Status(), LinkOk);
    EXPECT_EQ(SinceLastRead(), 100u);

    // An ACK whose reply never comes: each attempt waits two seconds for it.
    script.clear();
    requests.clear();
    for (int i = 0; i < 5; ++i) Answer({kAck});
    const uint64_t t0 = Now();
    EXPECT_FALSE(ReadMemory(0x10, 4, block));
    EXPECT_EQ(requests.size(), 5u);
    EXPECT_EQ(Status(), LinkNoResponse);
    EXPECT_EQ(SinceLastRead(), 2100u);
    EXPECT_GE(Now() - t0, 5 * 2000u);
}

TEST_F(RadioCommandsTest, MemoryCommandsFailAtOnceOnAnIntactUnexpectedOrBrokenFirstAnswer)
{
    uint8_t block[4] = {};
    Answer({Msg(kOpNotSupported)});  // in place of the ACK
    EXPECT_FALSE(ReadMemory(0x10, 4, block));
    EXPECT_EQ(Status(), LinkOk);
    EXPECT_EQ(SinceLastRead(), 0u);

    Answer({{0xF1, 0x05, 0x00}});  // an ACK-like message with a wrong checksum
    EXPECT_FALSE(ReadMemory(0x10, 4, block));
    EXPECT_EQ(Status(), LinkChecksumError);

    const Bytes data{9, 9};
    Answer({kAck, Msg(kOpReadInfoReply, {0x00})});
    EXPECT_FALSE(WriteMemory(0x10, 2, data.data()));
    EXPECT_EQ(Status(), LinkOk);
    EXPECT_EQ(SinceLastRead(), 0u);

    const uint64_t t0 = Now();
    EXPECT_FALSE(WriteMemory(0x10, 2, data.data()));  // silence: the ACK may take three seconds
    EXPECT_EQ(Status(), LinkNoResponse);
    EXPECT_EQ(SinceLastRead(), 4000u);
    EXPECT_GE(Now() - t0, 4000u);
    EXPECT_EQ(requests.size(), 4u);
}

TEST_F(RadioCommandsTest, WriteMemoryWaitsFiveSecondsForCompletionAndNeverPauses)
{
    const Bytes data{1, 2, 3};
    Answer({kNak});
    Answer({kAck, Msg(kOpDoneReply)});
    EXPECT_TRUE(WriteMemory(0x123456, 3, data.data()));
    EXPECT_EQ(requests.back().payload, (Bytes{0x12, 0x34, 0x56, 1, 2, 3}));
    EXPECT_EQ(SinceLastRead(), 0u);

    requests.clear();
    for (int i = 0; i < 5; ++i) Answer({kAck});
    EXPECT_FALSE(WriteMemory(0x10, 3, data.data()));
    EXPECT_EQ(requests.size(), 5u);
    EXPECT_EQ(SinceLastRead(), 6000u);
    EXPECT_EQ(requests.size(), 5u);
}

TEST_F(RadioCommandsTest, EraseFlashSettlesFiveSecondsThenWaitsLong)
{
    Answer({kAck, Msg(kOpDoneReply)});
    uint64_t t0 = Now();
    EXPECT_TRUE(EraseFlash());
    EXPECT_GE(Now() - t0, 5100u);
    EXPECT_LE(Now() - t0, 5110u);

    // The ACK may take 30 s after the settle time; silence ends one read later.
    t0 = Now();
    EXPECT_FALSE(EraseFlash());
    EXPECT_EQ(SinceLastRead(), 5000u + 31000u + 100u);

    answerDelayMs = 5000 + 29000;
    Answer({kAck});
    EXPECT_FALSE(EraseFlash());
    EXPECT_EQ(Status(), LinkNoResponse);
    EXPECT_EQ(SinceLastRead(), 7000u + 100u);
    EXPECT_EQ(requests.size(), 3u);
}

TEST_F(RadioCommandsTest, WriteInfoIsAcceptedOnlyWithTheSingleByteZero)
{
    const Bytes region{kWriteItemRegionalId, 0x01};
    Answer({kAck, Msg(kOpWriteInfoReply, {0x00})});
    EXPECT_TRUE(WriteInfo(region.data(), 2));
    EXPECT_EQ(requests.back().raw, (Bytes{0xF3, 0x18, 0x04, 0x01, 0xEF}));
    EXPECT_EQ(SinceLastRead(), 100u);

    for (const Bytes& reply : {Bytes{0x01}, Bytes{0x00, 0x00}, Bytes{}}) {
        Answer({kAck, Msg(kOpWriteInfoReply, reply)});
        EXPECT_FALSE(WriteInfo(region.data(), 2));
        EXPECT_EQ(TheRadioLink().TakeStatus(), LinkRejected);
    }
    Silence();
    EXPECT_FALSE(WriteInfo(region.data(), 2));
    EXPECT_EQ(SinceLastRead(), 2100u);
}

TEST_F(RadioCommandsTest, ReadInfoCopiesAtMost39ValueBytes)
{
    uint8_t value[kInfoBufferSize + 8];
    std::memset(value, 0xEE, sizeof value);
    uint32_t length = 0;
    Bytes payload{kItemSerialNumber};
    payload.resize(1 + 39, 'A');
    Answer({kAck, Msg(kOpReadInfoReply, payload)});
    EXPECT_TRUE(ReadInfo(value, kItemSerialNumber, length));
    EXPECT_EQ(length, 39u);
    EXPECT_EQ(value[38], 'A');
    EXPECT_EQ(value[39], 0);

    payload.resize(1 + 45, 'B');
    std::memset(value, 0xEE, sizeof value);
    Answer({kAck, Msg(kOpReadInfoReply, payload)});
    EXPECT_TRUE(ReadInfo(value, kItemSerialNumber, length));
    EXPECT_EQ(length, 39u);
    EXPECT_EQ(value[39], 0);
    EXPECT_EQ(value[40], 0xEE);

    // Without even the item byte there is nothing to return.
    Answer({kAck, Msg(kOpReadInfoReply)});
    EXPECT_FALSE(ReadInfo(value, kItemSerialNumber, length));
    EXPECT_EQ(length, 0u);

    Answer({kNak});
    EXPECT_FALSE(ReadInfo(value, kItemSerialNumber, length));
    EXPECT_EQ(Status(), LinkOk);
    EXPECT_EQ(SinceLastRead(), 100u);

    Answer({Msg(kOpDoneReply)});  // intact but unexpected: the single attempt ends, with the pause
    EXPECT_FALSE(ReadInfo(value, kItemSerialNumber, length));
    EXPECT_EQ(SinceLastRead(), 100u);
}

// Every command that reads a reply, as (name, call, pause after it).
struct Command {
    const char* name;
    std::function<bool()> run;
    uint32_t pauseMs;
};

std::vector<Command> CommandsWithReplies()
{
    static uint8_t buffer[kInfoBufferSize];
    static const uint8_t region[2] = {kWriteItemRegionalId, 0x02};
    return {
        {"read memory", [] { return ReadMemory(0, 8, buffer); }, 100},
        {"write memory", [] { return WriteMemory(0, 8, buffer); }, 0},
        {"erase flash", [] { return EraseFlash(); }, 100},
        {"write info", [] { return WriteInfo(region, 2); }, 100},
        {"read info", [] {
             uint32_t length = 0;
             return ReadInfo(buffer, kItemEsn, length);
         }, 100},
    };
}

TEST_F(RadioCommandsTest, NotSupportedAfterTheAckEndsEveryCommand)
{
    for (const Command& command : CommandsWithReplies()) {
        SCOPED_TRACE(command.name);
        requests.clear();
        Answer({kAck, Msg(kOpNotSupported)});
        Answer({kAck, Msg(kOpNotSupported)});
        EXPECT_FALSE(command.run());
        EXPECT_EQ(requests.size(), 1u);
        EXPECT_EQ(TheRadioLink().TakeStatus(), LinkNotSupported);
        EXPECT_EQ(SinceLastRead(), command.pauseMs);
        script.clear();
    }
}

TEST_F(RadioCommandsTest, AMissingEchoFailsEveryCommandAtOnce)
{
    device.SetEcho(false);
    auto commands = CommandsWithReplies();
    commands.push_back({"reset", [] { return ResetRadio(); }, 0});
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        requests.clear();
        const uint64_t t0 = Now();
        EXPECT_FALSE(command.run());
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(TheRadioLink().TakeStatus(), LinkNoResponse);
        // Only the echo wait of 1000 + 250 ms per payload byte, ended by the
        // first empty one-second read after it; no answer wait, no pause.
        const uint64_t echoWait = 1000 + 250 * requests[0].payload.size();
        EXPECT_EQ(Now() - t0, (echoWait / 1000 + 1) * 1000);
    }
    EXPECT_TRUE(feedback.Messages().empty());
}

TEST_F(RadioCommandsTest, ReadMemoryTakesOnlyAReplyWithTheCountAskedFor)
{
    uint8_t block[8];
    for (const Bytes& data : {Bytes(3, 0x11), Bytes(5, 0x11), Bytes{}}) {
        std::memset(block, 0xEE, sizeof block);
        requests.clear();
        Answer({kAck, ReadReply(0x40, data)});
        EXPECT_FALSE(ReadMemory(0x40, 4, block));
        EXPECT_EQ(Status(), LinkOk);
        EXPECT_EQ(requests.size(), 1u);
        EXPECT_EQ(block[0], 0xEE);
    }
    // A reply of the 40-odd bytes the radio may send never reaches past the destination.
    Answer({kAck, ReadReply(0x40, Bytes(45, 0x22))});
    EXPECT_FALSE(ReadMemory(0x40, 4, block));
    EXPECT_EQ(block[4], 0xEE);
}

TEST_F(RadioCommandsTest, OutOfRangeArgumentsAreRefusedBeforeAnythingIsSent)
{
    uint8_t buffer[64] = {};
    uint32_t length = 0;
    EXPECT_FALSE(ReadMemory(0, 0, buffer));
    EXPECT_FALSE(ReadMemory(0, 38, buffer));
    EXPECT_FALSE(ReadMemory(0xFFFFF0, 30, buffer));
    EXPECT_FALSE(ReadMemory(0, 4, nullptr));
    EXPECT_FALSE(WriteMemory(0, 0, buffer));
    EXPECT_FALSE(WriteMemory(0, 46, buffer));
    EXPECT_FALSE(WriteMemory(0x1000000, 1, buffer));
    EXPECT_FALSE(WriteMemoryRecord(0, 46, buffer));
    EXPECT_FALSE(WriteMemoryRecord(0, 1, nullptr));
    EXPECT_FALSE(WriteMemoryRecord(0x1000000, 0, nullptr));
    EXPECT_FALSE(WriteInfo(buffer, 0));
    EXPECT_FALSE(WriteInfo(buffer, 41));
    EXPECT_FALSE(ReadInfo(nullptr, 0, length));
    EXPECT_FALSE(ReadMemorySpan(buffer, 0x20, 0x10));
    EXPECT_TRUE(device.SentBytes().empty());

    // The largest counts are allowed.
    Answer({kAck, ReadReply(0, Bytes(37, 1))});
    EXPECT_TRUE(ReadMemory(0, 37, buffer));
    Answer({kAck, Msg(kOpDoneReply)});
    EXPECT_TRUE(WriteMemory(0xFFFFD3, 45, buffer));
    // A firmware record without data still goes out, as the address alone.
    Answer({kAck, Msg(kOpDoneReply)});
    EXPECT_TRUE(WriteMemoryRecord(0x412345, 0, nullptr));
    EXPECT_EQ(requests.back().payload, (Bytes{0x41, 0x23, 0x45}));
}

TEST_F(RadioCommandsTest, ItemChecksNeedTheBytesTheyTest)
{
    const auto infoReply = [this](uint8_t item, const Bytes& value) {
        Bytes payload{item};
        payload.insert(payload.end(), value.begin(), value.end());
        Answer({kAck, Msg(kOpReadInfoReply, payload)});
    };
    infoReply(kItemBattery, {0x00});
    EXPECT_TRUE(IsBatteryOk());
    infoReply(kItemBattery, {0x01});
    EXPECT_FALSE(IsBatteryOk());
    infoReply(kItemBattery, {});  // an empty value is not "sufficient"
    EXPECT_FALSE(IsBatteryOk());
    Silence();
    EXPECT_FALSE(IsBatteryOk());

    infoReply(kItemIcVersions, {0x12, 0xFE, 0x03});
    EXPECT_TRUE(HasExtendedIcVersion());
    infoReply(kItemIcVersions, {0x12, 0x03});
    EXPECT_FALSE(HasExtendedIcVersion());
    infoReply(kItemIcVersions, {0xFE});
    EXPECT_FALSE(HasExtendedIcVersion());

    Bytes id(16);
    std::iota(id.begin(), id.end(), uint8_t{0x30});
    infoReply(kItemPlatformIdentifier, id);
    EXPECT_TRUE(IsPlatformIdentifier(id.data()));
    Bytes longer = id;
    longer.push_back(0);
    infoReply(kItemPlatformIdentifier, longer);
    EXPECT_FALSE(IsPlatformIdentifier(id.data()));
    Bytes other = id;
    other[15] ^= 1;
    infoReply(kItemPlatformIdentifier, other);
    EXPECT_FALSE(IsPlatformIdentifier(id.data()));

    uint8_t text[kInfoBufferSize];
    infoReply(kItemSoftwareVersion, {'R', '5'});
    EXPECT_TRUE(ReadSoftwareVersion(text));
    infoReply(kItemCodeplugPartNumber, {'P'});
    EXPECT_TRUE(ReadCodeplugPartNumber(text));
    EXPECT_EQ(requests.back().payload, Bytes{kItemCodeplugPartNumber});
}

}  // namespace
}  // namespace vantrel
