#include "platform/posix/PosixSerialDevice.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <utility>

#if defined(__linux__)
#include <linux/serial.h>
#endif

#include "platform/posix/CustomBaudRate.h"

namespace vantrel {
namespace {

// A write that makes no progress for this long has met a dead device. The
// kernel reports space in chunks of a few hundred bytes, which take about a
// second at 2400 Bd, so this never cuts a slow but working line.
constexpr uint64_t kWriteStallMs = 5000;
// While output drains, input is watched in slices this short: the driver has no
// event for "transmit queue empty".
constexpr int kDrainSliceMs = 2;

uint64_t MonotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// poll() on one descriptor; a negative timeout waits without limit.
short PollOne(int fd, short events, int64_t timeoutMs)
{
    pollfd p{fd, events, 0};
    const int timeout = timeoutMs < 0 ? -1 : static_cast<int>(std::min<int64_t>(timeoutMs, 1 << 30));
    const int n = poll(&p, 1, timeout);
    return n > 0 ? p.revents : 0;
}

void SleepMs(uint32_t ms)
{
    poll(nullptr, 0, static_cast<int>(std::min<uint32_t>(ms, 1u << 30)));
}

struct Speed {
    uint32_t rate;
    speed_t code;
};

constexpr Speed kSpeeds[] = {
    {50, B50},         {75, B75},     {110, B110},   {134, B134},     {150, B150},
    {200, B200},       {300, B300},   {600, B600},   {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool SpeedCode(uint32_t rate, speed_t& code)
{
    for (const Speed& s : kSpeeds) {
        if (s.rate == rate) {
            code = s.code;
            return true;
        }
    }
    return false;
}

uint32_t SpeedRate(speed_t code)
{
    for (const Speed& s : kSpeeds) {
        if (s.code == code) return s.rate;
    }
    return 0;
}

OpenResult Failure(OpenError error, std::string message)
{
    return OpenResult{error, std::move(message)};
}

OpenResult OpenFailure(int err)
{
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return Failure(OpenError::NoSuchDevice, "no such device");
    case EBUSY:
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return Failure(OpenError::InUse, "in use by another program");
    case EACCES:
    case EPERM:
        return Failure(OpenError::PermissionDenied,
                       "permission denied \xE2\x80\x94 add your user to the dialout group and log in again");
    default:
        return Failure(OpenError::Other, std::strerror(err));
    }
}

bool IsUnsupportedIoctl(int err)
{
    return err == ENOTTY || err == EINVAL;
}

} // namespace

PosixSerialDevice::~PosixSerialDevice()
{
    Close();
}

OpenResult PosixSerialDevice::Open(const std::string& name)
{
    Close();
    const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        // The driver's exclusive mode refuses everyone but root.
        return err == EBUSY ? InUse(name, true) : OpenFailure(err);
    }

    // The lock is what tells whether a program has the port: TIOCEXCL keeps
    // other users out, but root passes it, and a program that is killed leaves
    // it set. A file system without locks is no reason to refuse the port.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EAGAIN)) {
        close(fd);
        return InUse(name, false);
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        close(fd);
        return Failure(OpenError::Other, "not a serial device");
    }
    m_notes.clear();
#ifdef TIOCGEXCL
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        Note(name,
             "exclusive mode was left set by a program that ended without closing the port; nobody holds "
             "its lock, so it is taken over",
             true);
    }
#endif
    ioctl(fd, TIOCEXCL);
    m_fd = fd;
    m_limits = {};
    m_decoder.Clear();
    m_decoder.TakeBreak();

#if defined(__linux__)
    serial_icounter_struct counts{};
    m_hasBreakCounter = ioctl(fd, TIOCGICOUNT, &counts) == 0;
    m_breakCount = counts.brk;
#endif

    // Raw 8N1 without flow control and with DTR and RTS off, at the rate the
    // driver already runs (a caller sets its own rate afterwards).
    LineSettings settings;
    uint32_t rate = SpeedRate(cfgetospeed(&tio));
    if (rate == 0 && !GetCustomBaudRate(fd, rate)) rate = 0;
    settings.baudRate = rate != 0 ? rate : 9600;
    if (!SetLineSettings(settings)) {
        Close();
        return Failure(OpenError::Other, "the device refused the line settings");
    }

    std::string adapterNote;
    m_facts = m_latency.Enter(fd, adapterNote);
    m_facts.breakReport = m_hasBreakCounter ? BreakReport::Counter : BreakReport::InBandMark;
    Note(name, adapterNote, false);
    return {};
}

