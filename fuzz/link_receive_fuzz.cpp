// Arbitrary bytes from the radio into CRadioLink::Receive: it must neither
// crash, nor overrun a buffer, nor hang, whatever the radio sends and however
// it pauses.
//
// Input: byte 0 picks the receive timeout, byte 1 how often the line falls
// silent for longer than a read waits; the rest is what the radio sends, one
// byte per millisecond.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "link/RadioLink.h"
#include "platform/Runtime.h"

namespace {

using namespace vantrel;

class ScriptedLine final : public SerialDevice {
public:
    ScriptedLine(VirtualClock& clock, const uint8_t* data, size_t size, uint32_t silenceEvery)
        : m_clock(clock)
    {
        uint64_t t = clock.NowMs();
        for (size_t i = 0; i < size; ++i) {
            t += (silenceEvery != 0 && i % silenceEvery == silenceEvery - 1) ? 1200 : 1;
            m_bytes.push_back({data[i], t});
        }
    }

    OpenResult Open(const std::string&) override
    {
        m_open = true;
        return {};
    }
    bool IsOpen() const override { return m_open; }
    void Close() override { m_open = false; }
    bool SetQueueSizes(uint32_t, uint32_t) override { return true; }
    bool Purge(unsigned flags) override
    {
        if (flags & PurgeRxClear) {
            while (m_next < m_bytes.size() && m_bytes[m_next].at <= m_clock.NowMs()) ++m_next;
        }
        return true;
    }
    bool SetReadLimits(const ReadLimits& limits) override
    {
        m_limits = limits;
        return true;
    }
    bool GetLineSettings(LineSettings& s) override
    {
        s = m_settings;
        return true;
    }
    bool SetLineSettings(const LineSettings& s) override
    {
        m_settings = s;
        return true;
    }
    bool GetStatus(LineStatus& status) override
    {
        status = {};
        for (size_t i = m_next; i < m_bytes.size() && m_bytes[i].at <= m_clock.NowMs(); ++i) ++status.inQueue;
        return true;
    }
    // One-byte reads are all the link does; longer ones are served the same way.
    int Read(uint8_t* buffer, uint32_t count) override
    {
        const uint64_t deadline = m_clock.NowMs() + m_limits.totalConstantMs;
        uint32_t got = 0;
        while (got < count && m_next < m_bytes.size() && m_bytes[m_next].at <= deadline) {
            m_clock.SleepUntil(m_bytes[m_next].at);
            buffer[got++] = m_bytes[m_next++].byte;
        }
        if (got == 0) m_clock.SleepUntil(deadline);
        return static_cast<int>(got);
    }
    int Write(const uint8_t*, uint32_t count) override { return static_cast<int>(count); }
    void WaitForActivity(uint32_t maxMs) override { m_clock.Sleep(maxMs); }

    bool Exhausted() const { return m_next >= m_bytes.size(); }

private:
    struct Timed {
        uint8_t byte;
        uint64_t at;
    };
    VirtualClock& m_clock;
    std::vector<Timed> m_bytes;
    size_t m_next = 0;
    bool m_open = false;
    ReadLimits m_limits;
    LineSettings m_settings;
};

class OneLine final : public DeviceFactory {
public:
    explicit OneLine(std::unique_ptr<ScriptedLine> line) : m_line(std::move(line)), m_raw(m_line.get()) {}
    std::unique_ptr<SerialDevice> CreateDevice(const std::string&, std::string& deviceName) override
    {
        deviceName = "fuzz";
        return std::move(m_line);
    }
    ScriptedLine* Line() const { return m_raw; }

private:
    std::unique_ptr<ScriptedLine> m_line;
    ScriptedLine* m_raw;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint32_t timeoutMs = uint32_t{data[0]} * 20;
    const uint32_t silenceEvery = data[1] % 8;
    VirtualClock clock;
    OneLine devices(std::make_unique<ScriptedLine>(clock, data + 2, size - 2, silenceEvery));
    ScopedRuntime runtime(clock, devices);
    CSerialPort port;
    if (!port.Open("COM1", 9600)) std::abort();
    CRadioLink link;
    link.Attach(&port);

    // Every receive either takes at least one byte or finds the line silent,
    // and a byte after a long silence costs at most two rounds, so this ends;
    // the bound only guards against a regression that loops.
    for (size_t round = 0; round <= 3 * size + 4; ++round) {
        uint8_t payload[kReceiveBufferSize + 16];
        for (size_t i = kReceiveBufferSize; i < sizeof payload; ++i) payload[i] = 0xA5;
        uint8_t opcode = 0;
        uint32_t length = 0xDEADBEEF;
        const int32_t status = link.Receive(opcode, payload, length, timeoutMs);
        if (status == LinkOk && length > kReceiveBufferSize - 3) std::abort();
        for (size_t i = kReceiveBufferSize; i < sizeof payload; ++i) {
            if (payload[i] != 0xA5) std::abort();
        }
        if (status == LinkNoResponse && devices.Line()->Exhausted()) return 0;
    }
    std::abort();
}
