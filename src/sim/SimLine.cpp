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

void SimLine::PassUntil(uint64_t us)
{
    while (ClockUs() < us && WaitUntil(us)) {
    }
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
    m_hostInRequest = false;
    // Opening resets the adapter's buffers and its timer.
    m_packet.clear();
    ++m_packetGeneration;
    m_timerBaseUs = m_events.Now();
    return true;
}

void SimLine::CloseHost()
{
    Sync();
    Purge(PurgeRxAbort | PurgeRxClear | PurgeTxAbort | PurgeTxClear);
    m_hostOpen = false;
    // The driver puts the latency timer back when the port closes.
    m_lowLatency = false;
    if (m_adapter) m_latencyMs = m_adapter->latencyMs;
}

void SimLine::SetAdapter(const std::optional<SimUsbAdapter>& adapter)
{
    Sync();
    m_adapter = adapter;
    m_latencyMs = adapter ? adapter->latencyMs : 0;
    m_lowLatency = false;
    m_packet.clear();
    ++m_packetGeneration;
}

bool SimLine::FirstReport(const std::string& note)
{
    if (note.empty() || note == m_lastReport) return false;
    m_lastReport = note;
    return true;
}

void SimLine::RequestLowLatency()
{
    if (!m_adapter || !m_adapter->honoursLowLatency) return;
    m_lowLatency = true;
    m_latencyMs = SimUsbAdapter::kLowLatencyMs;
}

PortFacts SimLine::HostFacts() const
{
    PortFacts facts;
    if (!m_adapter) return facts;
    facts.usbAdapter = true;
    facts.latencyMs = m_latencyMs;
    facts.lowLatency = m_lowLatency ? LowLatency::On : LowLatency::Refused;
    return facts;
}

void SimLine::SetQueueSizes(uint32_t rxBytes, uint32_t txBytes)
{
    m_rxCapacity = std::max<uint32_t>(rxBytes, 1);
    m_txCapacity = std::max<uint32_t>(txBytes, 1);
}

void SimLine::Purge(unsigned flags)
{
    Sync();
    // What still waits in a USB adapter is not reached by a purge.
    if (flags & (PurgeRxAbort | PurgeRxClear)) {
        m_rxQueue.clear();
        // The link purges its input before every request it sends.
        m_hostInRequest = false;
    }
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
    // A native port sees a held break all the time; an adapter reports it with its packets.
    if (m_hostOpen && !m_adapter && m_events.Now() < m_breakUntilUs) status.errors |= kLineErrorBreak;
    m_errors = 0;
    status.inQueue = static_cast<uint32_t>(m_rxQueue.size());
    status.outQueue = m_hostTxPending;
    return status;
}

uint32_t SimLine::HostWrite(const uint8_t* bytes, uint32_t count)
{
    Sync();
    const uint32_t room = m_txCapacity > m_hostTxPending ? m_txCapacity - m_hostTxPending : 0;
    uint32_t accepted = std::min(count, room);
    const UartFrame frame = UartFrame::From(m_hostSettings);
    const uint8_t mask = static_cast<uint8_t>(frame.dataBits >= 8 ? 0xFF : (1u << frame.dataBits) - 1u);
    for (uint32_t i = 0; i < accepted; ++i) {
        const uint64_t stallUs = HostStallUs(bytes[i]);
        if (stallUs != 0) {
            // The host is held up before this byte: it goes out, and the host
            // goes on, only once the stall is over.
            m_hostResumeUs = m_events.Now() + stallUs;
            accepted = i + 1;
        }
        const uint64_t start = std::max(m_events.Now() + stallUs, m_hostTxFreeUs);
        m_hostTxFreeUs = start + CharacterTimeUs(frame);
        ++m_hostTxPending;
        const bool noise = m_radio->Faults().Hits(SimFaultKind::Garble, SimEvent::Byte, ++m_hostBytes);
        const uint8_t byte = noise ? static_cast<uint8_t>(bytes[i] ^ 0x08) : bytes[i];
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

uint64_t SimLine::HostStallUs(uint8_t byte)
{
    // Only requests count; the bootstrap download is no framed traffic.
    if (m_radio->Mode() == SimMode::Bootstrap) {
        m_hostInRequest = false;
        return 0;
    }
    if (!m_hostInRequest) {
        m_hostInRequest = true;
        m_hostParser.Reset();
        ++m_hostRequests;
        m_hostRequestByte = 0;
    }
    ++m_hostRequestByte;
    if (m_hostParser.Feed(byte)) m_hostInRequest = false;
    const SimFault* stall = m_radio->Faults().Find(SimFaultKind::Stall, SimEvent::Message, m_hostRequests);
    return stall && stall->atByte == m_hostRequestByte ? uint64_t{stall->pauseMs} * 1000 : 0;
}

void SimLine::Deliver(uint8_t byte)
{
    if (!m_adapter) {
        Enqueue(byte, m_events.Now());
        return;
    }
    if (m_packet.empty()) {
        // The latency timer runs on its own and restarts with every packet
        // sent: the bytes go with its next expiry.
        const uint64_t periodUs = std::max<uint64_t>(uint64_t{m_latencyMs} * 1000, 1);
        const uint64_t now = m_events.Now();
        const uint64_t expiry = m_timerBaseUs + ((now - std::min(now, m_timerBaseUs)) / periodUs + 1) * periodUs;
        m_events.Schedule(expiry, [this, generation = m_packetGeneration] {
            if (generation == m_packetGeneration) FlushAdapter();
        });
    }
    m_packet.push_back(byte);
    if (m_packet.size() >= m_adapter->packetBytes) FlushAdapter();
}

void SimLine::FlushAdapter()
{
    ++m_packetGeneration;
    m_timerBaseUs = m_events.Now();
    if (m_packet.empty()) return;
    // Transfers keep their order whatever their jitter.
    const uint64_t at = std::max(m_events.Now() + SimTransferJitterUs(*m_adapter, ++m_transfers), m_lastTransferUs);
    m_lastTransferUs = at;
    std::vector<uint8_t> packet;
    packet.swap(m_packet);
    m_events.Schedule(at, [this, packet = std::move(packet)] {
        for (uint8_t b : packet)
            Enqueue(b, m_events.Now());
    });
}

void SimLine::Enqueue(uint8_t byte, uint64_t atUs)
{
    if (!m_hostOpen) return;
    if (m_rxQueue.size() >= m_rxCapacity) {
        m_errors |= kLineErrorRxOverflow;
        return;
    }
    m_rxQueue.push_back({byte, atUs});
}

void SimLine::ReportAdapterBreak(uint32_t generation)
{
    if (generation != m_radioTxGeneration || !m_adapter) return;
    if (m_hostOpen) m_errors |= kLineErrorBreak;
    if (m_events.Now() < m_breakUntilUs) {
        m_events.Schedule(m_events.Now() + uint64_t{m_latencyMs} * 1000,
                          [this, generation] { ReportAdapterBreak(generation); });
    }
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
        if (m_adapter) {
            m_events.Schedule(m_events.Now() + uint64_t{m_latencyMs} * 1000,
                              [this, generation] { ReportAdapterBreak(generation); });
            return;
        }
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
