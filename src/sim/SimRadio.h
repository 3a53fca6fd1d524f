#pragma once

#include "link/MessageFormat.h"
#include "sim/SimFaults.h"
#include "sim/SimRadioState.h"
#include "sim/SimUart.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// A stretch of time on the line's clock, [startUs, endUs).
struct SimSpan {
    uint64_t startUs = 0;
    uint64_t endUs = 0;
};

// What the radio sees of the line it is connected to: the time, a timer, and
// its own transmitter. Times are microseconds on the line's clock.
class SimRadioLine {
public:
    static constexpr uint64_t kBreakForever = ~0ull;

    virtual ~SimRadioLine() = default;
    virtual uint64_t NowUs() const = 0;
    virtual void Schedule(uint64_t atUs, std::function<void()> action) = 0;
    // Sends the bytes in the frame, the first starting no earlier than atUs and
    // each after the one before; returns when the last one has been sent.
    virtual uint64_t Transmit(uint64_t atUs, const std::vector<uint8_t>& bytes, const UartFrame& frame) = 0;
    // Holds the line in break from atUs for durationUs (kBreakForever: until
    // the radio loses power).
    virtual void SendBreak(uint64_t atUs, uint64_t durationUs) = 0;
    // Drops everything the radio has not sent yet and ends a break.
    virtual void AbortTransmit() = 0;
};

// The simulated radio: its state, its mode machine (off → normal ⇄ bootstrap →
// loader) and its answers. It reacts to the bytes the line delivers and
// answers through the line; it owns no time of its own.
class SimRadio {
public:
    explicit SimRadio(SimRadioConfig config);
    SimRadio(const SimRadio&) = delete;
    SimRadio& operator=(const SimRadio&) = delete;

    // The line must outlive the radio or be detached (nullptr) first.
    void Attach(SimRadioLine* line) { m_line = line; }
    void SetFaults(const SimFaultPlan& plan);
    const SimFaultPlan& Faults() const { return m_faults; }

    // A character arrived from the host (already as the radio's receiver reads it).
    void Receive(uint8_t byte);
    // The frame the radio listens and talks with in its present mode.
    UartFrame Frame() const;
    // False once the adapter is unplugged (no local echo, nothing gets through).
    bool CableConnected() const { return !m_unplugged; }

    // What the operator does.
    void SetAdapter(bool flashMode) { m_state.adapterFlashMode = flashMode; }
    void PowerOff();
    void PowerOn();
    void PowerCycle();

    SimMode Mode() const { return m_state.mode; }
    // In bootstrap mode and not yet synchronised.
    bool AwaitingSync() const { return m_state.mode == SimMode::Bootstrap && !m_synced; }
    const SimRadioState& State() const { return m_state; }
    SimRadioState& MutableState() { return m_state; }
    const SimTiming& Timing() const { return m_timing; }
    const std::string& Profile() const { return m_profile; }
    uint8_t Region() const;
    // Occurrence counts the faults are scheduled by.
    uint32_t MessageCount() const { return m_messages; }
    uint32_t BlockCount() const { return m_blocks; }
    uint32_t BootCount() const { return m_boots; }
    uint32_t EraseCount() const { return m_erases; }
    uint32_t EepromWriteCount() const { return m_eepromWrites; }
    // Every framed request the radio has taken off the line, whole, in order
    // (tests look at what was sent, e.g. whether a reset came).
    const std::vector<std::vector<uint8_t>>& Requests() const { return m_requests; }
    // The bootcode bytes of the last download (whole blocks, padding included).
    const std::vector<uint8_t>& DownloadedBootcode() const { return m_download; }
    // Every stretch the radio spent on its modelled processing before it could
    // answer (answer delays, the announcement after power-up, block echoes,
    // the loader's start), in the order they began. Measurements of the line
    // take these as the radio's share of the time.
    const std::vector<SimSpan>& BusySpans() const { return m_busy; }

    // A line of what the radio does, for the pseudo-terminal program.
    void SetLog(std::function<void(const std::string&)> log) { m_log = std::move(log); }

    // Largest message the radio takes (the host's receive buffer size too).
    static constexpr uint32_t kMaxMessage = 261;
    static constexpr uint32_t kMaxBootcode = 8192; // RAM for a downloaded bootcode
    static constexpr uint16_t kTagAddress = 0x3FF0;

private:
    struct Answer {
        bool nak = false;
        uint64_t firstDelayUs = 0;        // before the ACK or NAK
        std::vector<uint8_t> reply;       // whole message; empty: the first answer only
        uint64_t replyDelayUs = 0;        // after the ACK
        std::function<void()> afterFirst; // runs once the ACK has been sent
    };

    void Log(const std::string& text) const;
    uint64_t Now() const;
    std::function<void()> Guarded(std::function<void()> action);
    void Boot();
    void EnterBootstrap();
    void EnterNormal();
    void Restart();
    void ChangeTag();

    void ReceiveFramed(uint8_t byte);
    void DropPartialRequest();
    void HandleMessage();
    void Send(Answer answer);
    Answer Execute(uint8_t opcode, const std::vector<uint8_t>& payload);
    Answer ReadInfo(const std::vector<uint8_t>& payload);
    Answer WriteInfo(const std::vector<uint8_t>& payload);
    Answer ReadMemory(const std::vector<uint8_t>& payload);
    Answer WriteMemory(const std::vector<uint8_t>& payload);
    Answer EraseFlash(const std::vector<uint8_t>& payload);
    Answer Reset();
    Answer NotSupported() const;
    Answer Ack(uint8_t replyOpcode, const std::vector<uint8_t>& replyPayload, uint64_t delayUs) const;
    Answer Nak() const;

    void Busy(uint64_t fromUs, uint64_t lengthUs);
    void ReceiveBootstrap(uint8_t byte);
    void FinishDownload();

    SimRadioLine* m_line = nullptr;
    SimRadioState m_state;
    SimTiming m_timing;
    std::string m_profile;
    SimFaultPlan m_faults;
    std::function<void(const std::string&)> m_log;

    uint32_t m_epoch = 0; // bumps on power loss and restart; stale timers check it
    bool m_unplugged = false;
    // The flash was erased since the loader started and power has not failed since.
    bool m_flashing = false;

    // Framed requests.
    std::vector<std::vector<uint8_t>> m_requests;
    std::vector<SimSpan> m_busy;
    MessageParser m_parser;
    std::vector<uint8_t> m_rx;
    uint64_t m_lastRxUs = 0;
    uint32_t m_rxGeneration = 0; // bumps with every byte; the gap timer checks it
    bool m_discarding = false;

    // Bootstrap download.
    bool m_synced = false;
    std::vector<uint8_t> m_block;
    std::vector<uint8_t> m_download;
    uint64_t m_echoEndUs = 0;
    uint32_t m_downloadGeneration = 0;

    uint32_t m_messages = 0;
    uint32_t m_blocks = 0;
    uint32_t m_boots = 0;
    uint32_t m_erases = 0;
    uint32_t m_eepromWrites = 0;
};

} // namespace vantrel