OpenResult PosixSerialDevice::Probe(const std::string& name)
{
    struct stat status {};
    if (stat(name.c_str(), &status) != 0) return OpenFailure(errno);
    // A directory, a file or a partly typed name is no port.
    if (!S_ISCHR(status.st_mode)) return Failure(OpenError::NoSuchDevice, "not a serial device");
    const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return OpenFailure(errno);
    termios before{};
    if (!isatty(fd) || tcgetattr(fd, &before) != 0) {
        close(fd);
        return Failure(OpenError::NoSuchDevice, "not a serial device");
    }
    int lines = 0;
    const bool knowsLines = ioctl(fd, TIOCMGET, &lines) == 0;
    OpenResult result;
    // Held by another program: its lock, or its exclusive mode (which root passes).
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK || errno == EAGAIN) result = OpenFailure(EBUSY);
    } else {
        flock(fd, LOCK_UN);
    }
#ifdef TIOCGEXCL
    int exclusive = 0;
    if (result.Ok() && ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) result = OpenFailure(EBUSY);
#endif
    termios after{};
    if (tcgetattr(fd, &after) == 0 && std::memcmp(&before, &after, sizeof before) != 0) tcsetattr(fd, TCSANOW, &before);
    int linesAfter = 0;
    if (knowsLines && ioctl(fd, TIOCMGET, &linesAfter) == 0 && linesAfter != lines) ioctl(fd, TIOCMSET, &lines);
    close(fd);
    return result;
}

OpenResult PosixSerialDevice::InUse(const std::string& name, bool lockFree)
{
    if (const auto holder = m_kernel.LockHolder(name)) {
        if (*holder == getpid()) return Failure(OpenError::InUse, "in use elsewhere in this program");
        const std::string program = m_kernel.ProcessName(*holder);
        return Failure(OpenError::InUse, "in use by " + (program.empty() ? std::string("another program") : program) +
                                             " (process " + std::to_string(*holder) + ")");
    }
    if (lockFree) {
        return Failure(OpenError::InUse,
                       "held in exclusive mode, but no program holds it: a program that was killed left it so; "
                       "unplug the adapter or restart the program that provides the port");
    }
    return OpenFailure(EBUSY);
}

void PosixSerialDevice::Note(const std::string& device, const std::string& text, bool always)
{
    if (text.empty()) return;
    if (m_kernel.IsNews(device, text) || always) m_notes.push_back(device + ": " + text);
}

std::vector<std::string> PosixSerialDevice::TakeNotes()
{
    std::vector<std::string> notes;
    notes.swap(m_notes);
    return notes;
}

void PosixSerialDevice::Close()
{
    if (m_fd < 0) return;
    m_latency.Leave(m_fd);
    m_facts = {};
    ioctl(m_fd, TIOCNXCL);
    close(m_fd); // also drops the lock
    m_fd = -1;
    m_decoder.Clear();
    m_decoder.TakeBreak();
    m_hasBreakCounter = false;
}

bool PosixSerialDevice::SetQueueSizes(uint32_t, uint32_t)
{
    // The terminal driver's buffers have fixed sizes; the request is a hint.
    return IsOpen();
}

bool PosixSerialDevice::Purge(unsigned flags)
{
    if (m_fd < 0) return false;
    bool ok = true;
    // Reads never stay pending between calls here, so aborting one has nothing
    // to do. Unsent output sits in the driver's queue, so aborting the write
    // side is clearing it.
    if (flags & PurgeRxClear) {
        ok = tcflush(m_fd, TCIFLUSH) == 0;
        m_decoder.Clear();
    }
    if (flags & (PurgeTxAbort | PurgeTxClear)) ok = tcflush(m_fd, TCOFLUSH) == 0 && ok;
    return ok;
}

bool PosixSerialDevice::SetReadLimits(const ReadLimits& limits)
{
    if (m_fd < 0) return false;
    m_limits = limits;
    return true;
}

bool PosixSerialDevice::GetLineSettings(LineSettings& settings)
{
    if (m_fd < 0) return false;
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) return false;
    LineSettings s;
    s.baudRate = SpeedRate(cfgetospeed(&tio));
    if (s.baudRate == 0 && !GetCustomBaudRate(m_fd, s.baudRate)) s.baudRate = 0;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        s.dataBits = 5;
        break;
    case CS6:
        s.dataBits = 6;
        break;
    case CS7:
        s.dataBits = 7;
        break;
    default:
        s.dataBits = 8;
        break;
    }
    s.parity = !(tio.c_cflag & PARENB) ? Parity::None : (tio.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    s.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    s.ctsOutFlow = (tio.c_cflag & CRTSCTS) != 0;
    s.xonXoffOut = (tio.c_iflag & IXON) != 0;
    s.xonXoffIn = (tio.c_iflag & IXOFF) != 0;
    int lines = 0;
    if (ioctl(m_fd, TIOCMGET, &lines) == 0) {
        s.dtrOn = (lines & TIOCM_DTR) != 0;
        s.rtsOn = (lines & TIOCM_RTS) != 0;
    } else {
        s.dtrOn = m_dtrOn;
        s.rtsOn = m_rtsOn;
    }
    settings = s;
    return true;
}

