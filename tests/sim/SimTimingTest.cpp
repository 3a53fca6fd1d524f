#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "platform/Runtime.h"
#include "sim/SimOperator.h"
#include "sim/SimRig.h"
#include "sim/SimUart.h"
#include "support/SimPortRig.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

// The write of a 30-byte block: 38 bytes in the shape that waits for its echo
// at the middle flash rates. Each byte goes out as soon as the one before has
// left, so the message costs exactly its character times on the line.
TEST(SimTiming, AnEchoPacedMessageTakesOnlyItsCharacterTimes)
{
    for (uint32_t rate : {19200u, 38400u, 115200u}) {
        SCOPED_TRACE(rate);
        // The radio listens at another rate; keep it from answering the garbage.
        SimPortRig rig(kSimDefaultProfile, "silence@msg:1-99");
        bool ok = false;
        CRadioConnection connection(0, rate, ok);
        ASSERT_TRUE(ok);
        std::vector<uint8_t> payload{0x00, 0x02, 0x00};
        payload.resize(33, 0x5A);
        const uint64_t start = CurrentClock().NowUs();
        TheRadioLink().Send(kOpWriteMemory, payload.data(), 33);
        EXPECT_EQ(TheRadioLink().TakeStatus(), LinkOk);
        EXPECT_EQ(CurrentClock().NowUs() - start, 38 * CharacterTimeUs(UartFrame::At(rate)));
    }
}

// The radio's processing is on record where it happened, so that the line's
// use can be measured against it.
TEST(SimTiming, BusySpansFollowTheRadiosAnswers)
{
    SimRig rig;
    ASSERT_TRUE(rig.Open());
    const SimTiming& timing = rig.Radio().Timing();
    const size_t before = rig.Radio().BusySpans().size();
    EXPECT_EQ(rig.Transact(0x23, {0x10}), AckThen(0x8B, Bytes({0x10, 0x01})));
    const auto& spans = rig.Radio().BusySpans();
    ASSERT_EQ(spans.size(), before + 2);
    const SimSpan ack = spans[before];
    const SimSpan reply = spans[before + 1];
    EXPECT_EQ(ack.endUs - ack.startUs, timing.ackDelayUs);
    // The reply's delay starts when the ACK has gone out.
    EXPECT_EQ(reply.startUs, ack.endUs + CharacterTimeUs(UartFrame::At(9600)));
    EXPECT_EQ(reply.endUs - reply.startUs, timing.replyDelayUs);

    // A bootcode download: the announcement after power-up, the sync answer,
    // one echo delay per block, then the quiet time and the loader's start.
    rig.SetRate(2400);
    const size_t boot = rig.Radio().BusySpans().size();
    SimOperator::PutIntoBootstrap(*rig.line);
    const std::vector<uint8_t> loaderImage = SampleLoader(38400);
    const size_t blocks = (loaderImage.size() + 7) / 8;
    ASSERT_EQ(DownloadBootcode(rig, loaderImage, 38400), 'P');
    const auto& download = rig.Radio().BusySpans();
    ASSERT_EQ(download.size(), boot + 3 + blocks);
    EXPECT_EQ(download[boot].endUs - download[boot].startUs, uint64_t{timing.bootBreakDelayUs} + timing.breakUs);
    EXPECT_EQ(download[boot + 1].endUs - download[boot + 1].startUs, timing.syncAnswerUs);
    for (size_t i = boot + 2; i < boot + 2 + blocks; ++i)
        EXPECT_EQ(download[i].endUs - download[i].startUs, timing.blockEchoUs);
    const SimSpan loader = download.back();
    EXPECT_EQ(loader.endUs - loader.startUs, uint64_t{timing.downloadSilenceUs} + timing.loaderStartUs);
    EXPECT_GE(loader.startUs, download[boot + 1 + blocks].endUs);
}

} // namespace
} // namespace vantrel
