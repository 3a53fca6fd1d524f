// A loaded machine holds the program up at any moment: between two bytes of a
// request, or while it waits for an answer. What arrived meanwhile still
// counts, and a request the radio got broken is sent again.

#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "link/SerialPort.h"
#include "platform/Runtime.h"
#include "sim/SimUart.h"
#include "support/FakeSerialDevice.h"
#include "support/SimPortRig.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace vantrel {
namespace {

// A port whose every wait overruns by the given time, as when the program is
// not scheduled while it waits.
class HeldUpDevice final : public SerialDevice {
public:
    HeldUpDevice(FakeSerialDevice& line, Clock& clock, uint32_t overrunMs)
        : m_line(line), m_clock(clock), m_overrunMs(overrunMs)
    {
    }
    OpenResult Open(const std::string& name) override { return m_line.Open(name); }
    bool IsOpen() const override { return m_line.IsOpen(); }
    void Close() override { m_line.Close(); }
    bool SetQueueSizes(uint32_t rx, uint32_t tx) override { return m_line.SetQueueSizes(rx, tx); }
    bool Purge(unsigned flags) override { return m_line.Purge(flags); }
    bool SetReadLimits(const ReadLimits& limits) override { return m_line.SetReadLimits(limits); }
    bool GetLineSettings(LineSettings& s) override { return m_line.GetLineSettings(s); }
    bool SetLineSettings(const LineSettings& s) override { return m_line.SetLineSettings(s); }
    bool GetStatus(LineStatus& status) override { return m_line.GetStatus(status); }
    int Read(uint8_t* buffer, uint32_t count) override { return m_line.Read(buffer, count); }
    int Write(const uint8_t* buffer, uint32_t count) override { return m_line.Write(buffer, count); }
    void WaitForActivity(uint32_t maxMs) override
    {
        m_line.WaitForActivity(maxMs);
        m_clock.Sleep(m_overrunMs);
    }

private:
    FakeSerialDevice& m_line;
    Clock& m_clock;
    uint32_t m_overrunMs;
};

class HeldUpFactory final : public DeviceFactory {
public:
    HeldUpFactory(FakeSerialDevice& line, Clock& clock, uint32_t overrunMs)
        : m_line(line), m_clock(clock), m_overrunMs(overrunMs)
    {
    }
    std::unique_ptr<SerialDevice> CreateDevice(const std::string&, std::string& deviceName) override
    {
        deviceName = "fake";
        return std::make_unique<HeldUpDevice>(m_line, m_clock, m_overrunMs);
    }

private:
    FakeSerialDevice& m_line;
    Clock& m_clock;
    uint32_t m_overrunMs;
};

TEST(HostStall, WaitsTakeWhatArrivedWhileTheProgramWasHeldUp)
{
    VirtualClock clock(1000);
    FakeSerialDevice line(clock);
    HeldUpFactory factory(line, clock, 300);
    ScopedRuntime runtime(clock, factory);
    CSerialPort port;
    ASSERT_TRUE(port.Open("COM1", 2400));
    // A bootcode block's echo may take 126 ms; the program looks again only 300 ms later.
    const uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint64_t start = clock.NowMs();
    EXPECT_EQ(port.WriteEchoed(block, 8, 1000), 8u);
    EXPECT_GT(clock.NowMs() - start, 126u);
    // A wait whose condition never comes still ends after its limit.
    EXPECT_FALSE(port.WaitForInput(1, 50));
}

// A stall inside one request: the rate, how long, and before which byte.
struct StallCase {
    uint32_t rate;
    uint32_t pauseMs;
    uint32_t atByte;
    int sends; // how often the program sends the request
};

std::string StallName(const ::testing::TestParamInfo<StallCase>& info)
{
    const StallCase& c = info.param;
    return std::to_string(c.rate) + "Bd_" + std::to_string(c.pauseMs) + "msBeforeByte" + std::to_string(c.atByte);
}

int Occurrences(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle)
{
    int n = 0;
    for (auto it = haystack.begin();
         (it = std::search(it, haystack.end(), needle.begin(), needle.end())) != haystack.end(); ++it)
        ++n;
    return n;
}

class StalledWrite : public ::testing::TestWithParam<StallCase> {};

// The 30-byte write of an EEPROM block, stalled in its first sending. Below
// the radio's limit between characters nothing happens; above it the radio
// refuses the pieces, the echo shows it, and the command sends the request
// again within its attempts.
TEST_P(StalledWrite, IsSentAgainAndLandsOnce)
{
    const StallCase& c = GetParam();
    const std::string stall = "stall:" + std::to_string(c.pauseMs) + ":" + std::to_string(c.atByte) + "@msg:1";
    SimPortRig rig(kSimDefaultProfile, stall);
    rig.Radio().MutableState().mode = SimMode::Loader;
    rig.Radio().MutableState().loaderRate = c.rate;
    bool ok = false;
    CRadioConnection connection(0, c.rate, ok);
    ASSERT_TRUE(ok);

    std::vector<uint8_t> data(30);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(0xA0 + i);
    EXPECT_TRUE(WriteMemory(0x0200, 30, data.data()));
    EXPECT_EQ(TheRadioLink().TakeStatus(), LinkOk);

    const auto& eeprom = rig.Radio().State().eeprom;
    EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin() + 0x0200));
    std::vector<uint8_t> payload{0x00, 0x02, 0x00};
    payload.insert(payload.end(), data.begin(), data.end());
    const auto request = EncodeMessage(kOpWriteMemory, payload.data(), static_cast<uint32_t>(payload.size()));
    EXPECT_EQ(Occurrences(rig.Sent(), request), c.sends);
    int whole = 0;
    for (const auto& heard : rig.Radio().Requests())
        whole += heard == request;
    EXPECT_EQ(whole, 1) << "the radio took the request whole exactly once";
}

INSTANTIATE_TEST_SUITE_P(Stalls, StalledWrite,
                         ::testing::Values(StallCase{38400, 50, 7, 1}, StallCase{38400, 150, 7, 2},
                                           StallCase{38400, 500, 20, 2}, StallCase{19200, 150, 3, 2},
                                           StallCase{115200, 150, 7, 2}, StallCase{115200, 500, 38, 2},
                                           StallCase{9600, 1500, 12, 2}),
                         StallName);

// Commands of a single attempt have no second sending: the disturbed request
// fails the command with its own status, and the line is left quiet for the next.
TEST(HostStall, ASingleAttemptCommandFailsWithTheDisturbedStatus)
{
    SimPortRig rig(kSimDefaultProfile, "stall:150:2@msg:1");
    bool ok = false;
    CRadioConnection connection(0, 9600, ok);
    ASSERT_TRUE(ok);
    uint8_t value[40] = {};
    uint32_t length = 0;
    EXPECT_FALSE(ReadInfo(value, 16, length));
    EXPECT_EQ(TheRadioLink().TakeStatus(), LinkDisturbed);
    EXPECT_TRUE(ReadInfo(value, 16, length));
    EXPECT_EQ(length, 1u);
}

} // namespace
} // namespace vantrel
