#include "platform/PortProbe.h"

#include "PtyPair.h"
#include "platform/Clock.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "platform/posix/PosixSerialDevice.h"

#include <cstring>
#include <gtest/gtest.h>
#include <termios.h>

namespace vantrel {
namespace {

TEST(PortProbeTest, TellsFreeHeldAndMissingPortsApart)
{
    testing::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    PortRouter router;
    router.SetDeviceMaker(MakePosixSerialDevice);
    router.SetSlotTarget(0, pty.SlavePath());
    router.SetSlotTarget(1, "/dev/vantrel-no-such-port");
    RealClock clock;
    ScopedRuntime runtime(clock, router);

    EXPECT_EQ(ProbeSerialPort("COM1"), PortProbeResult::Opens);
    // The probe closed the port again: it can be probed and opened once more.
    EXPECT_EQ(ProbeSerialPort("COM1"), PortProbeResult::Opens);
    EXPECT_EQ(ProbeSerialPort("COM2"), PortProbeResult::Missing);
    EXPECT_EQ(ProbeSerialPort("COM0"), PortProbeResult::Missing); // no slot, no device

    PosixSerialDevice holder;
    ASSERT_TRUE(holder.Open(pty.SlavePath()).Ok());
    EXPECT_EQ(ProbeSerialPort("COM1"), PortProbeResult::Busy);
    EXPECT_EQ(ProbeSerialPort(pty.SlavePath()), PortProbeResult::Busy);
}

bool SameSettings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 && cfgetospeed(&a) == cfgetospeed(&b);
}

TEST(PortProbeTest, LeavesATerminalAsItFoundIt)
{
    testing::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    termios before{};
    ASSERT_EQ(tcgetattr(pty.SlaveFd(), &before), 0);
    // The terminal a program was started from echoes and edits lines.
    ASSERT_NE(before.c_lflag & (ECHO | ICANON), 0u);
    PosixSerialDevice device;
    EXPECT_TRUE(device.Probe(pty.SlavePath()).Ok());
    termios after{};
    ASSERT_EQ(tcgetattr(pty.SlaveFd(), &after), 0);
    EXPECT_TRUE(SameSettings(before, after));
    EXPECT_FALSE(device.IsOpen());
}

struct NotAPort {
    const char* name;
    std::string path;
};

class PortProbeNotAPort : public ::testing::TestWithParam<NotAPort> {};

TEST_P(PortProbeNotAPort, IsMissing)
{
    PosixSerialDevice device;
    EXPECT_EQ(device.Probe(GetParam().path).error, OpenError::NoSuchDevice);
}

INSTANTIATE_TEST_SUITE_P(Paths, PortProbeNotAPort,
                         ::testing::Values(NotAPort{"CharacterDeviceThatIsNoTerminal", "/dev/null"},
                                           NotAPort{"Directory", "/dev"}, NotAPort{"PartlyTypedName", "/dev/tt"},
                                           NotAPort{"RegularFile", VANTREL_SOURCE_DIR "/CMakeLists.txt"}),
                         [](const ::testing::TestParamInfo<NotAPort>& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantrel
