#include "platform/posix/PosixSerialDevice.h"

#include "PtyPair.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <numeric>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

namespace vantrel {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::PtyPair;

class Stopwatch {
public:
    long long Ms() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start)
            .count();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

class PosixSerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        const OpenResult result = device.Open(pty.SlavePath());
        ASSERT_TRUE(result.Ok()) << result.message;
    }

    termios SlaveTermios() const
    {
        termios tio{};
        EXPECT_EQ(tcgetattr(pty.SlaveFd(), &tio), 0);
        return tio;
    }

    // Waits (through the device's own wait) until the receive queue holds count bytes.
    LineStatus WaitForQueued(uint32_t count)
    {
        LineStatus status;
        Stopwatch watch;
        while (device.GetStatus(status) && status.inQueue < count && watch.Ms() < 1000)
            device.WaitForActivity(50);
        return status;
    }

    PtyPair pty;
    PosixSerialDevice device;
};

TEST_F(PosixSerialDeviceTest, OpenLeavesARawEightNOneLineWithoutFlowControl)
{
    const termios tio = SlaveTermios();
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ISTRIP | ICRNL | INLCR | IGNCR | INPCK | IGNBRK | BRKINT), 0u);
    EXPECT_NE(tio.c_iflag & PARMRK, 0u); // breaks arrive marked in band
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    LineSettings s;
    ASSERT_TRUE(device.GetLineSettings(s));
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, Parity::None);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_FALSE(s.ctsOutFlow || s.xonXoffIn || s.xonXoffOut || s.dtrOn || s.rtsOn);
}

TEST_F(PosixSerialDeviceTest, RateChangesKeepEveryOtherSetting)
{
    const std::pair<uint32_t, speed_t> rates[] = {
        {2400, B2400}, {9600, B9600}, {19200, B19200}, {38400, B38400}, {115200, B115200}};
    for (const auto& [rate, code] : rates) {
        LineSettings s;
        ASSERT_TRUE(device.GetLineSettings(s));
        s.baudRate = rate;
        ASSERT_TRUE(device.SetLineSettings(s)) << rate;
        const termios tio = SlaveTermios();
        EXPECT_EQ(cfgetospeed(&tio), code) << rate;
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8)) << rate;
        LineSettings back;
        ASSERT_TRUE(device.GetLineSettings(back));
        EXPECT_EQ(back.baudRate, rate);
    }
#if defined(__linux__)
    LineSettings odd;
    ASSERT_TRUE(device.GetLineSettings(odd));
    odd.baudRate = 250000; // no fixed speed code exists for it
    ASSERT_TRUE(device.SetLineSettings(odd));
    LineSettings back;
    ASSERT_TRUE(device.GetLineSettings(back));
    EXPECT_EQ(back.baudRate, 250000u);
    odd.baudRate = 9600; // and back to a fixed code
    ASSERT_TRUE(device.SetLineSettings(odd));
    ASSERT_TRUE(device.GetLineSettings(back));
    EXPECT_EQ(back.baudRate, 9600u);
#endif
}

TEST_F(PosixSerialDeviceTest, SettingsTheDriverCannotKeepAreRefused)
{
    LineSettings s;
    ASSERT_TRUE(device.GetLineSettings(s));
    s.stopBits = 2;
    ASSERT_TRUE(device.SetLineSettings(s));
    EXPECT_NE(SlaveTermios().c_cflag & CSTOPB, 0u);

    // A pseudo-terminal accepts the request but keeps 8 bits without parity;
    // the device must notice instead of reporting success.
    s.dataBits = 7;
    s.parity = Parity::Odd;
    EXPECT_FALSE(device.SetLineSettings(s));

    const auto refused = [&](auto change) {
        LineSettings bad;
        EXPECT_TRUE(device.GetLineSettings(bad));
        change(bad);
        return !device.SetLineSettings(bad);
    };
    EXPECT_TRUE(refused([](LineSettings& b) { b.dataBits = 9; }));
    EXPECT_TRUE(refused([](LineSettings& b) { b.stopBits = 3; }));
    EXPECT_TRUE(refused([](LineSettings& b) { b.baudRate = 0; }));
    EXPECT_TRUE(refused([](LineSettings& b) { b.dsrOutFlow = true; }));
    EXPECT_TRUE(refused([](LineSettings& b) { b.binary = false; }));
}

TEST_F(PosixSerialDeviceTest, SecondOpenerIsRefusedUntilTheFirstCloses)
{
    // Runs as root too: there the lock, not TIOCEXCL, does the refusing.
    PosixSerialDevice second;
    OpenResult result = second.Open(pty.SlavePath());
    EXPECT_EQ(result.error, OpenError::InUse);
    EXPECT_EQ(result.message, "in use elsewhere in this program");
    EXPECT_FALSE(second.IsOpen());

    device.Close();
    result = second.Open(pty.SlavePath());
    EXPECT_TRUE(result.Ok()) << result.message;
    second.Close();

    // Another program holding the lock keeps the port too.
    const int other = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(second.Open(pty.SlavePath()).error, OpenError::InUse);
    close(other);
    EXPECT_TRUE(second.Open(pty.SlavePath()).Ok());
    second.Close();
}

#ifdef TIOCGEXCL
// A program killed while it had the port leaves the driver's exclusive mode
// set. Nobody holds the lock then, so the port is not in use: root takes it
// over (and says so in the trace); others, whom the driver refuses, are told
// what happened instead of "in use".
TEST_F(PosixSerialDeviceTest, ExclusiveModeLeftBehindDoesNotRefuseTheNextRun)
{
    device.Close();
    ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCEXCL), 0);
    PosixSerialDevice next;
    const OpenResult result = next.Open(pty.SlavePath());
    if (geteuid() == 0) {
        ASSERT_TRUE(result.Ok()) << result.message;
        const std::vector<std::string> notes = next.TakeNotes();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].find("exclusive mode was left set"), std::string::npos) << notes[0];
        next.Close();
        int exclusive = 1;
        ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << "closing clears exclusive mode";
    } else {
        EXPECT_EQ(result.error, OpenError::InUse);
        EXPECT_NE(result.message.find("no program holds it"), std::string::npos) << result.message;
    }
    ASSERT_EQ(ioctl(pty.SlaveFd(), TIOCNXCL), 0);
}
#endif

TEST(PosixSerialDeviceOpenTest, FailuresNameTheirCause)
{
    PosixSerialDevice device;
    OpenResult result = device.Open("/dev/vantrel-no-such-port");
    EXPECT_EQ(result.error, OpenError::NoSuchDevice);
    EXPECT_EQ(result.message, "no such device");

    char path[] = "/tmp/vantrel-notatty-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    result = device.Open(path);
    EXPECT_EQ(result.error, OpenError::Other);
    EXPECT_FALSE(result.message.empty());
    EXPECT_FALSE(device.IsOpen());
    if (geteuid() != 0) { // root reads anything
        chmod(path, 0);
        result = device.Open(path);
        EXPECT_EQ(result.error, OpenError::PermissionDenied);
        EXPECT_NE(result.message.find("dialout"), std::string::npos);
    }
    unlink(path);
}

TEST_F(PosixSerialDeviceTest, SilentLineEndsAOneByteReadAtTheTotalLimit)
{
    ASSERT_TRUE(device.SetReadLimits({250, 0, 1000}));
    uint8_t byte = 0;
    Stopwatch watch;
    EXPECT_EQ(device.Read(&byte, 1), 0);
    EXPECT_GE(watch.Ms(), 990);
    EXPECT_LT(watch.Ms(), 1450);
}

TEST_F(PosixSerialDeviceTest, GapAfterTheFirstBytesEndsTheRead)
{
    ASSERT_TRUE(device.SetReadLimits({250, 0, 1000}));
    ASSERT_TRUE(pty.Send({0x11, 0x22, 0x33}));
    Bytes buffer(10);
    Stopwatch watch;
    EXPECT_EQ(device.Read(buffer.data(), 10), 3);
    EXPECT_GE(watch.Ms(), 240);
    EXPECT_LT(watch.Ms(), 800); // well before the 1000 ms total
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), (Bytes{0x11, 0x22, 0x33}));

    // A read whose count has arrived does not wait at all.
    ASSERT_TRUE(pty.Send({0x44, 0x55}));
    Stopwatch quick;
    EXPECT_EQ(device.Read(buffer.data(), 2), 2);
    EXPECT_LT(quick.Ms(), 200);
}

