#include <gtest/gtest.h>

#include "link/FileTrace.h"
#include "link/LinkTestBench.h"

namespace vantrel {
namespace {

constexpr unsigned kAllPurges = PurgeTxAbort | PurgeRxAbort | PurgeTxClear | PurgeRxClear;

using SerialPortTest = LinkTestBench;

TEST_F(SerialPortTest, OpenAppliesTheFixedLineSettingsAtEveryRate)
{
    for (uint32_t rate : {2400u, 9600u, 38400u, 115200u}) {
        SCOPED_TRACE(rate);
        port.Close();
        LineSettings stale;
        stale.dataBits = 7;
        stale.parity = Parity::Even;
        stale.stopBits = 2;
        stale.binary = false;
        stale.ctsOutFlow = stale.dsrOutFlow = stale.dsrSensitivity = stale.xonXoffIn = stale.xonXoffOut = true;
        stale.dtrOn = stale.rtsOn = true;
        stale.txContinueOnXoff = false;
        stale.errorReplace = stale.nullStrip = stale.abortOnError = true;
        device.SetDriverSettings(stale);
        ASSERT_TRUE(port.Open("COM1", rate));
        const LineSettings& s = device.Settings();
        EXPECT_EQ(s.baudRate, rate);
        EXPECT_EQ(s.dataBits, 8);
        EXPECT_EQ(s.parity, Parity::None);
        EXPECT_EQ(s.stopBits, 1);
        EXPECT_TRUE(s.binary);
        EXPECT_FALSE(s.ctsOutFlow || s.dsrOutFlow || s.dsrSensitivity || s.xonXoffIn || s.xonXoffOut);
        EXPECT_FALSE(s.dtrOn || s.rtsOn);
        EXPECT_TRUE(s.txContinueOnXoff);
        EXPECT_FALSE(s.errorReplace || s.nullStrip || s.abortOnError);
        EXPECT_EQ(port.GetBaudRate(), rate);
    }
    EXPECT_EQ(device.RxQueueSize(), 4096u);
    EXPECT_EQ(device.TxQueueSize(), 4096u);
    EXPECT_EQ(device.Limits().intervalMs, 250u);
    EXPECT_EQ(device.Limits().totalPerByteMs, 0u);
    EXPECT_EQ(device.Limits().totalConstantMs, 1000u);
    EXPECT_EQ(device.Purges().back(), kAllPurges);
    EXPECT_EQ(device.OpenedName(), "fake:COM1");
    EXPECT_EQ(PortNameFromIndex(0), "COM1");
    EXPECT_EQ(PortNameFromIndex(3), "COM4");
}

TEST_F(SerialPortTest, FailedOpenKeepsTheReasonAndLeavesThePortClosed)
{
    port.Close();
    device.FailOpenWith({OpenError::InUse, "The device is in use by another program."});
    EXPECT_FALSE(port.Open("COM1", 9600));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastOpenError().error, OpenError::InUse);
    EXPECT_EQ(port.LastOpenError().message, "The device is in use by another program.");

    factory.MarkMissing("COM3");
    EXPECT_FALSE(port.Open("COM3", 9600));
    EXPECT_EQ(port.LastOpenError().error, OpenError::NoSuchDevice);
    EXPECT_FALSE(port.LastOpenError().message.empty());

