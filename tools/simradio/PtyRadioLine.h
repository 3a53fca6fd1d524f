#pragma once

#include "platform/Clock.h"
#include "sim/SimEventQueue.h"
#include "sim/SimRadio.h"

#include <cstdint>
#include <termios.h>

namespace vantrel {

// The simulated radio's line on the master side of a pseudo-terminal, in real
// time. The host's rate and frame are read from the terminal settings the host
// gave the slave side, so a host at the wrong rate hears garbage as it would on
// a cable. Every byte the host writes is echoed back (the interface's local
// echo) and reaches the radio after its character time.
//
// A pseudo-terminal cannot carry a break. It is approximated in-band the way a
// serial driver marks one: FF 00 00 when the host has PARMRK set (the slave's
// PARMRK is switched off for the moment those three bytes pass, since the line
// discipline would otherwise double the FF), a single 00 without PARMRK, and
// nothing when the host ignores breaks (IGNBRK). While the radio waits for the
// sync byte in bootstrap mode it repeats its break every 100 ms, so a host
// that purged the first one still sees it; a stuck break repeats every 4 ms.
//
// The radio stands for hardware, which never stops; this program does when the
// machine is loaded. Time on the line runs on the real clock less every stretch
// the program was found held up (a poll that woke late, a late return to
// polling), so the radio does not take its own stalls for the host's.
class PtyRadioLine final : public SimRadioLine {
public:
    PtyRadioLine(int masterFd, Clock& clock, SimRadio& radio);

    // Waits up to timeoutMs for the host or the next timer, then runs what is due.
    void Poll(int timeoutMs);
    // The line's time: the real clock less the program's own stalls.
    uint64_t ClockUs() { return m_clock.NowUs() - m_heldUpUs; }
    // How long the program was found held up in all.
    uint64_t HeldUpUs() const { return m_heldUpUs; }
    // The host's terminal settings as last seen (rate changes drive the automatic operator).
    uint32_t HostRate();

    uint64_t NowUs() const override { return m_events.Now(); }
    void Schedule(uint64_t atUs, std::function<void()> action) override;
    uint64_t Transmit(uint64_t atUs, const std::vector<uint8_t>& bytes, const UartFrame& frame) override;
    void SendBreak(uint64_t atUs, uint64_t durationUs) override;
    void AbortTransmit() override;

    void RunDue() { m_events.RunUntil(ClockUs()); }

private:
    void PollOnce(int timeoutMs);
    UartFrame HostFrame();
    void WriteToHost(const uint8_t* bytes, size_t count);
    void MarkBreak();
    void RepeatBreak(uint32_t generation, uint64_t untilUs, uint64_t everyUs);

    int m_master;
    Clock& m_clock;
    SimRadio& m_radio;
    SimEventQueue m_events;
    uint64_t m_hostTxFreeUs = 0;
    uint64_t m_radioTxFreeUs = 0;
    uint32_t m_generation = 0;
    uint64_t m_heldUpUs = 0;
    uint64_t m_lastReturnUs = 0; // real time Poll last returned
};

} // namespace vantrel
