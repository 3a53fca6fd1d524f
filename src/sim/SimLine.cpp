#include "sim/SimLine.h"

#include <algorithm>

namespace vantrel {

SimLine::SimLine(Clock& clock, std::unique_ptr<SimRadio> radio)
    : m_clock(clock), m_events(clock.NowUs()), m_radio(std::move(radio))
{
    m_radio->Attach(this);
}

SimLine::~SimLine()
{
    m_radio->Attach(nullptr);
}

void SimLine::Sync()
{
    m_events.RunUntil(ClockUs());
}

bool SimLine::WaitUntil(uint64_t limitUs)
{
    Sync();
    const auto next = m_events.NextTime();
    uint64_t target = limitUs;
    if (next && *next < target) target = *next;
    if (target == ~0ull) return false;
    m_clock.SleepUntilUs(target);
    Sync();
    return true;
}

bool SimLine::OpenHost()
{
    Sync();
    if (m_hostOpen) return false;
    m_hostOpen = true;
    m_hostSettings = LineSettings();
    m_rxQueue.clear();
    m_errors = 0;
    m_hostTxPending = 0;
    ++m_hostTxGeneration;
    return true;
}

void SimLine::CloseHost()
{
    Sync();
    Purge(PurgeRxAbort | PurgeRxClear | PurgeTxAbort | PurgeTxClear);
    m_hostOpen = false;
}

void SimLine::SetQueueSizes(uint32_t rxBytes, uint32_t txBytes)
{
    m_rxCapacity = std::max<uint32_t>(rxBytes, 1);
    m_txCapacity = std::max<uint32_t>(txBytes, 1);
}

void SimLine::Purge(unsigned flags)
{
    Sync();
    if (flags & (PurgeRxAbort | PurgeRxClear)) m_rxQueue.clear();
    if (flags & (PurgeTxAbort | PurgeTxClear)) {
        // Characters not yet on the line are dropped; the line is free at once.
        ++m_hostTxGeneration;
        m_hostTxPending = 0;
        m_hostTxFreeUs = m_events.Now();
    }
}

LineStatus SimLine::TakeStatus()
{
    Sync();
    LineStatus status;
    status.errors = m_errors;
    if (m_hostOpen && m_events.Now() < m_breakUntilUs) status.errors |= kLineErrorBreak;
    m_errors = 0;
    status.inQueue = static_cast<uint32_t>(m_rxQueue.size());
    status.outQueue = m_hostTxPending;
    return status;
}

uint32_t SimLine::HostWrite(const uint8_t* bytes, uint32_t count)
{
    Sync();
    const uint32_t room = m_txCapacity > m_hostTxPending ? m_txCapacity - m_hostTxPending : 0;
    const uint32_t accepted = std::min(count, room);
    const UartFrame frame = UartFrame::From(m_hostSettings);
    const uint8_t mask = static_cast<uint8_t>(frame.dataBits >= 8 ? 0xFF : (1u << frame.dataBits) - 1u);
    for (uint32_t i = 0; i < accepted; ++i) {
        const uint64_t start = std::max(m_events.Now(), m_hostTxFreeUs);
        m_hostTxFreeUs = start + CharacterTimeUs(frame);
        ++m_hostTxPending;
        const uint8_t byte = bytes[i];
        m_events.Schedule(m_hostTxFreeUs, [this, byte, frame, mask, generation = m_hostTxGeneration] {
            if (generation != m_hostTxGeneration) return;
            --m_hostTxPending;
            // Unplugged: no echo, and nothing reaches the radio.
            if (!m_radio->CableConnected()) return;
            Deliver(static_cast<uint8_t>(byte & mask));
            m_radio->Receive(ReceiveCharacter(byte, frame, m_radio->Frame()));
        });
    }
    return accepted;
}

void SimLine::Deliver(uint8_t byte)
{
    if (!m_hostOpen) return;
    if (m_rxQueue.size() >= m_rxCapacity) {
        m_errors |= kLineErrorRxOverflow;
        return;
    }
    m_rxQueue.push_back({byte, m_events.Now()});
}

uint32_t SimLine::TakeReceived(uint8_t* out, uint32_t max, uint64_t& lastArrivalUs)
{
    uint32_t n = 0;
    while (n < max && !m_rxQueue.empty()) {
        out[n++] = m_rxQueue.front().byte;
        lastArrivalUs = m_rxQueue.front().atUs;
        m_rxQueue.pop_front();
    }
    return n;
}

void SimLine::Schedule(uint64_t atUs, std::function<void()> action)
{
    m_events.Schedule(atUs, std::move(action));
}

uint64_t SimLine::Transmit(uint64_t atUs, const std::vector<uint8_t>& bytes, const UartFrame& frame)
{
    uint64_t start = std::max({atUs, m_radioTxFreeUs, m_events.Now()});
    for (uint8_t byte : bytes) {
        start += CharacterTimeUs(frame);
        m_events.Schedule(start, [this, byte, frame, generation = m_radioTxGeneration] {
            if (generation != m_radioTxGeneration || !m_radio->CableConnected()) return;
            Deliver(ReceiveCharacter(byte, frame, UartFrame::From(m_hostSettings)));
        });
    }
    m_radioTxFreeUs = start;
    return start;
}

void SimLine::SendBreak(uint64_t atUs, uint64_t durationUs)
{
    m_events.Schedule(atUs, [this, atUs, durationUs, generation = m_radioTxGeneration] {
        if (generation != m_radioTxGeneration || !m_radio->CableConnected()) return;
        m_breakUntilUs = durationUs == kBreakForever ? kBreakForever : atUs + durationUs;
        // The port holds a break indication until it is read, if it is open to see it.
        if (m_hostOpen) m_errors |= kLineErrorBreak;
    });
}

void SimLine::AbortTransmit()
{
    ++m_radioTxGeneration;
    m_radioTxFreeUs = m_events.Now();
    m_breakUntilUs = 0;
}

} // namespace vantrel
