// The Windows serial device against scripted communications functions: what
// it asks of the driver and what it makes of the answers. Runs everywhere.

#include "platform/win32/Win32SerialDevice.h"

#include "link/SerialPort.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "platform/win32/FakeComm.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr uint32_t kAllEvents = comm::kEvRxChar | comm::kEvTxEmpty | comm::kEvBreak | comm::kEvErr;
constexpr unsigned kPurgeAll = PurgeTxAbort | PurgeRxAbort | PurgeTxClear | PurgeRxClear;

class Win32SerialDeviceTest : public testing::Test {
protected:
    void OpenPort()
    {
        const OpenResult result = device.Open("COM3");
        ASSERT_TRUE(result.Ok()) << result.message;
        comm.waitLimits.clear();
    }
    LineStatus Status()
    {
        LineStatus status;
        EXPECT_TRUE(device.GetStatus(status));
        return status;
    }

    test::FakeComm comm;
    Win32SerialDevice device{comm};
};

TEST_F(Win32SerialDeviceTest, OpenSetsUpARawLineAndWatchesEveryEvent)
{
    comm.driverState.baudRate = 19200;
    comm.driverState.outX = true;
    comm.driverState.dtrControl = comm::kDtrControlEnable;
    OpenPort();
    EXPECT_EQ(comm.openedPaths, std::vector<std::string>{"\\\\.\\COM3"});
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(comm.masks, std::vector<uint32_t>{kAllEvents});
    ASSERT_EQ(comm.statesSet.size(), 1u);
    const CommState& s = comm.statesSet.back();
    EXPECT_EQ(s.baudRate, 19200u) << "the rate the driver runs stays until the caller sets one";
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.parity, comm::kNoParity);
    EXPECT_FALSE(s.outX);
    EXPECT_EQ(s.dtrControl, comm::kDtrControlDisable);
    ASSERT_FALSE(comm.timeouts.empty());
    EXPECT_GT(comm.timeouts.back().writeTotalConstant, 0u) << "a write on a dead device must end";
}

TEST_F(Win32SerialDeviceTest, FailedOpensLeaveNothingOpen)
{
    comm.openErrors["\\\\.\\COM9"] = comm::kErrorFileNotFound;
    OpenResult result = device.Open("COM9");
    EXPECT_EQ(result.error, OpenError::NoSuchDevice);
    EXPECT_EQ(result.message, "no such port");
    EXPECT_FALSE(device.IsOpen());

    comm.openErrors["\\\\.\\COM2"] = comm::kErrorAccessDenied;
    result = device.Open("COM2");
    EXPECT_EQ(result.error, OpenError::InUse);
    EXPECT_FALSE(device.IsOpen());

    // A handle that answers no device-control block is no serial port.
    comm.getStateFails = true;
    result = device.Open("NUL");
    EXPECT_EQ(result.error, OpenError::Other);
    EXPECT_EQ(result.message, "not a serial port");
    EXPECT_FALSE(device.IsOpen());
    EXPECT_FALSE(comm.portOpen) << "the handle must be closed again";

    comm.getStateFails = false;
    comm.setStateFails = true;
    result = device.Open("COM4");
    EXPECT_EQ(result.error, OpenError::Other);
    EXPECT_EQ(result.message, "the port refused the line settings");
    EXPECT_FALSE(device.IsOpen());
    EXPECT_FALSE(comm.portOpen);
}

TEST_F(Win32SerialDeviceTest, CloseClearsTheMaskPurgesAndClosesOnce)
{
    OpenPort();
    comm.masks.clear();
    device.Close();
    EXPECT_EQ(comm.masks, std::vector<uint32_t>{0u}) << "clearing the mask ends a pending wait";
    EXPECT_EQ(comm.purges, std::vector<uint32_t>{kPurgeAll});
    EXPECT_FALSE(comm.portOpen);
    device.Close();
    EXPECT_EQ(comm.purges.size(), 1u);

    // A closed device fails every call without touching the system.
    LineStatus status;
    uint8_t byte = 0;
    LineSettings settings;
    EXPECT_FALSE(device.GetStatus(status));
    EXPECT_EQ(device.Read(&byte, 1), -1);
    EXPECT_EQ(device.Write(&byte, 1), -1);
    EXPECT_FALSE(device.Purge(PurgeRxClear));
    EXPECT_FALSE(device.SetReadLimits(ReadLimits{250, 0, 1000}));
    EXPECT_FALSE(device.SetLineSettings(settings));
    EXPECT_FALSE(device.SetQueueSizes(4096, 4096));
    device.WaitForActivity(30);
    EXPECT_EQ(comm.sleeps, std::vector<uint32_t>{30u}) << "nothing to wait on: the whole time passes";
}

