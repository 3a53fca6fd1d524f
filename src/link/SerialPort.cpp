#include "link/SerialPort.h"

#include <functional>

#include "link/Trace.h"
#include "platform/Runtime.h"

namespace vantrel {
namespace {

constexpr uint32_t kQueueSize = 4096;
constexpr uint32_t kReadIntervalMs = 250;
constexpr uint32_t kReadTotalMs = 1000;
constexpr uint32_t kMaxEchoedBlock = 52;
constexpr uint32_t kMaxTimedRead = 1024;
constexpr uint32_t kBreakClearMs = 1000;
constexpr uint32_t kErrorPollMs = 5;
constexpr uint32_t kErrorClearPollMs = 10;
constexpr unsigned kPurgeAll = PurgeTxAbort | PurgeRxAbort | PurgeTxClear | PurgeRxClear;

void TraceBytes(bool sent, const uint8_t* bytes, uint32_t count)
{
    if (count == 0) return;
    if (LinkTrace* trace = CurrentTrace()) trace->Bytes(sent, bytes, count);
}

// The radio interface's fixed line settings; only the rate varies.
void ApplyFixedSettings(LineSettings& s, uint32_t rate)
{
    s.baudRate = rate;
    s.dataBits = 8;
    s.parity = Parity::None;
    s.stopBits = 1;
    s.binary = true;
    s.ctsOutFlow = false;
    s.dsrOutFlow = false;
    s.dsrSensitivity = false;
    s.dtrOn = false;
    s.rtsOn = false;
    s.xonXoffOut = false;
    s.xonXoffIn = false;
    s.txContinueOnXoff = true;
    s.errorReplace = false;
    s.nullStrip = false;
    s.abortOnError = false;
}

}  // namespace

std::string PortNameFromIndex(int portIndex) { return "COM" + std::to_string(portIndex + 1); }

CSerialPort::~CSerialPort() { Close(); }

bool CSerialPort::Open(const std::string& portName, uint32_t rate)
{
    Close();
    m_portName = portName;
    std::string deviceName;
    m_device = CurrentDevices().CreateDevice(portName, deviceName);
    m_deviceName = deviceName;
    if (!m_device) {
        m_openResult = {OpenError::NoSuchDevice, "No device is assigned to " + portName + "."};
        TraceEvent("open " + portName + " failed: " + m_openResult.message);
        return false;
    }
    m_openResult = m_device->Open(deviceName);
    if (!m_openResult.Ok()) {
        TraceEvent("open " + portName + " failed: " + m_openResult.message);
        m_device.reset();
        return false;
    }

    // As on the original port, only the line settings decide the outcome.
    m_device->SetQueueSizes(kQueueSize, kQueueSize);
    m_device->Purge(kPurgeAll);
    m_device->SetReadLimits(ReadLimits{kReadIntervalMs, 0, kReadTotalMs});
    LineSettings settings;
    m_device->GetLineSettings(settings);
    ApplyFixedSettings(settings, rate);
    if (!m_device->SetLineSettings(settings)) {
        m_openResult = {OpenError::Other, "The device " + deviceName + " refused the line settings."};
        TraceEvent("open " + portName + " failed: " + m_openResult.message);
        m_device->Close();
        m_device.reset();
        return false;
    }
    m_settings = settings;
    TraceEvent("open " + portName + " (" + deviceName + ") at " + std::to_string(rate) + " Bd");
    for (const std::string& note : m_device->TakeNotes())
        TraceEvent(note);
    return true;
}

void CSerialPort::Close()
{
    if (!m_device) return;
    if (m_device->IsOpen()) {
        m_device->Purge(kPurgeAll);
        m_device->Close();
        TraceEvent("close " + m_portName);
    }
    m_device.reset();
}

bool CSerialPort::IsOpen() const { return m_device && m_device->IsOpen(); }

PortFacts CSerialPort::Facts() const
{
    return IsOpen() ? m_device->Facts() : PortFacts();
}

bool CSerialPort::SetBaudRate(uint32_t rate)
{
    if (!IsOpen()) return false;
    m_settings.baudRate = rate;
    m_device->SetLineSettings(m_settings);
    m_device->Purge(kPurgeAll);
    TraceEvent("rate " + std::to_string(rate) + " Bd, both directions purged");
    return true;
}

bool CSerialPort::SettleAndPurge()
{
    CurrentClock().Sleep(1000);
    if (IsOpen()) {
        m_device->Purge(kPurgeAll);
        TraceEvent("settled, both directions purged");
    }
    return true;
}

bool CSerialPort::PurgeInput()
{
    if (!IsOpen()) return false;
    TraceEvent("input purged");
    return m_device->Purge(PurgeRxAbort | PurgeRxClear);
}

uint32_t CSerialPort::Read(uint8_t* buffer, uint32_t count)
{
    if (!IsOpen() || buffer == nullptr || count == 0) return 0;
    const int n = m_device->Read(buffer, count);
    if (n <= 0) return 0;
    const uint32_t got = static_cast<uint32_t>(n) > count ? count : static_cast<uint32_t>(n);
    TraceBytes(false, buffer, got);
    return got;
}

int CSerialPort::ReadByte()
{
    uint8_t byte = 0;
    return Read(&byte, 1) == 1 ? byte : -1;
}

uint32_t CSerialPort::Write(const uint8_t* buffer, uint32_t count)
{
    if (!IsOpen() || buffer == nullptr || count == 0) return 0;
    const int n = m_device->Write(buffer, count);
    if (n <= 0) return 0;
    const uint32_t sent = static_cast<uint32_t>(n) > count ? count : static_cast<uint32_t>(n);
    TraceBytes(true, buffer, sent);
    return sent;
}

int CSerialPort::WriteByte(uint8_t byte) { return Write(&byte, 1) == 1 ? byte : -1; }

uint32_t CSerialPort::WriteEchoed(const uint8_t* buffer, uint32_t count, uint32_t limitMs)
{
    if (!IsOpen() || buffer == nullptr || count == 0 || count > kMaxEchoedBlock) return 0;
    LineStatus status;
    m_device->GetStatus(status);
    // A radio entering bootstrap mode holds a break; the block must not go out into it.
    if ((status.errors & kLineErrorBreak) != 0 && !WaitForErrorClear(kLineErrorBreak, kBreakClearMs)) return 0;
    if (status.inQueue != 0) m_device->Purge(PurgeTxClear | PurgeRxClear);

    const uint32_t echoWaitMs = limitMs / count + 1;
    Write(buffer, count);
    if (!WaitForInput(count, echoWaitMs)) return 0;
    uint8_t echo[kMaxEchoedBlock];
    return Read(echo, count) == count ? count : 0;
}

uint32_t CSerialPort::ReadTimed(uint8_t* buffer, uint32_t count, uint32_t limitMs)
{
    if (!IsOpen() || buffer == nullptr || count == 0 || count > kMaxTimedRead) return 0;
    // A failed wait still takes whatever has arrived, within the read limits.
    WaitForInput(count, limitMs);
    return Read(buffer, count);
}

bool CSerialPort::WaitUntil(const std::function<bool(const LineStatus&)>& condition, uint32_t pollSleepMs,
                            uint32_t limitMs)
{
    if (!IsOpen()) return false;
    Clock& clock = CurrentClock();
    const uint32_t start = clock.TickCount();
    uint32_t remaining = limitMs;
    for (;;) {
        LineStatus status;
        if (!m_device->GetStatus(status)) return false;
        if (condition(status)) return true;
        // Block on the device instead of spinning; it returns early when the line changes.
        if (pollSleepMs != 0) clock.Sleep(pollSleepMs);
        else m_device->WaitForActivity(remaining);
        const uint32_t elapsed = ElapsedTicks(start, clock.TickCount());
        // A program held up past the limit (a loaded machine) still takes
        // what arrived meanwhile.
        if (elapsed >= limitMs) return m_device->GetStatus(status) && condition(status);
        remaining = limitMs - elapsed;
    }
}

bool CSerialPort::WaitForInput(uint32_t count, uint32_t limitMs)
{
    return WaitUntil([count](const LineStatus& s) { return s.inQueue >= count; }, 0, limitMs);
}

bool CSerialPort::WaitForError(uint32_t mask, uint32_t limitMs)
{
    return WaitUntil([mask](const LineStatus& s) { return (s.errors & mask) != 0; }, kErrorPollMs, limitMs);
}

bool CSerialPort::WaitForErrorClear(uint32_t mask, uint32_t limitMs)
{
    return WaitUntil([mask](const LineStatus& s) { return (s.errors & mask) == 0; }, kErrorClearPollMs, limitMs);
}

bool CSerialPort::WaitForOutputDrained(uint32_t limitMs)
{
    return WaitUntil([](const LineStatus& s) { return s.outQueue == 0; }, 0, limitMs);
}

}  // namespace vantrel
