#pragma once

#include "platform/Clock.h"
#include "platform/SerialDevice.h"
#include "sim/SimEventQueue.h"
#include "sim/SimRadio.h"

#include <cstdint>
#include <deque>
#include <memory>

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

    // ---- host side, used by the simulated serial device ----
    bool OpenHost(); // false when the radio's port is already open
    void CloseHost();
    bool HostOpen() const { return m_hostOpen; }
    const LineSettings& HostSettings() const { return m_hostSettings; }
    void SetHostSettings(const LineSettings& settings) { m_hostSettings = settings; }
    void SetQueueSizes(uint32_t rxBytes, uint32_t txBytes);
    void Purge(unsigned flags);
    LineStatus TakeStatus();
    // Queues characters for sending; returns how many fit into the transmit queue.
    uint32_t HostWrite(const uint8_t* bytes, uint32_t count);
    uint32_t ReceivedCount() const { return static_cast<uint32_t>(m_rxQueue.size()); }
    // Takes up to max received characters; lastArrivalUs is when the last one taken arrived.
    uint32_t TakeReceived(uint8_t* out, uint32_t max, uint64_t& lastArrivalUs);

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
    void Deliver(uint8_t byte);

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
};

} // namespace vantrel
