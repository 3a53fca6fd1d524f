#include "sim/SimUsbAdapter.h"

#include "sim/SimRig.h"

#include <gtest/gtest.h>
#include <optional>

namespace vantrel {
namespace {

// When the echo of bytes written now is all in the host's receive queue.
uint64_t EchoArrivalUs(SimRig& rig, const std::vector<uint8_t>& bytes)
{
    rig.WriteRaw(bytes);
    while (rig.line->ReceivedCount() < bytes.size() && rig.line->WaitUntil(~0ull)) {
    }
    uint64_t lastUs = 0;
    std::vector<uint8_t> taken(bytes.size());
    rig.line->TakeReceived(taken.data(), static_cast<uint32_t>(taken.size()), lastUs);
    EXPECT_EQ(taken, bytes);
    return lastUs;
}

struct AdapterCase {
    const char* name;
    std::optional<SimUsbAdapter> adapter;
    uint64_t arrivalUs; // of the one echo byte, the port opened at 0
    LowLatency mode;
    uint32_t delayMs; // what the port says a received byte may wait
};

SimUsbAdapter Adapter(bool honoursLowLatency)
{
    SimUsbAdapter a;
    a.honoursLowLatency = honoursLowLatency;
    return a;
}

class SimUsbAdapterLatency : public ::testing::TestWithParam<AdapterCase> {};

// One byte's echo waits in the adapter for the next expiry of its latency
// timer, which started when the port was opened; the host's request for low
// latency shortens the timer only where the driver takes it.
TEST_P(SimUsbAdapterLatency, OneByteWaitsForTheLatencyTimer)
{
    const AdapterCase& c = GetParam();
    SimRig rig(kSimDefaultProfile, "silence@*");
    rig.line->SetAdapter(c.adapter);
    ASSERT_TRUE(rig.Open(9600));
    const PortFacts facts = rig.device->Facts();
    EXPECT_EQ(facts.usbAdapter, c.adapter.has_value());
    EXPECT_EQ(facts.lowLatency, c.mode);
    const uint64_t start = rig.clock.NowUs();
    EXPECT_EQ(EchoArrivalUs(rig, {0x00}) - start, c.arrivalUs);
    EXPECT_EQ(facts.ReceiveDelayMs(), c.delayMs);

    // Closing the port gives the adapter its own timer back.
    rig.device->Close();
    if (c.adapter) {
        EXPECT_EQ(rig.line->HostFacts().latencyMs, c.adapter->latencyMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Adapters, SimUsbAdapterLatency,
                         ::testing::Values(AdapterCase{"NativePort", std::nullopt, 1042, LowLatency::NotApplicable, 0},
                                           AdapterCase{"LowLatency", Adapter(true), 2000, LowLatency::On, 1},
                                           AdapterCase{"DefaultLatency", Adapter(false), 16000, LowLatency::Refused,
                                                       16}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimUsbAdapter, AFullPacketGoesAtOnceTheRestWaitsForTheTimer)
{
    SimRig rig(kSimDefaultProfile, "silence@*");
    rig.line->SetAdapter(Adapter(false));
    ASSERT_TRUE(rig.Open(115200));
    const uint64_t byteUs = CharacterTimeUs(UartFrame::At(115200));
    const uint64_t start = rig.clock.NowUs();
    rig.WriteRaw(std::vector<uint8_t>(100, 0x33));
    rig.line->PassUntil(start + 62 * byteUs - 1);
    EXPECT_EQ(rig.line->ReceivedCount(), 0u);
    rig.line->PassUntil(start + 62 * byteUs);
    EXPECT_EQ(rig.line->ReceivedCount(), 62u);
    // Sending the packet restarted the timer: the rest goes a whole period later.
    rig.line->PassUntil(start + 62 * byteUs + 16000 - 1);
    EXPECT_EQ(rig.line->ReceivedCount(), 62u);
    rig.line->PassUntil(start + 62 * byteUs + 16000);
    EXPECT_EQ(rig.line->ReceivedCount(), 100u);
}

TEST(SimUsbAdapter, JitterDelaysTransfersWithinItsBoundInOrderAndRepeatably)
{
    const auto arrivals = [](uint32_t seed) {
        SimRig rig(kSimDefaultProfile, "silence@*");
        SimUsbAdapter adapter = Adapter(true);
        adapter.jitterUs = 3000;
        adapter.seed = seed;
        rig.line->SetAdapter(adapter);
        EXPECT_TRUE(rig.Open(9600));
        std::vector<uint64_t> delays;
        for (int i = 0; i < 20; ++i) {
            const uint64_t start = rig.clock.NowUs();
            delays.push_back(EchoArrivalUs(rig, {static_cast<uint8_t>(i)}) - start);
        }
        return delays;
    };
    const std::vector<uint64_t> first = arrivals(7);
    const uint64_t byteUs = CharacterTimeUs(UartFrame::At(9600));
    bool varied = false;
    for (uint64_t d : first) {
        EXPECT_GE(d, byteUs);
        EXPECT_LE(d, byteUs + 1000 + 3000);
        varied = varied || d != first.front();
    }
    EXPECT_TRUE(varied);
    EXPECT_EQ(arrivals(7), first);
    EXPECT_NE(arrivals(8), first);
}

// A native port sees a held break at every look; an adapter reports it with
// its packets, once per latency period, so a look shorter than that can miss it.
TEST(SimUsbAdapter, AHeldBreakIsReportedOncePerLatencyPeriod)
{
    SimRig rig(kSimDefaultProfile, "stuckbreak");
    rig.line->SetAdapter(Adapter(false));
    ASSERT_TRUE(rig.Open(2400));
    rig.Radio().SetAdapter(true);
    rig.Radio().PowerCycle();
    const uint64_t breakAt = rig.clock.NowUs() + rig.Radio().Timing().bootBreakDelayUs;
    LineStatus status;
    rig.line->PassUntil(breakAt + 16000 - 1);
    ASSERT_TRUE(rig.device->GetStatus(status));
    EXPECT_EQ(status.errors & kLineErrorBreak, 0u);
    rig.line->PassUntil(breakAt + 16000);
    ASSERT_TRUE(rig.device->GetStatus(status));
    EXPECT_NE(status.errors & kLineErrorBreak, 0u);
    // Read and cleared; the next report comes a whole period later.
    rig.line->PassUntil(breakAt + 16000 + 10000);
    ASSERT_TRUE(rig.device->GetStatus(status));
    EXPECT_EQ(status.errors & kLineErrorBreak, 0u);
    rig.line->PassUntil(breakAt + 32000);
    ASSERT_TRUE(rig.device->GetStatus(status));
    EXPECT_NE(status.errors & kLineErrorBreak, 0u);
}

struct AdapterText {
    const char* text;
    bool ok;
    bool present;
    bool honours;
    uint32_t jitterUs;
};

TEST(SimUsbAdapter, AdapterTextNamesTheKindAndItsJitter)
{
    const AdapterText cases[] = {
        {"native", true, false, true, 0},
        {"usb", true, true, true, 0},
        {"usb-default", true, true, false, 0},
        {"usb:jitter=1500", true, true, true, 1500},
        {"usb-default:jitter=0", true, true, false, 0},
        {"usb:jitter=", false, false, false, 0},
        {"usb:jitter=-3", false, false, false, 0},
        {"usb:latency=4", false, false, false, 0},
        {"native:jitter=5", false, false, false, 0},
        {"ftdi", false, false, false, 0},
        {"", false, false, false, 0},
    };
    for (const AdapterText& c : cases) {
        bool present = false;
        SimUsbAdapter adapter;
        std::string error;
        EXPECT_EQ(ParseSimAdapter(c.text, present, adapter, error), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(present, c.present) << c.text;
        if (!present) continue;
        EXPECT_EQ(adapter.honoursLowLatency, c.honours) << c.text;
        EXPECT_EQ(adapter.jitterUs, c.jitterUs) << c.text;
    }
}

} // namespace
} // namespace vantrel
