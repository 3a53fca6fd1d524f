#include "PtyRadioLine.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace vantrel {
namespace {

uint32_t RateOf(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

} // namespace

PtyRadioLine::PtyRadioLine(int masterFd, Clock& clock, SimRadio& radio)
    : m_master(masterFd), m_clock(clock), m_radio(radio), m_events(clock.NowUs())
{
}

UartFrame PtyRadioLine::HostFrame()
{
    termios t{};
    // On Linux the master reports the slave's settings.
    if (tcgetattr(m_master, &t) != 0) return UartFrame::At(9600);
    UartFrame frame = UartFrame::At(RateOf(cfgetospeed(&t)));
    switch (t.c_cflag & CSIZE) {
    case CS5:
        frame.dataBits = 5;
        break;
    case CS6:
        frame.dataBits = 6;
        break;
    case CS7:
        frame.dataBits = 7;
        break;
    default:
        frame.dataBits = 8;
        break;
    }
    if (t.c_cflag & PARENB) frame.parity = (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    frame.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return frame;
}

uint32_t PtyRadioLine::HostRate()
{
    return HostFrame().rate;
}

void PtyRadioLine::WriteToHost(const uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t n = write(m_master, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // nobody reading and the buffer full: the bytes are lost, as on a cable
        bytes += n;
        count -= static_cast<size_t>(n);
    }
}

namespace {

// Lateness below this is the ordinary cost of waking up, not a stall.
constexpr uint64_t kHeldUpUs = 2000;

} // namespace

void PtyRadioLine::Poll(int timeoutMs)
{
    const uint64_t entryUs = m_clock.NowUs();
    if (m_lastReturnUs != 0 && entryUs > m_lastReturnUs + kHeldUpUs) m_heldUpUs += entryUs - m_lastReturnUs - kHeldUpUs;
    PollOnce(timeoutMs);
    m_lastReturnUs = m_clock.NowUs();
}

void PtyRadioLine::PollOnce(int timeoutMs)
{
    RunDue();
    int wait = timeoutMs;
    if (const auto next = m_events.NextTime()) {
        const uint64_t now = ClockUs();
        const uint64_t untilNext = *next > now ? (*next - now + 999) / 1000 : 0;
        wait = static_cast<int>(std::min<uint64_t>(untilNext, static_cast<uint64_t>(timeoutMs)));
    }
    pollfd p{m_master, POLLIN, 0};
    const uint64_t pollUs = m_clock.NowUs();
    const int ready = poll(&p, 1, wait);
    const uint64_t wokeUs = m_clock.NowUs();
    const uint64_t dueUs = pollUs + static_cast<uint64_t>(wait) * 1000;
    if (wokeUs > dueUs + kHeldUpUs) m_heldUpUs += wokeUs - dueUs - kHeldUpUs;
    RunDue();
    if (ready <= 0 || !(p.revents & POLLIN)) {
        // POLLHUP: no host has the slave open; wait rather than spin.
        if (ready > 0 && wait > 0) usleep(static_cast<useconds_t>(std::min(wait, 20)) * 1000);
        return;
    }
    uint8_t buffer[512];
    const ssize_t n = read(m_master, buffer, sizeof buffer);
    if (n <= 0) return;
    const UartFrame host = HostFrame();
    const uint64_t now = ClockUs();
    for (ssize_t i = 0; i < n; ++i) {
        const uint8_t byte = buffer[i];
        m_hostTxFreeUs = std::max(now, m_hostTxFreeUs) + CharacterTimeUs(host);
        m_events.Schedule(m_hostTxFreeUs, [this, byte, host] {
            if (!m_radio.CableConnected()) return;
            WriteToHost(&byte, 1);
            m_radio.Receive(ReceiveCharacter(byte, host, m_radio.Frame()));
        });
    }
}

void PtyRadioLine::Schedule(uint64_t atUs, std::function<void()> action)
{
    m_events.Schedule(atUs, std::move(action));
}

uint64_t PtyRadioLine::Transmit(uint64_t atUs, const std::vector<uint8_t>& bytes, const UartFrame& frame)
{
    uint64_t at = std::max({atUs, m_radioTxFreeUs, m_events.Now()});
    for (uint8_t byte : bytes) {
        at += CharacterTimeUs(frame);
        m_events.Schedule(at, [this, byte, frame, generation = m_generation] {
            if (generation != m_generation || !m_radio.CableConnected()) return;
            // With PARMRK the line discipline doubles an FF, as a driver does for a data byte FF.
            const uint8_t heard = ReceiveCharacter(byte, frame, HostFrame());
            WriteToHost(&heard, 1);
        });
    }
    m_radioTxFreeUs = at;
    return at;
}

void PtyRadioLine::MarkBreak()
{
    termios t{};
    if (tcgetattr(m_master, &t) != 0 || (t.c_iflag & IGNBRK)) return;
    if (!(t.c_iflag & PARMRK)) {
        const uint8_t nul = 0;
        WriteToHost(&nul, 1);
        return;
    }
    termios plain = t;
    plain.c_iflag &= ~static_cast<tcflag_t>(PARMRK);
    tcsetattr(m_master, TCSANOW, &plain);
    const uint8_t mark[3] = {0xFF, 0x00, 0x00};
    WriteToHost(mark, sizeof mark);
    // Let the line discipline take the three bytes before marking is switched back on.
    usleep(2000);
    termios now{};
    if (tcgetattr(m_master, &now) == 0) {
        now.c_iflag |= PARMRK;
        tcsetattr(m_master, TCSANOW, &now);
    }
}

void PtyRadioLine::RepeatBreak(uint32_t generation, uint64_t untilUs, uint64_t everyUs)
{
    if (generation != m_generation || m_radio.Mode() != SimMode::Bootstrap || m_events.Now() >= untilUs) return;
    if (!m_radio.CableConnected()) return;
    MarkBreak();
    m_events.Schedule(m_events.Now() + everyUs, [this, generation, untilUs, everyUs] {
        // Once synchronised the radio stops announcing itself.
        if (m_radio.AwaitingSync()) RepeatBreak(generation, untilUs, everyUs);
    });
}

void PtyRadioLine::SendBreak(uint64_t atUs, uint64_t durationUs)
{
    const bool stuck = durationUs == kBreakForever;
    const uint64_t every = stuck ? 4000 : 100000;
    const uint64_t until = atUs + 10000000; // ten seconds of announcing is plenty
    m_events.Schedule(atUs, [this, generation = m_generation, until, every] { RepeatBreak(generation, until, every); });
}

void PtyRadioLine::AbortTransmit()
{
    ++m_generation;
    m_radioTxFreeUs = m_events.Now();
}

} // namespace vantrel