TEST_F(PosixSerialDeviceTest, PerByteTotalLimitScalesWithTheCount)
{
    ASSERT_TRUE(device.SetReadLimits({0, 100, 0}));
    Bytes buffer(4);
    Stopwatch watch;
    EXPECT_EQ(device.Read(buffer.data(), 4), 0);
    EXPECT_GE(watch.Ms(), 390);
    EXPECT_LT(watch.Ms(), 850);
}

TEST_F(PosixSerialDeviceTest, EveryByteValueCrossesTheLineUnchangedBothWays)
{
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0); // CR, LF, XON, XOFF, 00 and FF included

    EXPECT_EQ(device.Write(all.data(), 256), 256);
    EXPECT_EQ(pty.Receive(256, 1000), all);

    ASSERT_TRUE(pty.Send(all));
    ASSERT_TRUE(device.SetReadLimits({250, 0, 1000}));
    Bytes got(256);
    ASSERT_EQ(device.Read(got.data(), 256), 256);
    EXPECT_EQ(got, all);
    LineStatus status;
    ASSERT_TRUE(device.GetStatus(status));
    EXPECT_EQ(status.errors, 0u); // the data 00 bytes are no break
}

TEST_F(PosixSerialDeviceTest, QueueCountsSeeDecodedBytesAndPurgeEmptiesThem)
{
    ASSERT_TRUE(pty.Send({0x01, 0xFF, 0x02, 0xFF, 0x03}));
    LineStatus status = WaitForQueued(5);
    EXPECT_EQ(status.inQueue, 5u); // the driver's doubled FFs are not counted
    EXPECT_EQ(status.outQueue, 0u);
    EXPECT_EQ(status.errors, 0u);

    ASSERT_TRUE(device.SetReadLimits({250, 0, 1000}));
    Bytes got(2);
    ASSERT_EQ(device.Read(got.data(), 2), 2);
    EXPECT_EQ(got, (Bytes{0x01, 0xFF}));
    ASSERT_TRUE(device.GetStatus(status));
    EXPECT_EQ(status.inQueue, 3u);

    ASSERT_TRUE(device.Purge(PurgeRxAbort | PurgeRxClear));
    ASSERT_TRUE(device.GetStatus(status));
    EXPECT_EQ(status.inQueue, 0u);
    ASSERT_TRUE(device.SetReadLimits({0, 0, 100}));
    EXPECT_EQ(device.Read(got.data(), 1), 0);
}

TEST_F(PosixSerialDeviceTest, WaitForActivityWakesOnInputAndOtherwiseWaitsItsTime)
{
    Stopwatch idle;
    device.WaitForActivity(300);
    EXPECT_GE(idle.Ms(), 290);
    EXPECT_LT(idle.Ms(), 800);

    std::thread sender([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.Send({0x5A});
    });
    Stopwatch watch;
    device.WaitForActivity(1200);
    const long long woke = watch.Ms();
    sender.join();
    EXPECT_GE(woke, 90);
    EXPECT_LT(woke, 800);
    EXPECT_EQ(WaitForQueued(1).inQueue, 1u);
}

TEST_F(PosixSerialDeviceTest, AVanishedDeviceFailsInsteadOfHanging)
{
    ASSERT_TRUE(device.SetReadLimits({0, 0, 0})); // no limit: only the hangup can end it
    pty.CloseMaster();
    uint8_t byte = 0;
    Stopwatch watch;
    EXPECT_EQ(device.Read(&byte, 1), -1);
    EXPECT_LT(watch.Ms(), 500);
    LineStatus status;
    EXPECT_FALSE(device.GetStatus(status));
}

TEST_F(PosixSerialDeviceTest, ClosedDeviceRefusesEveryCall)
{
    device.Close();
    device.Close();
    uint8_t byte = 0;
    LineStatus status;
    LineSettings settings;
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.Read(&byte, 1), -1);
    EXPECT_EQ(device.Write(&byte, 1), -1);
    EXPECT_FALSE(device.GetStatus(status));
    EXPECT_FALSE(device.Purge(PurgeRxClear));
    EXPECT_FALSE(device.SetReadLimits({}));
    EXPECT_FALSE(device.GetLineSettings(settings));
    EXPECT_FALSE(device.SetLineSettings(settings));
}

} // namespace
} // namespace vantrel
