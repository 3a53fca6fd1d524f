#include "sim/SimOperator.h"
#include "sim/SimRig.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(SimFaultText, ParsesEveryForm)
{
    SimFaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseSimFaults(
        "nak@3,silence@msg:5-7,power@erase,wrongecho@block:2-,stuckbreak,noecho@msg:4,tag@boot:*", plan, error))
        << error;
    EXPECT_TRUE(plan.Hits(SimFaultKind::Nak, SimEvent::Message, 3));
    EXPECT_FALSE(plan.Hits(SimFaultKind::Nak, SimEvent::Message, 4));
    EXPECT_FALSE(plan.Hits(SimFaultKind::Silence, SimEvent::Message, 4));
    EXPECT_TRUE(plan.Hits(SimFaultKind::Silence, SimEvent::Message, 7));
    EXPECT_FALSE(plan.Hits(SimFaultKind::Silence, SimEvent::Message, 8));
    EXPECT_TRUE(plan.Hits(SimFaultKind::PowerLoss, SimEvent::Erase, 9));
    EXPECT_FALSE(plan.Hits(SimFaultKind::PowerLoss, SimEvent::Message, 1));
    EXPECT_TRUE(plan.Hits(SimFaultKind::WrongEcho, SimEvent::Block, 1000));
    EXPECT_FALSE(plan.Hits(SimFaultKind::WrongEcho, SimEvent::Block, 1));
    EXPECT_TRUE(plan.Hits(SimFaultKind::StuckBreak, SimEvent::Boot, 2));
    EXPECT_TRUE(plan.Hits(SimFaultKind::NoEcho, SimEvent::Message, 4));
    EXPECT_TRUE(plan.Hits(SimFaultKind::TagChange, SimEvent::Boot, 5));
    EXPECT_TRUE(ParseSimFaults("", plan, error));
}

TEST(SimFaultText, StallsCarryTheirPauseAndStepsTakeEveryNth)
{
    SimFaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseSimFaults("stall:150@msg:40-/10,stall:500:7@3,garble@byte:5-9/2", plan, error)) << error;
    const SimFault* first = plan.Find(SimFaultKind::Stall, SimEvent::Message, 40);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->pauseMs, 150u);
    EXPECT_EQ(first->atByte, SimFault::kDefaultStallByte);
    EXPECT_TRUE(plan.Hits(SimFaultKind::Stall, SimEvent::Message, 50));
    EXPECT_TRUE(plan.Hits(SimFaultKind::Stall, SimEvent::Message, 1000));
    EXPECT_FALSE(plan.Hits(SimFaultKind::Stall, SimEvent::Message, 41));
    EXPECT_FALSE(plan.Hits(SimFaultKind::Stall, SimEvent::Message, 30));
    const SimFault* second = plan.Find(SimFaultKind::Stall, SimEvent::Message, 3);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->pauseMs, 500u);
    EXPECT_EQ(second->atByte, 7u);
    for (uint32_t n : {5u, 7u, 9u})
        EXPECT_TRUE(plan.Hits(SimFaultKind::Garble, SimEvent::Byte, n)) << n;
    for (uint32_t n : {4u, 6u, 8u, 10u, 11u})
        EXPECT_FALSE(plan.Hits(SimFaultKind::Garble, SimEvent::Byte, n)) << n;
}

