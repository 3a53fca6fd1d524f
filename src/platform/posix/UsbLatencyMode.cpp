#include "platform/posix/UsbLatencyMode.h"

#include <cstring>

namespace vantrel {

PortFacts CUsbLatencyMode::Enter(int fd, std::string& note)
{
    m_changed = false;
    PortFacts facts;
    note.clear();
    if (!m_kernel.IsUsbDevice(fd)) return facts;
    facts.usbAdapter = true;
    facts.lowLatency = LowLatency::Refused;

    std::string refusal;
    int flags = 0;
    if (const int err = m_kernel.GetSerialFlags(fd, flags); err != 0) {
        refusal = std::strerror(err);
    } else if ((flags & kSerialLowLatencyFlag) != 0) {
        facts.lowLatency = LowLatency::On;
    } else if (const int setErr = m_kernel.SetSerialFlags(fd, flags | kSerialLowLatencyFlag); setErr != 0) {
        refusal = std::strerror(setErr);
    } else {
        m_changed = true;
        m_previousFlags = flags;
        // Some drivers take the request and keep their timer: believe only what reads back.
        int now = 0;
        if (m_kernel.GetSerialFlags(fd, now) == 0 && (now & kSerialLowLatencyFlag) != 0)
            facts.lowLatency = LowLatency::On;
        else
            refusal = "the driver did not keep it";
    }
    if (const auto latency = m_kernel.LatencyTimerMs(fd)) facts.latencyMs = *latency;
    note = AdapterNote(facts);
    if (!refusal.empty()) note += " (" + refusal + ")";
    return facts;
}

void CUsbLatencyMode::Leave(int fd)
{
    if (!m_changed) return;
    m_changed = false;
    int flags = 0;
    if (m_kernel.GetSerialFlags(fd, flags) != 0) return;
    const int restored = (flags & ~kSerialLowLatencyFlag) | (m_previousFlags & kSerialLowLatencyFlag);
    if (restored != flags) m_kernel.SetSerialFlags(fd, restored);
}

} // namespace vantrel
