#include <gtest/gtest.h>

#include <numeric>

#include "link/LinkTestBench.h"
#include "link/RadioCommands.h"

namespace vantrel {
namespace {

using RadioLinkTest = LinkTestBench;

struct Received {
    int32_t status;
    uint8_t opcode;
    Bytes payload;
};

Received ReceiveOne(uint32_t timeoutMs = 1000)
{
    Received r{};
    uint8_t area[kReceiveBufferSize] = {};
    uint32_t length = 0;
    r.status = TheRadioLink().Receive(r.opcode, area, length, timeoutMs);
    if (r.status == LinkOk) r.payload.assign(area, area + length);
    return r;
}

// A message of any length with a correct checksum, built by hand so that
// lengths the encoder never makes can be sent too.
Bytes ExtendedMessage(uint8_t opcode, uint32_t n)
{
    Bytes m{0xFF, opcode, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
    for (uint32_t i = 0; i + 1 < n; ++i) m.push_back(static_cast<uint8_t>(i));
    m.push_back(MessageChecksum(m.data(), static_cast<uint32_t>(m.size())));
    return m;
}

TEST_F(RadioLinkTest, SendWritesTheMessageAndSwallowsItsEcho)
{
    TheRadioLink().Send(kOpReset, nullptr, 0);
    EXPECT_EQ(device.SentBytes(), (Bytes{0xF1, 0x10, 0xFE}));
    EXPECT_EQ(Status(), LinkOk);
    EXPECT_EQ(device.InQueue(), 0u);
    EXPECT_EQ(device.Purges().back(), unsigned{PurgeRxAbort | PurgeRxClear});
    EXPECT_TRUE(feedback.Messages().empty());
}

TEST_F(RadioLinkTest, ParsesEveryHeaderShape)
{
    EXPECT_EQ(Msg(kOpNotSupported), (Bytes{0xF1, 0x86, 0x88}));
    const std::vector<std::pair<Bytes, Received>> cases = {
        {kAck, {LinkOk, kOpAck, {}}},
        {kNak, {LinkOk, kOpNak, {}}},
        {{0xF1, 0x86, 0x88}, {LinkOk, kOpNotSupported, {}}},
        {{0x32, 0xAB, 0x22}, {LinkOk, 0x03, {0xAB}}},
        {Msg(0x04, Bytes(20, 0x11)), {LinkOk, 0x04, Bytes(20, 0x11)}},
        {Msg(0x8B, {0x10, 0x01}), {LinkOk, kOpReadInfoReply, {0x10, 0x01}}},
    };
    for (const auto& [wire, expected] : cases) {
        device.ScheduleInbound(wire, Now());
        const Received got = ReceiveOne();
        EXPECT_EQ(got.status, expected.status);
        EXPECT_EQ(got.opcode, expected.opcode);
        EXPECT_EQ(got.payload, expected.payload);
    }
    EXPECT_TRUE(feedback.Messages().empty());
}

TEST_F(RadioLinkTest, MalformedMessagesFailTheChecksumSilently)
{
    Bytes wrongLast = Msg(0x8B, {0x10, 0x01});
    wrongLast.back() ^= 0x01;
    // Headers that announce no bytes after themselves pass the checksum
    // arithmetic but would mean a payload of -1 bytes.
    for (const Bytes& wire : {wrongLast, Bytes{0xF0, 0x0F}, Bytes{0xFF, 0x00, 0x00, 0x00}}) {
        device.ScheduleInbound(wire, Now());
        EXPECT_EQ(ReceiveOne().status, LinkChecksumError);
    }
    EXPECT_TRUE(feedback.Messages().empty());
}

TEST_F(RadioLinkTest, AMessageOfExactly261BytesFitsAndALongerOneShows20102)
{
    const Bytes fits = ExtendedMessage(0x8B, 257);
    ASSERT_EQ(fits.size(), 261u);
    device.ScheduleInbound(fits, Now());
    const Received got = ReceiveOne();
    EXPECT_EQ(got.status, LinkOk);
    EXPECT_EQ(got.payload, Bytes(fits.begin() + 4, fits.end() - 1));

    device.ScheduleInbound(ExtendedMessage(0x8B, 258), Now());
    EXPECT_EQ(ReceiveOne().status, LinkTooLong);
    ASSERT_EQ(feedback.Events().size(), 1u);
    EXPECT_EQ(feedback.Events()[0], (RecordingFeedback::Event{RecordingFeedback::Event::Message, 20102, kMsgError, {}}));
}

TEST_F(RadioLinkTest, ACutOffMessageIsIncompleteAndPurgesTheInput)
{
    device.ScheduleInbound({0xF3, 0x8B, 0x10}, Now());
    const size_t purgesBefore = device.Purges().size();
    const uint64_t t0 = Now();
    EXPECT_EQ(ReceiveOne().status, LinkIncomplete);
    ASSERT_EQ(device.Purges().size(), purgesBefore + 1);
    EXPECT_EQ(device.Purges().back(), unsigned{PurgeRxAbort | PurgeRxClear});
    // The last byte came after about 4 ms; one empty read of 1000 ms later the 250 ms had passed.
    EXPECT_EQ(Now() - t0, 1004u);
    EXPECT_TRUE(feedback.Messages().empty());
}

TEST_F(RadioLinkTest, SilenceLastsUntilTheReadAfterTheDeadline)
{
    for (auto [timeout, waited] : {std::pair{1000u, 2000u}, {1500u, 2000u}, {2500u, 3000u}, {0u, 1000u}}) {
        const uint64_t t0 = Now();
        EXPECT_EQ(ReceiveOne(timeout).status, LinkNoResponse);
        EXPECT_EQ(Now() - t0, waited) << timeout;
    }
}

TEST_F(RadioLinkTest, AWrapOfTheTickCounterNeitherEndsNorStretchesAReceive)
{
    // The 32-bit counter wraps 0.5, 1.5 and 2.5 s into a 3 s receive.
    for (uint32_t beforeWrap : {500u, 1500u, 2500u}) {
        clock.SetTickOffset(0xFFFFFFFFu - static_cast<uint32_t>(Now()) - beforeWrap);
        const uint64_t t0 = Now();
        EXPECT_EQ(ReceiveOne(3000).status, LinkNoResponse);
        EXPECT_EQ(Now() - t0, 4000u) << beforeWrap;
    }

    clock.SetTickOffset(0xFFFFFFFFu - static_cast<uint32_t>(Now()) - 500);
    device.ScheduleInbound(Msg(0x8B, {0x10, 0x01}), Now() + 1500);
    EXPECT_EQ(ReceiveOne(1000).status, LinkOk);
}

TEST_F(RadioLinkTest, WithoutAPortEverySendAndReceiveShows20100)
{
    TheRadioLink().Attach(nullptr);
    TheRadioLink().Send(kOpReadInfo, kAck.data(), 1);
    EXPECT_EQ(Status(), LinkNoPort);
    EXPECT_EQ(ReceiveOne().status, LinkNoPort);
    EXPECT_EQ(feedback.Messages(), (std::vector<uint32_t>{20100, 20100}));
    EXPECT_EQ(feedback.Events()[0].value, uint32_t{kMsgError});
    EXPECT_TRUE(device.SentBytes().empty());

    // A command without a port gives up at once instead of repeating the box for every attempt.
    feedback.Clear();
    uint8_t data[4];
    EXPECT_FALSE(ReadMemory(0, 4, data));
    EXPECT_EQ(feedback.Messages(), (std::vector<uint32_t>{20100}));
}

TEST_F(RadioLinkTest, AClosedPortEndsAReceiveAtItsDeadlineWithoutSpinning)
{
    // As after a Reopen that could not open the port: the link still points at it.
    port.Close();
    const uint64_t t0 = Now();
    EXPECT_EQ(ReceiveOne(1500).status, LinkNoResponse);
    EXPECT_EQ(Now() - t0, 1502u);
}

TEST_F(RadioLinkTest, TakeStatusReturnsTheStatusOnce)
{
    EXPECT_EQ(ReceiveOne().status, LinkNoResponse);
    EXPECT_EQ(TheRadioLink().TakeStatus(), LinkNoResponse);
    EXPECT_EQ(TheRadioLink().TakeStatus(), LinkOk);
}

TEST_F(RadioLinkTest, AMissingEchoFailsTheSendOnceItsTimeHasPassed)
{
    device.SetEcho(false);
    const uint64_t t0 = Now();
    const Bytes payload(5, 0);
    TheRadioLink().Send(0x23, payload.data(), 5);  // echo time 1000 + 5 * 250
    EXPECT_EQ(Status(), LinkNoResponse);
    EXPECT_EQ(Now() - t0, 3000u);
}

// The write of a 30-byte block: 38 bytes in the extended-both shape.
class EchoPacingTest : public LinkTestBench, public ::testing::WithParamInterface<std::pair<uint32_t, bool>> {
};

TEST_P(EchoPacingTest, ExtendedBothMessagesWaitForTheirEchoEveryThirdByteAtTheMiddleRates)
{
    const auto [rate, paced] = GetParam();
    ASSERT_TRUE(port.SetBaudRate(rate));
    device.SetEchoLatencyMs(20);
    Bytes payload{0x00, 0x02, 0x00};
    payload.resize(33, 0x5A);
    TheRadioLink().Send(kOpWriteMemory, payload.data(), 33);
    EXPECT_EQ(Status(), LinkOk);

    const auto& sent = device.Sent();
    ASSERT_EQ(sent.size(), 38u);
    std::vector<size_t> waitedBefore;
    for (size_t i = 1; i < sent.size(); ++i) {
        if (sent[i].writtenUs - sent[i - 1].writtenUs >= 20000) waitedBefore.push_back(i);
    }
    std::vector<size_t> expected;
    if (paced) {
        for (size_t i = 3; i <= 36; i += 3) expected.push_back(i);
    }
    EXPECT_EQ(waitedBefore, expected);
    if (!paced) {
        EXPECT_EQ(sent.back().writtenUs, sent.front().writtenUs);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, EchoPacingTest,
                         ::testing::Values(std::pair{9600u, false}, std::pair{19200u, true}, std::pair{38400u, true},
                                           std::pair{115200u, false}),
                         [](const auto& info) {
                             return "At" + std::to_string(info.param.first) + (info.param.second ? "Paced" : "Unpaced");
                         });

TEST_F(RadioLinkTest, OnlyTheExtendedBothShapeIsPaced)
{
    ASSERT_TRUE(port.SetBaudRate(38400));
    device.SetEchoLatencyMs(20);
    const Bytes payload(13, 0x01);  // N = 14: extended opcode only
    TheRadioLink().Send(kOpWriteMemory, payload.data(), 13);
    EXPECT_EQ(Status(), LinkOk);
    EXPECT_EQ(device.Sent().back().writtenUs, device.Sent().front().writtenUs);
}

TEST_F(RadioLinkTest, AnEchoThatNeverComesStopsAPacedMessageAfterSixSeconds)
{
    ASSERT_TRUE(port.SetBaudRate(38400));
    device.SetEcho(false);
    const Bytes payload(33, 0x01);
    const uint64_t t0 = Now();
    TheRadioLink().Send(kOpWriteMemory, payload.data(), 33);
    EXPECT_EQ(Status(), LinkNoResponse);
    EXPECT_EQ(device.SentBytes().size(), 3u);
    EXPECT_GE(Now() - t0, 6000u);
    EXPECT_LE(Now() - t0, 6004u);  // plus the three bytes draining
}

TEST_F(RadioLinkTest, ConnectionOpensTheIndexedPortAttachesAndDetaches)
{
    TheRadioLink().Attach(nullptr);
    port.Close();
    {
        bool ok = false;
        CRadioConnection connection(2, 38400, ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(factory.Requested().back(), "COM3");
        EXPECT_EQ(TheRadioLink().Port(), &connection.Port());
        EXPECT_EQ(device.Settings().baudRate, 38400u);

        EXPECT_EQ(connection.Detach(), 1);
        EXPECT_EQ(TheRadioLink().Port(), nullptr);
        EXPECT_FALSE(device.IsOpen());

        EXPECT_EQ(connection.Reopen(115200), 1);
        EXPECT_EQ(TheRadioLink().Port(), &connection.Port());
        EXPECT_TRUE(device.IsOpen());
        EXPECT_EQ(device.Settings().baudRate, 115200u);
    }
    // Ending without Detach closes the port and leaves no stale pointer behind.
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(TheRadioLink().Port(), nullptr);

    factory.MarkMissing("COM4");
    bool ok = true;
    CRadioConnection missing(3, 9600, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(TheRadioLink().Port(), nullptr);
}

}  // namespace
}  // namespace vantrel
