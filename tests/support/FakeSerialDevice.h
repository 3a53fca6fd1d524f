#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/MessageFormat.h"
#include "platform/Clock.h"
#include "platform/SerialDevice.h"

namespace vantrel {

// A deterministic serial line on a virtual clock. Each byte costs 10 bit times
// at the current rate in either direction; written bytes come back as the
// interface's local echo (switchable, with an optional extra latency) and reach
// the "radio", which is a responder called with every complete request. Time
// moves only inside blocking calls (Read, WaitForActivity) and clock sleeps.
class FakeSerialDevice final : public SerialDevice {
public:
    using Responder = std::function<void(const std::vector<uint8_t>& request, FakeSerialDevice& device)>;
    // A radio that takes the line byte by byte (the bootstrap ROM); returns
    // false to hand the byte on to the framed-request responder.
    using ByteResponder = std::function<bool(uint8_t byte, FakeSerialDevice& device)>;

    struct SentByte {
        uint8_t byte;
        uint64_t writtenUs;  // when Write took it
        uint64_t doneUs;  // when its last bit left
    };

    explicit FakeSerialDevice(VirtualClock& clock) : m_clock(clock) {}

    // --- what the test arranges ---
    void SetEcho(bool on) { m_echo = on; }
    void SetEchoLatencyMs(uint32_t ms) { m_echoLatencyUs = uint64_t{ms} * 1000; }
    void SetResponder(Responder responder) { m_responder = std::move(responder); }
    void SetByteResponder(ByteResponder responder) { m_byteResponder = std::move(responder); }
    // Inbound bytes at the line rate, the first starting delayMs after the
    // current event (the end of the request inside a responder, else now).
    void Reply(const std::vector<uint8_t>& bytes, uint32_t delayMs = 0);
    // Inbound bytes starting at an absolute time.
    void ScheduleInbound(const std::vector<uint8_t>& bytes, uint64_t atMs);
    void HoldBreak(bool held) { m_breakHeld = held; }
    void RaiseBreak() { m_errors |= kLineErrorBreak; }
    void FailOpenWith(OpenResult result) { m_openFailure = std::move(result); }
    void RefuseLineSettings(bool refuse) { m_refuseSettings = refuse; }
    // What the driver reports before the port applies its own settings.
    void SetDriverSettings(const LineSettings& settings) { m_settings = settings; }

    // --- what the test observes ---
    const std::vector<SentByte>& Sent() const { return m_sent; }
    std::vector<uint8_t> SentBytes() const;
    const std::vector<unsigned>& Purges() const { return m_purges; }
    const LineSettings& Settings() const { return m_settings; }
    const ReadLimits& Limits() const { return m_limits; }
    uint32_t RxQueueSize() const { return m_rxQueueSize; }
    uint32_t TxQueueSize() const { return m_txQueueSize; }
    const std::string& OpenedName() const { return m_openedName; }
    size_t InQueue()
    {
        Sync();
        return m_rx.size();
    }
    // Clock time (ms) when Read last handed out a byte.
    uint64_t LastReadMs() const { return m_lastReadMs; }
    int CloseCount() const { return m_closeCount; }

    // --- SerialDevice ---
    OpenResult Open(const std::string& name) override;
    bool IsOpen() const override { return m_open; }
    void Close() override;
    bool SetQueueSizes(uint32_t rxBytes, uint32_t txBytes) override;
    bool Purge(unsigned flags) override;
    bool SetReadLimits(const ReadLimits& limits) override;
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    bool GetStatus(LineStatus& status) override;
    int Read(uint8_t* buffer, uint32_t count) override;
    int Write(const uint8_t* buffer, uint32_t count) override;
    void WaitForActivity(uint32_t maxMs) override;

private:
    struct RxByte {
        uint8_t byte;
        uint64_t arrivedUs;
    };

    uint64_t NowUs() { return m_clock.NowMs() * 1000; }
    uint64_t ByteUs() const;
    // Runs every line event up to now, in time order.
    void Sync();
    std::optional<uint64_t> NextEventUs() const;
    void AdvanceTo(uint64_t us);
    void Deliver(uint8_t byte, uint64_t atUs);
    void RadioHears(uint8_t byte, uint64_t atUs);

    VirtualClock& m_clock;
    bool m_open = false;
    int m_closeCount = 0;
    std::string m_openedName;
    std::optional<OpenResult> m_openFailure;
    bool m_refuseSettings = false;
    LineSettings m_settings;
    ReadLimits m_limits;
    uint32_t m_rxQueueSize = 0;
    uint32_t m_txQueueSize = 0;
    bool m_echo = true;
    uint64_t m_echoLatencyUs = 0;
    bool m_breakHeld = false;
    uint32_t m_errors = 0;

    std::deque<SentByte> m_tx;  // not yet fully sent
    std::multimap<uint64_t, uint8_t> m_inbound;  // scheduled arrivals
    uint64_t m_txFreeUs = 0;
    uint64_t m_rxLineFreeUs = 0;
    std::deque<RxByte> m_rx;  // the receive queue
    std::optional<uint64_t> m_eventUs;  // set while an event runs

    MessageParser m_radioParser;
    std::vector<uint8_t> m_request;
    Responder m_responder;
    ByteResponder m_byteResponder;

    std::vector<SentByte> m_sent;
    std::vector<unsigned> m_purges;
    uint64_t m_lastReadMs = 0;
};

// Serves one FakeSerialDevice (owned by the test) under every port name but
// the ones marked missing; the port gets a forwarding handle, so the fake
// outlives every open and close.
class FakeDeviceFactory final : public DeviceFactory {
public:
    explicit FakeDeviceFactory(FakeSerialDevice& device) : m_device(device) {}
    void MarkMissing(const std::string& portName) { m_missing.insert(portName); }
    const std::vector<std::string>& Requested() const { return m_requested; }

    std::unique_ptr<SerialDevice> CreateDevice(const std::string& portName, std::string& deviceName) override;

private:
    FakeSerialDevice& m_device;
    std::set<std::string> m_missing;
    std::vector<std::string> m_requested;
};

}  // namespace vantrel
