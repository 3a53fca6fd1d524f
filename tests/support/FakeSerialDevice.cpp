#include "support/FakeSerialDevice.h"

#include <algorithm>
#include <limits>

namespace vantrel {
namespace {

constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

// Hands every call to the fake the test owns.
class ForwardingDevice final : public SerialDevice {
public:
    explicit ForwardingDevice(FakeSerialDevice& target) : m_t(target) {}
    OpenResult Open(const std::string& name) override { return m_t.Open(name); }
    bool IsOpen() const override { return m_t.IsOpen(); }
    void Close() override { m_t.Close(); }
    bool SetQueueSizes(uint32_t rx, uint32_t tx) override { return m_t.SetQueueSizes(rx, tx); }
    bool Purge(unsigned flags) override { return m_t.Purge(flags); }
    bool SetReadLimits(const ReadLimits& limits) override { return m_t.SetReadLimits(limits); }
    bool GetLineSettings(LineSettings& s) override { return m_t.GetLineSettings(s); }
    bool SetLineSettings(const LineSettings& s) override { return m_t.SetLineSettings(s); }
    bool GetStatus(LineStatus& status) override { return m_t.GetStatus(status); }
    int Read(uint8_t* buffer, uint32_t count) override { return m_t.Read(buffer, count); }
    int Write(const uint8_t* buffer, uint32_t count) override { return m_t.Write(buffer, count); }
    void WaitForActivity(uint32_t maxMs) override { m_t.WaitForActivity(maxMs); }

private:
    FakeSerialDevice& m_t;
};

}  // namespace

std::vector<uint8_t> FakeSerialDevice::SentBytes() const
{
    std::vector<uint8_t> bytes;
    for (const SentByte& s : m_sent) bytes.push_back(s.byte);
    return bytes;
}

uint64_t FakeSerialDevice::ByteUs() const
{
    const uint32_t rate = m_settings.baudRate == 0 ? 9600 : m_settings.baudRate;
    return 10'000'000ull / rate;
}

void FakeSerialDevice::Reply(const std::vector<uint8_t>& bytes, uint32_t delayMs)
{
    uint64_t t = std::max(m_eventUs.value_or(NowUs()) + uint64_t{delayMs} * 1000, m_rxLineFreeUs);
    for (uint8_t b : bytes) {
        t += ByteUs();
        m_inbound.emplace(t, b);
    }
    m_rxLineFreeUs = t;
}

void FakeSerialDevice::ScheduleInbound(const std::vector<uint8_t>& bytes, uint64_t atMs)
{
    uint64_t t = std::max(atMs * 1000, m_rxLineFreeUs);
    for (uint8_t b : bytes) {
        t += ByteUs();
        m_inbound.emplace(t, b);
    }
    m_rxLineFreeUs = t;
}

std::optional<uint64_t> FakeSerialDevice::NextEventUs() const
{
    uint64_t next = kNever;
    if (!m_tx.empty()) next = m_tx.front().doneUs;
    if (!m_inbound.empty()) next = std::min(next, m_inbound.begin()->first);
    if (next == kNever) return std::nullopt;
    return next;
}

void FakeSerialDevice::Sync()
{
    const uint64_t now = NowUs();
    for (;;) {
        const auto next = NextEventUs();
        if (!next || *next > now) break;
        m_eventUs = *next;
        if (!m_tx.empty() && m_tx.front().doneUs == *next) {
            const SentByte sent = m_tx.front();
            m_tx.pop_front();
            if (m_echo) m_inbound.emplace(sent.doneUs + m_echoLatencyUs, sent.byte);
            RadioHears(sent.byte, sent.doneUs);
        } else {
            const auto it = m_inbound.begin();
            Deliver(it->second, it->first);
            m_inbound.erase(it);
        }
        m_eventUs.reset();
    }
}

void FakeSerialDevice::AdvanceTo(uint64_t us) { m_clock.SleepUntil((us + 999) / 1000); }

void FakeSerialDevice::Deliver(uint8_t byte, uint64_t atUs) { m_rx.push_back({byte, atUs}); }

void FakeSerialDevice::RadioHears(uint8_t byte, uint64_t /*atUs*/)
{
    if (m_byteResponder && m_byteResponder(byte, *this)) return;
    m_request.push_back(byte);
    if (!m_radioParser.Feed(byte)) return;
    const std::vector<uint8_t> request = std::move(m_request);
    m_request.clear();
    m_radioParser.Reset();
    if (m_responder) m_responder(request, *this);
}

OpenResult FakeSerialDevice::Open(const std::string& name)
{
    if (m_openFailure) return *m_openFailure;
    if (m_open) return {OpenError::InUse, name + " is in use by another program."};
    m_open = true;
    m_openedName = name;
    return {};
}

void FakeSerialDevice::Close()
{
    if (!m_open) return;
    m_open = false;
    ++m_closeCount;
}

bool FakeSerialDevice::SetQueueSizes(uint32_t rxBytes, uint32_t txBytes)
{
    m_rxQueueSize = rxBytes;
    m_txQueueSize = txBytes;
    return m_open;
}

bool FakeSerialDevice::Purge(unsigned flags)
{
    if (!m_open) return false;
    Sync();
    m_purges.push_back(flags);
    if (flags & PurgeRxClear) m_rx.clear();
    if (flags & (PurgeTxAbort | PurgeTxClear)) {
        m_tx.clear();
        m_txFreeUs = NowUs();
    }
    return true;
}

bool FakeSerialDevice::SetReadLimits(const ReadLimits& limits)
{
    m_limits = limits;
    return m_open;
}

bool FakeSerialDevice::GetLineSettings(LineSettings& settings)
{
    settings = m_settings;
    return m_open;
}

bool FakeSerialDevice::SetLineSettings(const LineSettings& settings)
{
    if (!m_open || m_refuseSettings) return false;
    m_settings = settings;
    return true;
}

bool FakeSerialDevice::GetStatus(LineStatus& status)
{
    if (!m_open) return false;
    Sync();
    status.errors = m_errors | (m_breakHeld ? kLineErrorBreak : 0);
    m_errors = 0;
    status.inQueue = static_cast<uint32_t>(m_rx.size());
    status.outQueue = static_cast<uint32_t>(m_tx.size());
    return true;
}

int FakeSerialDevice::Read(uint8_t* buffer, uint32_t count)
{
    if (!m_open) return -1;
    const uint64_t startUs = NowUs();
    uint64_t lastUs = 0;
    uint32_t got = 0;
    for (;;) {
        Sync();
        while (got < count && !m_rx.empty()) {
            buffer[got++] = m_rx.front().byte;
            lastUs = std::max(m_rx.front().arrivedUs, startUs);
            m_rx.pop_front();
            m_lastReadMs = m_clock.NowMs();
        }
        if (got == count) return static_cast<int>(got);
        uint64_t deadline = kNever;
        if (m_limits.totalConstantMs || m_limits.totalPerByteMs)
            deadline = startUs + (uint64_t{m_limits.totalConstantMs} + uint64_t{m_limits.totalPerByteMs} * count) * 1000;
        if (got > 0 && m_limits.intervalMs) deadline = std::min(deadline, lastUs + uint64_t{m_limits.intervalMs} * 1000);
        if (NowUs() >= deadline) return static_cast<int>(got);
        const auto next = NextEventUs();
        const uint64_t target = next ? std::min(*next, deadline) : deadline;
        // No limits and nothing on its way: a real port would block forever.
        if (target == kNever) return static_cast<int>(got);
        AdvanceTo(target);
    }
}

int FakeSerialDevice::Write(const uint8_t* buffer, uint32_t count)
{
    if (!m_open) return -1;
    Sync();
    const uint64_t now = NowUs();
    for (uint32_t i = 0; i < count; ++i) {
        m_txFreeUs = std::max(m_txFreeUs, now) + ByteUs();
        const SentByte sent{buffer[i], now, m_txFreeUs};
        m_tx.push_back(sent);
        m_sent.push_back(sent);
    }
    return static_cast<int>(count);
}

void FakeSerialDevice::WaitForActivity(uint32_t maxMs)
{
    Sync();
    const uint64_t limit = NowUs() + uint64_t{maxMs} * 1000;
    const auto next = NextEventUs();
    AdvanceTo(next ? std::min(*next, limit) : limit);
    Sync();
}

std::unique_ptr<SerialDevice> FakeDeviceFactory::CreateDevice(const std::string& portName, std::string& deviceName)
{
    m_requested.push_back(portName);
    if (m_missing.count(portName)) return nullptr;
    deviceName = "fake:" + portName;
    return std::make_unique<ForwardingDevice>(m_device);
}

}  // namespace vantrel
