#include "sim/SimSerialDevice.h"

#include <algorithm>

namespace vantrel {

SimSerialDevice::~SimSerialDevice()
{
    Close();
}

OpenResult SimSerialDevice::Open(const std::string& name)
{
    OpenResult result;
    if (m_open || !m_line->OpenHost()) {
        result.error = OpenError::InUse;
        result.message = "The simulated radio \"" + name + "\" is in use by another program.";
        return result;
    }
    m_open = true;
    m_limits = ReadLimits();
    // As the real backend does: a USB adapter is asked for its low-latency mode.
    m_line->RequestLowLatency();
    if (const std::string note = AdapterNote(m_line->HostFacts()); m_line->FirstReport(note))
        m_notes.push_back("simulated " + note);
    return result;
}

void SimSerialDevice::Close()
{
    if (!m_open) return;
    m_line->CloseHost();
    m_open = false;
}

bool SimSerialDevice::SetQueueSizes(uint32_t rxBytes, uint32_t txBytes)
{
    if (!m_open || rxBytes == 0 || txBytes == 0) return false;
    m_line->SetQueueSizes(rxBytes, txBytes);
    return true;
}

bool SimSerialDevice::Purge(unsigned flags)
{
    if (!m_open) return false;
    m_line->Purge(flags);
    return true;
}

bool SimSerialDevice::SetReadLimits(const ReadLimits& limits)
{
    if (!m_open) return false;
    m_limits = limits;
    return true;
}

bool SimSerialDevice::GetLineSettings(LineSettings& settings)
{
    if (!m_open) return false;
    settings = m_line->HostSettings();
    return true;
}

bool SimSerialDevice::SetLineSettings(const LineSettings& settings)
{
    if (!m_open) return false;
    if (settings.baudRate == 0 || settings.dataBits < 5 || settings.dataBits > 8 || settings.stopBits < 1 ||
        settings.stopBits > 2) {
        return false;
    }
    m_line->Sync();
    m_line->SetHostSettings(settings);
    return true;
}

bool SimSerialDevice::GetStatus(LineStatus& status)
{
    if (!m_open) return false;
    status = m_line->TakeStatus();
    return true;
}

int SimSerialDevice::Read(uint8_t* buffer, uint32_t count)
{
    if (!m_open) return -1;
    m_line->Sync();
    const uint64_t startUs = m_line->ClockUs();
    const uint64_t totalMs = uint64_t{m_limits.totalConstantMs} + uint64_t{m_limits.totalPerByteMs} * count;
    const uint64_t totalEndUs = totalMs ? startUs + totalMs * 1000 : ~0ull;
    uint32_t got = 0;
    uint64_t lastUs = 0;
    while (got < count) {
        got += m_line->TakeReceived(buffer + got, count - got, lastUs);
        if (got == count) break;
        const uint64_t now = m_line->ClockUs();
        uint64_t endUs = totalEndUs;
        // The gap limit counts from the last byte: more than intervalMs of silence ends the read.
        if (m_limits.intervalMs && got > 0) endUs = std::min(endUs, lastUs + uint64_t{m_limits.intervalMs} * 1000 + 1);
        if (now >= endUs) break;
        if (!m_line->WaitUntil(endUs)) break; // nothing can ever arrive
    }
    return static_cast<int>(got);
}

int SimSerialDevice::Write(const uint8_t* buffer, uint32_t count)
{
    if (!m_open) return -1;
    uint32_t written = 0;
    while (written < count) {
        written += m_line->HostWrite(buffer + written, count - written);
        // A planned stall holds the host up, as a loaded machine does.
        if (m_line->HostResumeUs() > m_line->ClockUs()) {
            m_line->PassUntil(m_line->HostResumeUs());
            continue;
        }
        // A full transmit queue blocks until characters have gone out.
        if (written < count && !m_line->WaitUntil(~0ull)) break;
    }
    return static_cast<int>(written);
}

std::vector<std::string> SimSerialDevice::TakeNotes()
{
    std::vector<std::string> notes;
    notes.swap(m_notes);
    return notes;
}

PortFacts SimSerialDevice::Facts() const
{
    return m_open ? m_line->HostFacts() : PortFacts();
}

void SimSerialDevice::WaitForActivity(uint32_t maxMs)
{
    if (!m_open) return;
    m_line->WaitUntil(m_line->ClockUs() + uint64_t{maxMs} * 1000);
}

} // namespace vantrel
