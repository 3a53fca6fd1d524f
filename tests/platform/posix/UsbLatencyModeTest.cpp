#include "platform/posix/UsbLatencyMode.h"

#include "FakeSerialKernel.h"
#include "PtyPair.h"
#include "platform/posix/PosixSerialDevice.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vantrel {
namespace {

using testing::FakeSerialKernel;

// One driver and what low-latency handling must make of it.
struct DriverCase {
    const char* name;
    bool usb;
    int flags;
    int getError;
    int setError;
    bool keeps;
    bool hasTimer;
    LowLatency mode;
    uint32_t latencyMs;
    const char* note;    // what the trace says
    int flagsAfterLeave; // the driver's flags once the port is closed
};

class UsbLatencyModeTest : public ::testing::TestWithParam<DriverCase> {};

TEST_P(UsbLatencyModeTest, AsksForLowLatencyAndPutsBackWhatItFound)
{
    const DriverCase& c = GetParam();
    FakeSerialKernel kernel;
    kernel.usb = c.usb;
    kernel.flags = c.flags;
    kernel.getError = c.getError;
    kernel.setError = c.setError;
    kernel.keepsLowLatency = c.keeps;
    kernel.hasLatencyTimer = c.hasTimer;
    CUsbLatencyMode mode(kernel);
    std::string note;
    const PortFacts facts = mode.Enter(3, note);
    EXPECT_EQ(facts.usbAdapter, c.usb);
    EXPECT_EQ(facts.lowLatency, c.mode);
    EXPECT_EQ(facts.latencyMs, c.latencyMs);
    EXPECT_EQ(note, c.note);
    mode.Leave(3);
    EXPECT_EQ(kernel.flags, c.flagsAfterLeave);
    // A second Leave has nothing more to put back.
    const size_t sets = kernel.flagsSet.size();
    mode.Leave(3);
    EXPECT_EQ(kernel.flagsSet.size(), sets);
}

constexpr int kLow = kSerialLowLatencyFlag;
constexpr int kOther = 0x40; // a flag the driver had set, kept throughout

INSTANTIATE_TEST_SUITE_P(
    Drivers, UsbLatencyModeTest,
    ::testing::Values(
        DriverCase{"NativePortIsLeftAlone", false, kOther, 0, 0, true, true, LowLatency::NotApplicable, 0, "", kOther},
        DriverCase{"AdapterIsSwitchedAndRestored", true, kOther, 0, 0, true, true, LowLatency::On, 1,
                   "USB serial adapter in low-latency mode, latency timer 1 ms", kOther},
        DriverCase{"AlreadyLowLatencyStaysSo", true, kOther | kLow, 0, 0, true, true, LowLatency::On, 1,
                   "USB serial adapter in low-latency mode, latency timer 1 ms", kOther | kLow},
        DriverCase{"DriverWithoutSerialInfo", true, 0, ENOTTY, 0, true, true, LowLatency::Refused, 16,
                   "USB serial adapter: the driver refused low-latency mode, latency timer 16 ms (Inappropriate "
                   "ioctl for device)",
                   0},
        DriverCase{"DriverRefusesTheChange", true, kOther, 0, EPERM, true, false, LowLatency::Refused, 0,
                   "USB serial adapter: the driver refused low-latency mode, latency timer unknown (taken as 16 ms) "
                   "(Operation not permitted)",
                   kOther},
        DriverCase{"DriverTakesButIgnoresIt", true, 0, 0, 0, false, true, LowLatency::Refused, 16,
                   "USB serial adapter: the driver refused low-latency mode, latency timer 16 ms (the driver did "
                   "not keep it)",
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

// The serial device on a pseudo-terminal, with the kernel calls of a USB
// adapter's driver standing in: the trace hears of the adapter once, the
// driver gets its flags back on every close.
TEST(PosixSerialDeviceUsb, LowLatencyIsSetForTheOpenPortAndSaidOnce)
{
    testing::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    FakeSerialKernel kernel;
    kernel.setError = EPERM;
    PosixSerialDevice device(kernel);
    ASSERT_TRUE(device.Open(pty.SlavePath()).Ok());
    EXPECT_EQ(device.Facts().lowLatency, LowLatency::Refused);
    EXPECT_EQ(device.Facts().ReceiveDelayMs(), 16u);
    const std::vector<std::string> notes = device.TakeNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("refused low-latency mode"), std::string::npos) << notes[0];
    EXPECT_TRUE(device.TakeNotes().empty());
    device.Close();
    EXPECT_FALSE(device.Facts().usbAdapter);

    // Refused again on the next opening: nothing new to say.
    ASSERT_TRUE(device.Open(pty.SlavePath()).Ok());
    EXPECT_TRUE(device.TakeNotes().empty());
    device.Close();

    // The driver takes it now: that is news, and it is undone on closing.
    kernel.setError = 0;
    ASSERT_TRUE(device.Open(pty.SlavePath()).Ok());
    EXPECT_EQ(device.Facts().lowLatency, LowLatency::On);
    EXPECT_EQ(device.Facts().ReceiveDelayMs(), 1u);
    EXPECT_EQ(device.TakeNotes().size(), 1u);
    EXPECT_EQ(kernel.flags & kSerialLowLatencyFlag, kSerialLowLatencyFlag);
    device.Close();
    EXPECT_EQ(kernel.flags, 0);
}

TEST(PosixSerialDeviceUsb, AnotherHolderOfThePortIsNamed)
{
    testing::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    FakeSerialKernel kernel;
    PosixSerialDevice first(kernel);
    ASSERT_TRUE(first.Open(pty.SlavePath()).Ok());
    PosixSerialDevice second(kernel);
    kernel.lockHolder = 4242;
    kernel.names[4242] = "minicom";
    OpenResult result = second.Open(pty.SlavePath());
    EXPECT_EQ(result.error, OpenError::InUse);
    EXPECT_EQ(result.message, "in use by minicom (process 4242)");
    kernel.names.clear();
    result = second.Open(pty.SlavePath());
    EXPECT_EQ(result.message, "in use by another program (process 4242)");
    kernel.lockHolder = getpid();
    result = second.Open(pty.SlavePath());
    EXPECT_EQ(result.message, "in use elsewhere in this program");
}

struct LocksCase {
    const char* name;
    const char* text;
    std::optional<int> holder;
};

TEST(PosixSerialDeviceUsb, TheLockHolderIsFoundInTheKernelsLockList)
{
    // The device file 00:05, inode 1016.
    const LocksCase cases[] = {
        {"flock", "1: FLOCK  ADVISORY  WRITE 2271 00:05:1016 0 EOF\n", 2271},
        {"among others",
         "1: POSIX  ADVISORY  WRITE 850 00:19:627 0 EOF\n2: FLOCK  ADVISORY  WRITE 312 00:05:1016 0 EOF\n", 312},
        {"hex device numbers", "1: FLOCK  ADVISORY  WRITE 77 fd:0a:1016 0 EOF\n", std::nullopt},
        {"a waiter holds nothing", "1: -> FLOCK  ADVISORY  WRITE 99 00:05:1016 0 EOF\n", std::nullopt},
        {"another inode", "1: FLOCK  ADVISORY  WRITE 2271 00:05:1017 0 EOF\n", std::nullopt},
        {"garbage", "1: FLOCK ADVISORY WRITE x 00:05:1016\nnonsense\n\n", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const LocksCase& c : cases)
        EXPECT_EQ(FindLockHolder(c.text, 0, 5, 1016), c.holder) << c.name;
    EXPECT_EQ(FindLockHolder("1: FLOCK  ADVISORY  WRITE 77 fd:0a:1016 0 EOF\n", 0xfd, 0x0a, 1016), 77);
}

} // namespace
} // namespace vantrel