bool PosixSerialDevice::SetLineSettings(const LineSettings& s)
{
    if (m_fd < 0) return false;
    // Refuse what the terminal interface cannot do rather than pretend.
    if (!s.binary || s.dsrOutFlow || s.dsrSensitivity || s.errorReplace || s.nullStrip || s.abortOnError) return false;
    tcflag_t size = 0;
    switch (s.dataBits) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return false;
    }
    if (s.stopBits != 1 && s.stopBits != 2) return false;
    if (s.baudRate == 0) return false;

    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    // Breaks and marked bytes come in band (FF 00 00, FF 00 xx, data FF as
    // FF FF) so that a break is never taken for a data byte 00; parity is not
    // checked.
    tio.c_iflag &= ~(IGNBRK | BRKINT | INPCK | IGNPAR | ISTRIP | IXON | IXOFF | IXANY);
    tio.c_iflag |= PARMRK;
    if (s.xonXoffOut) tio.c_iflag |= IXON;
    if (s.xonXoffIn) tio.c_iflag |= IXOFF;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= size | CLOCAL | CREAD;
    if (s.parity != Parity::None) tio.c_cflag |= PARENB;
    if (s.parity == Parity::Odd) tio.c_cflag |= PARODD;
    if (s.stopBits == 2) tio.c_cflag |= CSTOPB;
    if (s.ctsOutFlow) tio.c_cflag |= CRTSCTS;
    // VMIN 1 makes an empty non-blocking read answer EAGAIN; with VMIN 0 it
    // would return 0, which cannot be told from a hangup.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    speed_t code = B38400; // stands in until a custom rate is applied below
    const bool standard = SpeedCode(s.baudRate, code);
    cfsetispeed(&tio, code);
    cfsetospeed(&tio, code);
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0) return false;
    if (!standard && !SetCustomBaudRate(m_fd, s.baudRate)) return false;

    // tcsetattr succeeds when any part was taken; check the parts that matter.
    termios applied{};
    if (tcgetattr(m_fd, &applied) != 0) return false;
    const tcflag_t checked = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
    if ((applied.c_cflag & checked) != (tio.c_cflag & checked)) return false;
    if ((applied.c_iflag & (IXON | IXOFF | PARMRK)) != (tio.c_iflag & (IXON | IXOFF | PARMRK))) return false;
    if (standard && cfgetospeed(&applied) != code) return false;
    return SetModemLines(s.dtrOn, s.rtsOn);
}

bool PosixSerialDevice::SetModemLines(bool dtrOn, bool rtsOn)
{
    m_dtrOn = dtrOn;
    m_rtsOn = rtsOn;
    int on = (dtrOn ? TIOCM_DTR : 0) | (rtsOn ? TIOCM_RTS : 0);
    int off = (dtrOn ? 0 : TIOCM_DTR) | (rtsOn ? 0 : TIOCM_RTS);
    // Pseudo-terminals have no modem lines; that is not a failure.
    if (on != 0 && ioctl(m_fd, TIOCMBIS, &on) != 0 && !IsUnsupportedIoctl(errno)) return false;
    if (off != 0 && ioctl(m_fd, TIOCMBIC, &off) != 0 && !IsUnsupportedIoctl(errno)) return false;
    return true;
}

uint32_t PosixSerialDevice::DriverQueue(unsigned long request) const
{
    int count = 0;
    if (ioctl(m_fd, request, &count) != 0 || count < 0) return 0;
    return static_cast<uint32_t>(count);
}

