#include "platform/PortProbe.h"

#include "PtyPair.h"
#include "platform/Clock.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "platform/posix/PosixSerialDevice.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace vantrel
