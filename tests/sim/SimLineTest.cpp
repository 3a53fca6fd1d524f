#include "sim/SimRig.h"
#include "sim/SimUart.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(SimLine, CharactersTakeTenBitTimesAtTheLineRate)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(9600));
    const uint64_t start = rig.clock.NowUs();
    rig.WriteRaw(Bytes({0xF2, 0x23, 0x10, 0xDA}));
    LineStatus status;
    ASSERT_TRUE(rig.device->GetStatus(status));
    EXPECT_EQ(status.outQueue, 4u);
    EXPECT_EQ(status.inQueue, 0u);
    // 4 × 10 bits at 9600 Bd: the read ends with the last echoed character, not at a whole millisecond.
    EXPECT_EQ(rig.Read(4).size(), 4u);
    EXPECT_EQ(rig.clock.NowUs() - start, 4 * CharacterTimeUs(UartFrame::At(9600)));
    ASSERT_TRUE(rig.device->GetStatus(status));
    EXPECT_EQ(status.outQueue, 0u);

    // The same request at the loader's fastest rate takes well under a millisecond each.
    EXPECT_EQ(CharacterTimeUs(UartFrame::At(115200)), 87u);
    EXPECT_EQ(CharacterTimeUs(UartFrame::At(2400)), 4167u);
}

TEST(SimLine, WaitForActivityAdvancesVirtualTimeOnlyToTheNextEvent)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(9600));
    const uint64_t start = rig.clock.NowUs();
    rig.WriteRaw(Bytes({0x00}));
    rig.device->WaitForActivity(500);
    EXPECT_EQ(rig.clock.NowUs() - start, 1042u); // 10 bits at 9600 Bd, to the microsecond
    // With nothing scheduled, the wait lasts its whole limit, however far into a millisecond it began.
    rig.device->WaitForActivity(500);
    EXPECT_EQ(rig.clock.NowUs() - start, 501042u);
    // The port's read limits stay whole milliseconds from the read's start.
    EXPECT_EQ(rig.Read(1), Bytes({0x00}));
    EXPECT_TRUE(rig.Read(1).empty());
    EXPECT_EQ(rig.clock.NowUs() - start, 1501042u);
}

TEST(SimLine, WrongRatesGarbleBothDirectionsButNotTheEcho)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(19200));
    const auto request = rig.Send(0x23, {0x10});
    // The interface's own echo is at the host's rate and always intact.
    EXPECT_EQ(rig.Read(4), request);
    // The radio at 9600 Bd reads garbage; it answers a damaged request with NAK,
    // which reaches a host at 19200 garbled too.
    const auto answer = rig.Read(16);
    EXPECT_NE(answer, Bytes({0x60}));
    EXPECT_EQ(rig.Radio().MessageCount(), 0u) << "no intact request arrived";

    // The garbling is a pure function of the two frames.
    const UartFrame fast = UartFrame::At(38400), slow = UartFrame::At(9600);
    EXPECT_EQ(ReceiveCharacter(0x50, fast, fast), 0x50);
    EXPECT_NE(ReceiveCharacter(0x50, fast, slow), 0x50);
    EXPECT_EQ(ReceiveCharacter(0x50, fast, slow), ReceiveCharacter(0x50, fast, slow));
    EXPECT_NE(ReceiveCharacter(0xFD, UartFrame::At(9600), UartFrame::At(2400)), 0xFD);
    // A receiver set for 7 data bits sees the stop bit in place of bit 7.
    UartFrame seven = slow;
    seven.dataBits = 7;
    EXPECT_EQ(ReceiveCharacter(0x41, seven, seven), 0x41);
    EXPECT_EQ(ReceiveCharacter(0x41, seven, slow), 0xC1);
}

TEST(SimSerialDevice, OpenIsExclusivePerRadio)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    SimSerialDevice second(rig.line);
    const OpenResult refused = second.Open("sim");
    EXPECT_EQ(refused.error, OpenError::InUse);
    EXPECT_NE(refused.message.find("in use"), std::string::npos);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.Read(nullptr, 1), -1);
    rig.device->Close();
    EXPECT_TRUE(second.Open("sim").Ok());
    // Closing twice, or a device that never opened, does nothing.
    second.Close();
    second.Close();
    rig.device->Close();
}