TEST(SimFaultText, RefusesMalformedTextAndKeepsThePlan)
{
    SimFaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseSimFaults("nak@1", plan, error));
    for (const char* bad : {"bogus@1",
                            "nak",
                            "nak@0",
                            "nak@5-3",
                            "nak@x",
                            "nak@block:2",
                            "wrongecho@msg:1",
                            "stuckbreak@erase",
                            "nak@1,",
                            ",nak@1",
                            "nak@msg:",
                            "power@sometime:3",
                            "cut@-4",
                            "stall@3",
                            "stall:0@3",
                            "stall:150",
                            "stall:x@3",
                            "stall:150:0@3",
                            "stall:150@block:2",
                            "nak:5@3",
                            "garble@msg:3",
                            "garble",
                            "nak@3/0",
                            "nak@*/x"}) {
        error.clear();
        EXPECT_FALSE(ParseSimFaults(bad, plan, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(plan.Faults().size(), 1u);
}

// One request (read-info of the Regional ID) answered under each message fault.
struct MessageFaultCase {
    const char* fault;
    std::vector<uint8_t> answer;
};

TEST(SimFaults, EachMessageFaultStrikesOnlyItsRequest)
{
    const std::vector<uint8_t> good = AckThen(0x8B, {0x10, 0x01}); // 50 F3 8B 10 01 70
    std::vector<uint8_t> longReply{0x50, 0xFF, 0x8B, 0x01, 0x2D};
    longReply.resize(5 + 300, 0x55);
    longReply.push_back(MessageChecksum(longReply.data() + 1, 304));
    const MessageFaultCase cases[] = {
        {"nak@2", {0x60}},
        {"silence@2", {}},
        {"cut@2", {0x50, 0xF3, 0x8B}},
        {"badsum@2", {0x50, 0xF3, 0x8B, 0x10, 0x01, 0x71}},
        {"unsupported@2", {0x50, 0xF1, 0x86, 0x88}},
        {"long@2", longReply},
        {"short@2", AckThen(0x8B, {0x10})},
        {"extra@2", AckThen(0x8B, {0x10, 0x01, 0x00})},
    };
    for (const auto& c : cases) {
        SimRig rig(kSimDefaultProfile, c.fault);
        ASSERT_TRUE(rig.Open());
        EXPECT_EQ(rig.Transact(0x23, {0x10}), good) << c.fault << ", request 1";
        EXPECT_EQ(rig.Transact(0x23, {0x10}), c.answer) << c.fault << ", request 2";
        EXPECT_EQ(rig.Transact(0x23, {0x10}), good) << c.fault << ", request 3";
    }
}

TEST(SimFaults, RefusedRequestsChangeNothingDamagedRepliesDo)
{
    // NAK and "not supported" mean the radio did not do it; a damaged reply
    // means it did and the answer was lost on the way.
    for (const char* fault : {"nak@1", "unsupported@1", "silence@1", "cut@1", "badsum@1"}) {
        SimRig rig(kSimDefaultProfile, fault);
        ASSERT_TRUE(rig.Open());
        rig.Transact(0x17, {0x00, 0x10, 0x00, 0xAB});
        const bool written = rig.Radio().State().eeprom[0x1000] == 0xAB;
        const bool expectWritten = std::string(fault) == "cut@1" || std::string(fault) == "badsum@1";
        EXPECT_EQ(written, expectWritten) << fault;
    }
}

TEST(SimFaults, PowerLossAndTagChangeAtARequest)
{
    SimRig rig(kSimDefaultProfile, "tag@1,power@msg:2");
    ASSERT_TRUE(rig.Open());
    const uint8_t tag = rig.Radio().State().eeprom[0x3FF0];
    EXPECT_EQ(rig.Transact(0x11, {1, 0x00, 0x3F, 0xF0}), AckThen(0x80, {0x00, 0x3F, 0xF0, static_cast<uint8_t>(~tag)}));
    // Request 2 is never answered; the radio stays off until power comes back.
    EXPECT_EQ(rig.Transact(0x17, {0x00, 0x10, 0x00, 0xAB}), Bytes({}));
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Off);
    EXPECT_NE(rig.Radio().State().eeprom[0x1000], 0xAB);
    EXPECT_EQ(rig.Transact(0x23, {0x10}), Bytes({}));
    SimOperator::ReconnectPower(*rig.line);
    rig.Pass(500);
    EXPECT_EQ(rig.Transact(0x23, {0x10}), AckThen(0x8B, {0x10, 0x01}));
}

TEST(SimFaults, UnpluggedAdapterGivesNoEcho)
{
    SimRig rig(kSimDefaultProfile, "noecho");
    ASSERT_TRUE(rig.Open());
    rig.Send(0x23, {0x10});
    EXPECT_TRUE(rig.Read(16).empty());
    EXPECT_EQ(rig.Radio().MessageCount(), 0u);

    SimRig later(kSimDefaultProfile, "noecho@msg:2");
    ASSERT_TRUE(later.Open());
    EXPECT_EQ(later.Transact(0x23, {0x10}), AckThen(0x8B, {0x10, 0x01}));
    // Unplugged as request 2 arrives: its echo is back, its answer is not, nor anything later.
    EXPECT_EQ(later.Transact(0x23, {0x10}), Bytes({}));
    later.Send(0x23, {0x10});
    EXPECT_TRUE(later.Read(16).empty());
}

TEST(SimFaults, BootstrapFaults)
{
    {
        SimRig rig(kSimDefaultProfile, "wrongecho@block:2");
        ASSERT_TRUE(rig.Open(2400));
        SimOperator::PutIntoBootstrap(*rig.line);
        const std::vector<uint8_t> image = SampleLoader(38400);
        rig.Pass(30);
        LineStatus status;
        rig.device->GetStatus(status);
        rig.WriteRaw({0xFD});
        EXPECT_EQ(rig.Read(2), Bytes({0xFD, 0xFF}));
        for (size_t block = 0; block < 2; ++block) {
            const std::vector<uint8_t> sent(image.begin() + 8 * block, image.begin() + 8 * block + 8);
            rig.WriteRaw(sent);
            EXPECT_EQ(rig.Read(8), sent);
            const auto echo = rig.Read(8);
            ASSERT_EQ(echo.size(), 8u);
            size_t differing = 0;
            for (size_t i = 0; i < 8; ++i)
                differing += echo[i] != sent[i];
            EXPECT_EQ(differing, block == 1 ? 1u : 0u) << "block " << block + 1;
        }
    }
    {
        // A line held in break: still reported after 10 ms, and after a second.
        SimRig rig(kSimDefaultProfile, "stuckbreak@boot:1");
        ASSERT_TRUE(rig.Open(2400));
        SimOperator::PutIntoBootstrap(*rig.line);
        LineStatus status;
        for (uint32_t wait : {30u, 10u, 1000u}) {
            rig.Pass(wait);
            rig.device->GetStatus(status);
            EXPECT_EQ(status.errors & kLineErrorBreak, kLineErrorBreak) << wait;
        }
        // The next power-up sends a normal break.
        SimOperator::PutIntoBootstrap(*rig.line);
        EXPECT_EQ(DownloadBootcode(rig, SampleLoader(38400), 38400), 'P');
    }
    {
        SimRig rig(kSimDefaultProfile, "power@block:2,tag@boot:2");
        ASSERT_TRUE(rig.Open(2400));
        const uint8_t tag = rig.Radio().State().eeprom[0x3FF0];
        SimOperator::PutIntoBootstrap(*rig.line);
        rig.Pass(30);
        rig.WriteRaw({0xFD});
        EXPECT_EQ(rig.Read(2), Bytes({0xFD, 0xFF}));
        const auto image = SampleLoader(38400, 32);
        rig.WriteRaw(image);
        rig.Pass(200);
        EXPECT_EQ(rig.Radio().Mode(), SimMode::Off);
        EXPECT_EQ(rig.Radio().State().eeprom[0x3FF0], tag);
        // The retry: power back with the adapter ON, and it is another radio now.
        rig.device->Purge(PurgeRxClear);
        SimOperator::PutIntoBootstrap(*rig.line);
        EXPECT_EQ(rig.Radio().State().eeprom[0x3FF0], static_cast<uint8_t>(~tag));
        EXPECT_EQ(DownloadBootcode(rig, image, 38400), 'P');
    }
}

TEST(SimFaults, PowerLostDuringTheEraseLeavesTheFlashErased)
{
    SimRig rig(kSimDefaultProfile, "power@erase:1");
    ASSERT_TRUE(rig.Open(2400));
    rig.Radio().MutableState().flash.Program(0x100, std::vector<uint8_t>{1, 2, 3}.data(), 3);
    SimOperator::PutIntoBootstrap(*rig.line);
    ASSERT_EQ(DownloadBootcode(rig, SampleLoader(38400), 38400), 'P');
    rig.Send(0x15, {0x40});
    rig.device->SetReadLimits(ReadLimits{0, 0, 30000});
    EXPECT_EQ(rig.Read(20), Bytes({0xF2, 0x15, 0x40, 0xB8}));
    EXPECT_EQ(rig.Radio().Mode(), SimMode::Off);
    EXPECT_TRUE(rig.Radio().State().flash.IsErased());
}

} // namespace
} // namespace vantrel