long PosixSerialDevice::PullInput()
{
    std::array<uint8_t, 4096> raw{};
    long moved = 0;
    while (m_decoder.Available() < ParmrkDecoder::kMaxHeld) {
        const ssize_t n = read(m_fd, raw.data(), raw.size());
        if (n > 0) {
            m_decoder.Feed(raw.data(), static_cast<size_t>(n));
            moved += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        return -1; // end of file (hung up) or an I/O error: the device is gone
    }
    return moved;
}

bool PosixSerialDevice::BreakCounterRose()
{
#if defined(__linux__)
    if (!m_hasBreakCounter) return false;
    serial_icounter_struct counts{};
    if (ioctl(m_fd, TIOCGICOUNT, &counts) != 0) {
        if (IsUnsupportedIoctl(errno)) m_hasBreakCounter = false;
        return false;
    }
    const bool rose = counts.brk != m_breakCount;
    m_breakCount = counts.brk;
    return rose;
#else
    return false;
#endif
}

bool PosixSerialDevice::GetStatus(LineStatus& status)
{
    if (m_fd < 0) return false;
    const bool alive = PullInput() >= 0;
    // Both sources are asked every time so that each latch is cleared; a break
    // the counter and the in-band mark both saw may be reported twice, which
    // is better than a driver that counts but does not mark going unheard.
    const bool counted = BreakCounterRose();
    const bool marked = m_decoder.TakeBreak();
    status.errors = (counted || marked) ? kLineErrorBreak : 0;
    // Bytes beyond the decoder's limit still wait in the driver (marks counted).
    status.inQueue = static_cast<uint32_t>(m_decoder.Available()) + DriverQueue(TIOCINQ);
    status.outQueue = DriverQueue(TIOCOUTQ);
    return alive;
}

int PosixSerialDevice::Read(uint8_t* buffer, uint32_t count)
{
    if (m_fd < 0) return -1;
    if (count == 0) return 0;
    count = std::min<uint32_t>(count, INT32_MAX); // the result must fit
    const uint64_t start = MonotonicMs();
    // The classic "return at once with what is there" setting.
    const bool immediate =
        m_limits.intervalMs == UINT32_MAX && m_limits.totalPerByteMs == 0 && m_limits.totalConstantMs == 0;
    const uint64_t totalMs =
        static_cast<uint64_t>(m_limits.totalConstantMs) + static_cast<uint64_t>(m_limits.totalPerByteMs) * count;
    const uint64_t deadline = start + totalMs;
    uint32_t got = 0;
    uint64_t lastArrival = start;
    bool hangup = false;
    for (;;) {
        const long moved = PullInput();
        const size_t taken = m_decoder.Take(buffer + got, count - got);
        got += static_cast<uint32_t>(taken);
        if (got == count) return static_cast<int>(got);
        if (moved < 0 || (hangup && moved == 0)) return got > 0 ? static_cast<int>(got) : -1;
        if (immediate) return static_cast<int>(got);

        const uint64_t now = MonotonicMs();
        if (moved > 0 || taken > 0) lastArrival = now;
        int64_t wait = -1;
        if (totalMs > 0) {
            if (now >= deadline) return static_cast<int>(got);
            wait = static_cast<int64_t>(deadline - now);
        }
        // The gap between bytes is timed only once the first byte is in.
        if (m_limits.intervalMs > 0 && got > 0) {
            const uint64_t gapEnd = lastArrival + m_limits.intervalMs;
            if (now >= gapEnd) return static_cast<int>(got);
            const auto gapWait = static_cast<int64_t>(gapEnd - now);
            wait = wait < 0 ? gapWait : std::min(wait, gapWait);
        }
        const short events = PollOne(m_fd, POLLIN, wait);
        hangup = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
}

int PosixSerialDevice::Write(const uint8_t* buffer, uint32_t count)
{
    if (m_fd < 0) return -1;
    count = std::min<uint32_t>(count, INT32_MAX); // the result must fit
    uint32_t done = 0;
    uint64_t lastProgress = MonotonicMs();
    while (done < count) {
        const ssize_t n = write(m_fd, buffer + done, count - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            lastProgress = MonotonicMs();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const uint64_t now = MonotonicMs();
            if (now - lastProgress >= kWriteStallMs) break;
            const short events = PollOne(m_fd, POLLOUT, static_cast<int64_t>(kWriteStallMs - (now - lastProgress)));
            if (events & (POLLERR | POLLHUP | POLLNVAL)) break;
            continue;
        }
        break;
    }
    return (done > 0 || count == 0) ? static_cast<int>(done) : -1;
}

void PosixSerialDevice::WaitForActivity(uint32_t maxMs)
{
    if (m_fd < 0) {
        SleepMs(maxMs); // nothing will change on a closed device
        return;
    }
    if (m_decoder.Available() >= ParmrkDecoder::kMaxHeld) {
        // The driver's queue is not drained any further, so it would report
        // input at once: wait briefly instead of spinning.
        SleepMs(std::min<uint32_t>(maxMs, 5));
        return;
    }
    const uint64_t deadline = MonotonicMs() + maxMs;
    for (;;) {
        const uint64_t now = MonotonicMs();
        if (now >= deadline) return;
        const bool draining = DriverQueue(TIOCOUTQ) > 0;
        int64_t slice = static_cast<int64_t>(deadline - now);
        if (draining) slice = std::min<int64_t>(slice, kDrainSliceMs);
        if (PollOne(m_fd, POLLIN, slice) != 0) return; // input, or the device hung up
        if (draining && DriverQueue(TIOCOUTQ) == 0) return;
    }
}

std::unique_ptr<SerialDevice> MakePosixSerialDevice(const std::string&)
{
    return std::make_unique<PosixSerialDevice>();
}

} // namespace vantrel