TEST_F(Win32SerialDeviceTest, StatusCarriesTheDriversErrorsAndQueues)
{
    OpenPort();
    comm.latchedErrors = comm::kCeBreak | comm::kCeFrame | 0x8000;
    comm.inQueue = 5;
    comm.outQueue = 3;
    LineStatus status = Status();
    EXPECT_EQ(status.errors, kLineErrorBreak | comm::kCeFrame);
    EXPECT_EQ(status.inQueue, 5u);
    EXPECT_EQ(status.outQueue, 3u);
    status = Status();
    EXPECT_EQ(status.errors, 0u) << "reading the errors clears them";
    EXPECT_EQ(status.inQueue, 5u);
}

// When a break shows: the driver's error word, its event, or both. Each step
// is one status query, with what the driver has seen since the last one.
struct BreakStep {
    uint32_t events; // what the event wait collects
    bool flagged;    // CE_BREAK among the driver's errors
    bool reported;   // the break the port must report
};

struct BreakCase {
    const char* label;
    std::vector<BreakStep> steps;
};

class BreakSourcesTest : public Win32SerialDeviceTest, public testing::WithParamInterface<BreakCase> {};

TEST_P(BreakSourcesTest, EachBreakIsReportedExactlyOnce)
{
    OpenPort();
    for (size_t i = 0; i < GetParam().steps.size(); ++i) {
        const BreakStep& step = GetParam().steps[i];
        SCOPED_TRACE("status query " + std::to_string(i + 1));
        comm.QueueWait(step.events);
        if (step.flagged) comm.RaiseBreak();
        EXPECT_EQ((Status().errors & kLineErrorBreak) != 0, step.reported);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, BreakSourcesTest,
    testing::Values(
        // A driver that flags breaks only in its errors.
        BreakCase{"ErrorsOnly", {{0, true, true}, {0, false, false}, {0, true, true}}},
        // One that signals events but never flags (Wine on a serial device).
        BreakCase{"EventsOnly", {{comm::kEvBreak, false, true}, {0, false, false}, {comm::kEvBreak, false, true}}},
        // Windows' own driver: both, for the same break, in one query.
        BreakCase{"BothAtOnce", {{comm::kEvBreak, true, true}, {0, false, false}}},
        // The event of a break already reported through the errors comes late.
        BreakCase{"EventAfterItsError", {{0, true, true}, {comm::kEvBreak, false, false}, {0, true, true}}},
        // Events that are no break do not make one.
        BreakCase{"OtherEvents", {{comm::kEvRxChar | comm::kEvTxEmpty | comm::kEvErr, false, false}}}),
    [](const testing::TestParamInfo<BreakCase>& info) { return std::string(info.param.label); });

TEST_F(Win32SerialDeviceTest, WaitsBlockOnEventsAndKeepWhatTheySee)
{
    OpenPort();
    comm.QueueWait(0);
    device.WaitForActivity(120);
    EXPECT_EQ(comm.waitLimits, std::vector<uint32_t>{120u}) << "the whole wait is left to the driver";
    EXPECT_TRUE(comm.sleeps.empty());

    comm.QueueWait(comm::kEvBreak);
    device.WaitForActivity(50);
    EXPECT_NE(Status().errors & kLineErrorBreak, 0u) << "a break seen while waiting is reported";

    // A driver that cannot wait at all: short pauses rather than a spinning core.
    comm.QueueWait(0, false);
    device.WaitForActivity(40);
    EXPECT_EQ(comm.sleeps, std::vector<uint32_t>{2u});
}

TEST_F(Win32SerialDeviceTest, AnEventForBytesAlreadyQueuedPausesInsteadOfSpinning)
{
    OpenPort();
    comm.inQueue = 3;
    Status();
    // The driver answers at once because bytes wait, but no new one came.
    comm.QueueWait(comm::kEvRxChar);
    comm.RaiseBreak();
    device.WaitForActivity(100);
    EXPECT_EQ(comm.sleeps, std::vector<uint32_t>{1u});
    EXPECT_NE(Status().errors & kLineErrorBreak, 0u) << "errors fetched while waiting must not be lost";

    // A new byte ends the wait at once.
    comm.sleeps.clear();
    comm.inQueue = 4;
    comm.QueueWait(comm::kEvRxChar);
    device.WaitForActivity(100);
    EXPECT_TRUE(comm.sleeps.empty());
}

TEST_F(Win32SerialDeviceTest, ReadsAndWritesReportCountsAndFailures)
{
    OpenPort();
    uint8_t buffer[8] = {};
    EXPECT_EQ(device.Read(buffer, 4), 0) << "a time-out is no failure";
    comm.input = {1, 2, 3};
    EXPECT_EQ(device.Read(buffer, 8), 3);
    EXPECT_EQ(buffer[2], 3);
    comm.readFails = true;
    EXPECT_EQ(device.Read(buffer, 1), -1);
    comm.input = {9};
    EXPECT_EQ(device.Read(buffer, 2), 1) << "bytes that came before a failure are kept";
    EXPECT_EQ(device.Read(buffer, 0), 0);

    const uint8_t out[] = {0xFD, 0x00, 0xFF};
    EXPECT_EQ(device.Write(out, 3), 3);
    EXPECT_EQ(comm.written, std::vector<uint8_t>(out, out + 3));
    comm.writeFails = true;
    comm.writeAccepts = 0;
    EXPECT_EQ(device.Write(out, 3), -1);
}

TEST_F(Win32SerialDeviceTest, PurgeAndQueuesPassToTheDriver)
{
    OpenPort();
    comm.purges.clear();
    EXPECT_TRUE(device.Purge(PurgeRxAbort | PurgeRxClear));
    EXPECT_EQ(comm.purges, std::vector<uint32_t>{PurgeRxAbort | PurgeRxClear});
    EXPECT_TRUE(device.SetQueueSizes(4096, 2048));
    EXPECT_EQ(comm.queueSizes.back(), (std::pair<uint32_t, uint32_t>{4096, 2048}));
}

// The serial port of the link on top: it must end up with the limits and the
// line its waits and time-outs are written for.
TEST_F(Win32SerialDeviceTest, TheLinksPortGetsItsQueuesTimeOutsAndLine)
{
    VirtualClock clock;
    PortRouter router;
    router.SetDeviceMaker([this](const std::string&) { return std::make_unique<Win32SerialDevice>(comm); });
    router.SetSlotTarget(1, "COM12");
    ScopedRuntime runtime(clock, router);

    CSerialPort port;
    ASSERT_TRUE(port.Open("COM2", 2400));
    EXPECT_EQ(comm.openedPaths.back(), "\\\\.\\COM12");
    EXPECT_EQ(comm.queueSizes.back(), (std::pair<uint32_t, uint32_t>{4096, 4096}));
    const CommTimeouts& t = comm.timeouts.back();
    EXPECT_EQ(t.readInterval, 250u);
    EXPECT_EQ(t.readTotalMultiplier, 0u);
    EXPECT_EQ(t.readTotalConstant, 1000u);
    EXPECT_EQ(comm.driverState.baudRate, 2400u);
    EXPECT_EQ(comm.driverState.byteSize, 8);

    ASSERT_TRUE(port.SetBaudRate(115200));
    EXPECT_EQ(comm.driverState.baudRate, 115200u);
    EXPECT_EQ(comm.purges.back(), kPurgeAll) << "a rate change discards what was queued";

    // The bootstrap's break reaches the port's error wait.
    comm.RaiseBreak();
    EXPECT_TRUE(port.WaitForError(kLineErrorBreak, 130));
    port.Close();
    EXPECT_FALSE(comm.portOpen);
}

} // namespace
} // namespace vantrel