    // A device that refuses the line settings is closed again.
    CSerialPort other;
    FakeSerialDevice refusing(clock);
    FakeDeviceFactory refusingFactory(refusing);
    ScopedRuntime scoped(clock, refusingFactory);
    refusing.RefuseLineSettings(true);
    EXPECT_FALSE(other.Open("COM2", 9600));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_FALSE(refusing.IsOpen());
    EXPECT_FALSE(other.LastOpenError().Ok());
}

TEST_F(SerialPortTest, ClosedPortsAreHarmless)
{
    port.Close();
    port.Close();
    EXPECT_EQ(device.CloseCount(), 1);
    CSerialPort never;
    never.Close();
    EXPECT_FALSE(never.IsOpen());
    EXPECT_EQ(port.ReadByte(), -1);
    EXPECT_EQ(port.WriteByte(0x55), -1);
    EXPECT_FALSE(port.SetBaudRate(19200));
    EXPECT_EQ(port.GetBaudRate(), 9600u);
    EXPECT_FALSE(port.WaitForInput(1, 1000));
    EXPECT_EQ(port.WriteEchoed(kAck.data(), 1, 1000), 0u);
}

TEST_F(SerialPortTest, ReadsEndOnTheTotalAndIntervalLimits)
{
    const uint64_t t0 = Now();
    EXPECT_EQ(port.ReadByte(), -1);
    EXPECT_EQ(Now() - t0, 1000u);

    // Two bytes, then a gap longer than 250 ms: the read returns what it has.
    const uint64_t t1 = Now();
    device.ScheduleInbound({0x11, 0x22}, t1 + 10);
    device.ScheduleInbound({0x33}, t1 + 500);
    uint8_t buffer[3] = {};
    EXPECT_EQ(port.Read(buffer, 3), 2u);
    EXPECT_EQ(buffer[1], 0x22);
    EXPECT_GE(Now() - t1, 260u);
    EXPECT_LE(Now() - t1, 264u);
    EXPECT_EQ(port.ReadByte(), 0x33);
}

TEST_F(SerialPortTest, WriteEchoedWaitsForTheEchoAtMostLimitOverCountPlusOne)
{
    const Bytes block{1, 2, 3, 4, 5, 6, 7, 8};
    device.SetEchoLatencyMs(200);
    uint64_t t0 = Now();
    EXPECT_EQ(port.WriteEchoed(block.data(), 8, 1000), 0u);
    EXPECT_EQ(Now() - t0, 126u);

    // The late echo of the failed block is cleared before the next one goes out.
    clock.Sleep(300);
    ASSERT_GT(device.InQueue(), 0u);
    device.SetEchoLatencyMs(100);
    t0 = Now();
    EXPECT_EQ(port.WriteEchoed(block.data(), 8, 1000), 8u);
    EXPECT_EQ(device.Purges().back(), unsigned{PurgeTxClear | PurgeRxClear});
    EXPECT_LE(Now() - t0, 126u);
    EXPECT_EQ(device.InQueue(), 0u);
    EXPECT_EQ(device.SentBytes().size(), 16u);

    EXPECT_EQ(port.WriteEchoed(block.data(), 0, 1000), 0u);
    const Bytes tooLong(53, 0);
    EXPECT_EQ(port.WriteEchoed(tooLong.data(), 53, 1000), 0u);
}

TEST_F(SerialPortTest, WriteEchoedWaitsOutABreakForAtMostOneSecond)
{
    const Bytes block{0xFD};
    device.HoldBreak(true);
    const uint64_t t0 = Now();
    EXPECT_EQ(port.WriteEchoed(block.data(), 1, 1000), 0u);
    EXPECT_GE(Now() - t0, 1000u);
    EXPECT_LT(Now() - t0, 1011u);
    EXPECT_TRUE(device.SentBytes().empty());

    // A break that is over by the next status query does not stop the block.
    device.HoldBreak(false);
    device.RaiseBreak();
    EXPECT_EQ(port.WriteEchoed(block.data(), 1, 1000), 1u);
}

TEST_F(SerialPortTest, WaitsAcrossAWrapOfTheTickCounterNeitherEndAtOnceNorHang)
{
    clock.SetTickOffset(0xFFFFFFFFu - static_cast<uint32_t>(Now()) - 400);
    uint64_t t0 = Now();
    EXPECT_FALSE(port.WaitForInput(1, 1000));
    EXPECT_GE(Now() - t0, 1000u);
    EXPECT_LE(Now() - t0, 1002u);

    clock.SetTickOffset(0xFFFFFFFFu - static_cast<uint32_t>(Now()) - 400);
    device.HoldBreak(true);
    t0 = Now();
    EXPECT_FALSE(port.WaitForErrorClear(kLineErrorBreak, 1000));
    EXPECT_GE(Now() - t0, 1000u);
    EXPECT_LE(Now() - t0, 1010u);
    device.HoldBreak(false);

    clock.SetTickOffset(0xFFFFFFFFu - static_cast<uint32_t>(Now()) - 400);
    t0 = Now();
    device.ScheduleInbound({0x42}, t0 + 700);
    EXPECT_TRUE(port.WaitForInput(1, 1000));
    EXPECT_EQ(Now() - t0, 702u);
}

TEST_F(SerialPortTest, WaitsReportTheLineAsItChanges)
{
    const Bytes ten(10, 0xAA);
    device.SetEcho(false);
    uint64_t t0 = Now();
    ASSERT_EQ(port.Write(ten.data(), 10), 10u);
    EXPECT_TRUE(port.WaitForOutputDrained(1000));
    EXPECT_EQ(Now() - t0, 11u);  // 10 bytes of 10 bit times at 9600 Bd

    device.HoldBreak(true);
    t0 = Now();
    EXPECT_TRUE(port.WaitForError(kLineErrorBreak, 1000));
    EXPECT_EQ(Now() - t0, 0u);
    device.HoldBreak(false);
    EXPECT_FALSE(port.WaitForError(kLineErrorBreak, 100));
    EXPECT_TRUE(port.WaitForErrorClear(kLineErrorBreak, 100));
}

TEST_F(SerialPortTest, ReadTimedTakesWhatArrivedWhenTheLimitRunsOut)
{
    uint8_t buffer[4] = {};
    device.ScheduleInbound({1, 2, 3, 4}, Now() + 50);
    EXPECT_EQ(port.ReadTimed(buffer, 4, 100), 4u);
    EXPECT_EQ(buffer[3], 4);

    device.ScheduleInbound({5, 6}, Now() + 10);
    const uint64_t t0 = Now();
    EXPECT_EQ(port.ReadTimed(buffer, 4, 100), 2u);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_LT(Now() - t0, 100u + 1000u + 1u);
    EXPECT_EQ(port.ReadTimed(buffer, 1025, 100), 0u);
}

TEST_F(SerialPortTest, SetBaudRateKeepsEverySettingButTheRateAndDiscardsTheQueues)
{
    LineSettings before = device.Settings();
    device.ScheduleInbound({1, 2, 3}, Now());
    clock.Sleep(10);
    ASSERT_EQ(device.InQueue(), 3u);
    EXPECT_TRUE(port.SetBaudRate(38400));
    before.baudRate = 38400;
    const LineSettings& after = device.Settings();
    EXPECT_EQ(after.baudRate, 38400u);
    EXPECT_EQ(std::make_tuple(after.dataBits, after.parity, after.stopBits, after.dtrOn, after.rtsOn),
              std::make_tuple(before.dataBits, before.parity, before.stopBits, before.dtrOn, before.rtsOn));
    EXPECT_EQ(port.Settings().baudRate, 38400u);
    EXPECT_EQ(device.InQueue(), 0u);
    EXPECT_EQ(device.Purges().back(), kAllPurges);

    const uint64_t t0 = Now();
    EXPECT_TRUE(port.SettleAndPurge());
    EXPECT_EQ(Now() - t0, 1000u);
    EXPECT_EQ(device.Purges().back(), kAllPurges);
}

// Keeps what the port traces.
class RecordingTrace final : public LinkTrace {
public:
    void Bytes(bool sent, const uint8_t* bytes, uint32_t count) override
    {
        (sent ? tx : rx).insert((sent ? tx : rx).end(), bytes, bytes + count);
    }
    void Event(const std::string& text) override { events.push_back(text); }
    std::vector<uint8_t> tx, rx;
    std::vector<std::string> events;
};

TEST_F(SerialPortTest, EveryByteReadAndWrittenIsTraced)
{
    port.Close();
    RecordingTrace trace;
    ScopedTrace scoped(&trace);
    ASSERT_TRUE(port.Open("COM1", 9600));
    const Bytes block{0xF1, 0x10, 0xFE};
    EXPECT_EQ(port.WriteEchoed(block.data(), 3, 1000), 3u);
    device.ScheduleInbound({0x50}, Now());
    EXPECT_EQ(port.ReadByte(), 0x50);
    port.SetBaudRate(19200);
    port.Close();
    EXPECT_EQ(trace.tx, block);
    EXPECT_EQ(trace.rx, (Bytes{0xF1, 0x10, 0xFE, 0x50}));
    ASSERT_EQ(trace.events.size(), 3u);
    EXPECT_NE(trace.events[0].find("open COM1"), std::string::npos);
    EXPECT_NE(trace.events[1].find("19200"), std::string::npos);
    EXPECT_NE(trace.events[2].find("close"), std::string::npos);
}

}  // namespace
}  // namespace vantrel
