#pragma once

#include "platform/Clock.h"
#include "platform/SerialDevice.h"
#include "sim/SimEventQueue.h"
#include "sim/SimRadio.h"
#include "sim/SimUsbAdapter.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace vantrel {

// Line-error flag for a receive queue that overflowed.
constexpr uint32_t kLineErrorRxOverflow = 0x01;

// The cable between one host port and one simulated radio, as a discrete-event
// model on a Clock. Each character occupies the line for its character time
// at the sender's rate; a character the host writes comes back to the host as
// the interface's local echo when its last bit is sent and reaches the radio
// at the same moment, as the radio's receiver reads it (garbled when the
// frames differ). The radio's characters reach the host the same way.
//
// Events are run lazily: every host call first runs what is due up to the
// clock's present time. Waiting advances a virtual clock to the next event
// (nothing sleeps for real) or sleeps on a real clock until then.
//
// The bench around the cable is part of the line: a USB adapter on the host's
// side (SetAdapter), and the host's own stalls and line noise as the radio's
// fault plan names them (stall, garble).
class SimLine final : public SimRadioLine {
public:
    SimLine(Clock& clock, std::unique_ptr<SimRadio> radio);
    ~SimLine() override;
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    SimRadio& Radio() { return *m_radio; }
    Clock& TheClock() { return m_clock; }

    // Runs every event due up to the clock's present time.
    void Sync();
    // Waits until the next event or limitUs (clock time in µs), whichever is
    // first, then runs what is due. Returns false when there is no event and
    // no limit, so nothing can ever change.
    bool WaitUntil(uint64_t limitUs);
    uint64_t ClockUs() { return m_clock.NowUs(); }
    // Lets the line run until the clock reads us.
    void PassUntil(uint64_t us);

    // ---- host side, used by the simulated serial device ----
    bool OpenHost(); // false when the radio's port is already open
    void CloseHost();
    bool HostOpen() const { return m_hostOpen; }
    const LineSettings& HostSettings() const { return m_hostSettings; }
    void SetHostSettings(const LineSettings& settings) { m_hostSettings = settings; }
    void SetQueueSizes(uint32_t rxBytes, uint32_t txBytes);
    void Purge(unsigned flags);
    LineStatus TakeStatus();
    // Queues characters for sending; returns how many fit into the transmit
    // queue, or how many went before a planned stall of the host.
    uint32_t HostWrite(const uint8_t* bytes, uint32_t count);
    // Until when the host is held up by a planned stall.
    uint64_t HostResumeUs() const { return m_hostResumeUs; }
    uint32_t ReceivedCount() const { return static_cast<uint32_t>(m_rxQueue.size()); }
    // Takes up to max received characters; lastArrivalUs is when the last one taken arrived.
    uint32_t TakeReceived(uint8_t* out, uint32_t max, uint64_t& lastArrivalUs);

    // The USB adapter between the host and the cable; none is a native port.
    void SetAdapter(const std::optional<SimUsbAdapter>& adapter);
    // The host's driver asks the adapter for its low-latency mode (on opening).
    void RequestLowLatency();
    PortFacts HostFacts() const;
    // True the first time a note about the adapter is made, and whenever it
    // differs from the last one: the trace says each state once.
    bool FirstReport(const std::string& note);

    // ---- radio side ----
    uint64_t NowUs() const override { return m_events.Now(); }
    void Schedule(uint64_t atUs, std::function<void()> action) override;
    uint64_t Transmit(uint64_t atUs, const std::vector<uint8_t>& bytes, const UartFrame& frame) override;
    void SendBreak(uint64_t atUs, uint64_t durationUs) override;
    void AbortTransmit() override;

private:
    struct Received {
        uint8_t byte;
        uint64_t atUs;
    };
    // A character reached the host's end of the cable: into the adapter, or
    // straight into the receive queue.
    void Deliver(uint8_t byte);
    void Enqueue(uint8_t byte, uint64_t atUs);
    void FlushAdapter();
    void ReportAdapterBreak(uint32_t generation);
    // How long the host pauses before this byte (a planned stall), counting
    // the requests it sends.
    uint64_t HostStallUs(uint8_t byte);

    Clock& m_clock;
    SimEventQueue m_events;
    std::unique_ptr<SimRadio> m_radio;

    bool m_hostOpen = false;
    LineSettings m_hostSettings;
    uint32_t m_rxCapacity = 4096;
    uint32_t m_txCapacity = 4096;
    std::deque<Received> m_rxQueue;
    uint32_t m_errors = 0;
    uint64_t m_hostTxFreeUs = 0;
    uint32_t m_hostTxPending = 0;
    uint32_t m_hostTxGeneration = 0;

    uint64_t m_radioTxFreeUs = 0;
    uint32_t m_radioTxGeneration = 0;
    uint64_t m_breakUntilUs = 0;

    std::optional<SimUsbAdapter> m_adapter;
    uint32_t m_latencyMs = 0;
    bool m_lowLatency = false;
    std::vector<uint8_t> m_packet;
    uint32_t m_packetGeneration = 0;
    uint64_t m_timerBaseUs = 0; // when the latency timer last restarted
    uint64_t m_transfers = 0;
    uint64_t m_lastTransferUs = 0;
    std::string m_lastReport;

    // The host's requests as they go out, for planned stalls.
    MessageParser m_hostParser;
    bool m_hostInRequest = false;
    uint32_t m_hostRequests = 0;
    uint32_t m_hostRequestByte = 0;
    uint32_t m_hostBytes = 0;
    uint64_t m_hostResumeUs = 0;
};

} // namespace vantrel