TEST(SimSerialDevice, ReadLimitsBoundEveryRead)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    // A silent line: the total limit ends the read.
    uint64_t start = rig.clock.NowMs();
    EXPECT_TRUE(rig.Read(1).empty());
    EXPECT_EQ(rig.clock.NowMs() - start, 1000u);
    // A reply that stops: the gap limit ends the read 250 ms after the last byte.
    rig.Send(0x23, {0x10});
    start = rig.clock.NowMs();
    EXPECT_EQ(rig.Read(100).size(), 4u + 1u + 5u);
    EXPECT_GE(rig.clock.NowMs() - start, 250u);
    EXPECT_LT(rig.clock.NowMs() - start, 300u);
    // Per-byte part of the total limit.
    rig.device->SetReadLimits(ReadLimits{0, 10, 5});
    start = rig.clock.NowMs();
    EXPECT_TRUE(rig.Read(3).empty());
    EXPECT_EQ(rig.clock.NowMs() - start, 35u);
    // No limits at all and nothing on its way: the read cannot wait for ever.
    rig.device->SetReadLimits(ReadLimits{});
    EXPECT_TRUE(rig.Read(3).empty());
}

TEST(SimSerialDevice, PurgeDropsQueuedBytesInEachDirection)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    rig.Send(0x23, {0x10});
    rig.Pass(50);
    LineStatus status;
    rig.device->GetStatus(status);
    EXPECT_EQ(status.inQueue, 10u);
    rig.device->Purge(PurgeRxClear);
    rig.device->GetStatus(status);
    EXPECT_EQ(status.inQueue, 0u);

    // Bytes not yet sent never reach the radio once the transmit side is purged.
    rig.Send(0x23, {0x10});
    rig.device->Purge(PurgeTxAbort | PurgeTxClear);
    rig.device->GetStatus(status);
    EXPECT_EQ(status.outQueue, 0u);
    rig.Pass(100);
    rig.device->GetStatus(status);
    EXPECT_EQ(status.inQueue, 0u);
    EXPECT_EQ(rig.Radio().MessageCount(), 1u);

    // The receive queue keeps its size; what does not fit is lost and flagged.
    rig.device->SetQueueSizes(6, 4096);
    rig.Send(0x23, {0x10});
    rig.Pass(50);
    rig.device->GetStatus(status);
    EXPECT_EQ(status.inQueue, 6u);
    EXPECT_EQ(status.errors & kLineErrorRxOverflow, kLineErrorRxOverflow);
    rig.device->GetStatus(status);
    EXPECT_EQ(status.errors, 0u) << "reading the flags clears them";
}

TEST(SimSerialDevice, LineSettingsAreKeptAndChecked)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open(38400));
    LineSettings settings;
    ASSERT_TRUE(rig.device->GetLineSettings(settings));
    EXPECT_EQ(settings.baudRate, 38400u);
    EXPECT_EQ(settings.dataBits, 8);
    settings.baudRate = 0;
    EXPECT_FALSE(rig.device->SetLineSettings(settings));
    settings.baudRate = 9600;
    settings.dataBits = 9;
    EXPECT_FALSE(rig.device->SetLineSettings(settings));
    ASSERT_TRUE(rig.device->GetLineSettings(settings));
    EXPECT_EQ(settings.baudRate, 38400u);
}

} // namespace
} // namespace vantrel

namespace vantrel {
namespace {

TEST(SimLine, RealTimeModeRunsTheSameExchangeOnTheMonotonicClock)
{
    RealClock clock;
    SimRadioConfig config;
    ASSERT_TRUE(MakeSimProfile(kSimDefaultProfile, config));
    auto line = std::make_shared<SimLine>(clock, std::make_unique<SimRadio>(std::move(config)));
    SimSerialDevice device(line);
    ASSERT_TRUE(device.Open("sim").Ok());
    device.SetReadLimits(ReadLimits{250, 0, 1000});
    const uint64_t start = clock.NowMs();
    const auto request = Bytes({0xF2, 0x23, 0x10, 0xDA});
    device.Write(request.data(), 4);
    std::vector<uint8_t> got(10);
    ASSERT_EQ(device.Read(got.data(), 10), 10);
    EXPECT_EQ(got, Bytes({0xF2, 0x23, 0x10, 0xDA, 0x50, 0xF3, 0x8B, 0x10, 0x01, 0x70}));
    // 10 characters at 9600 Bd plus the radio's reaction: real milliseconds passed.
    EXPECT_GE(clock.NowMs() - start, 10u);
}

} // namespace
} // namespace vantrel
