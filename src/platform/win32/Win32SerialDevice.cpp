#include "platform/win32/Win32SerialDevice.h"

#include <algorithm>

namespace vantrel {
namespace {

// Every event the waits care about: a byte in, the transmit queue empty, a
// break or another line error.
constexpr uint32_t kEventMask = comm::kEvRxChar | comm::kEvTxEmpty | comm::kEvBreak | comm::kEvErr;
// A write may take 5 s more than its bytes need at 2400 Bd (4.2 ms a byte)
// before the device is taken for dead.
constexpr uint32_t kWriteMsPerByte = 5;
constexpr uint32_t kWriteStallMs = 5000;
// The line errors a port reports; the rest of the driver's error word is about
// its own buffers and modes.
constexpr uint32_t kLineErrorFlags =
    comm::kCeRxOver | comm::kCeOverrun | comm::kCeRxParity | comm::kCeFrame | comm::kCeBreak;
// Pauses for drivers that answer a wait at once while bytes sit in the queue,
// or cannot wait at all: short enough for a byte at 115,200 Bd to be noticed
// soon, long enough not to spin a core.
constexpr uint32_t kQueueWaitPauseMs = 1;
constexpr uint32_t kNoWaitPauseMs = 2;
constexpr unsigned kPurgeAll = PurgeTxAbort | PurgeRxAbort | PurgeTxClear | PurgeRxClear;

OpenResult Failure(OpenError error, std::string message)
{
    return OpenResult{error, std::move(message)};
}

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}

} // namespace

std::string Win32DevicePath(const std::string& name)
{
    if (name.empty() || std::any_of(name.begin(), name.end(), IsPathSeparator)) return name;
    return "\\\\.\\" + name;
}

OpenResult Win32OpenFailure(uint32_t error)
{
    switch (error) {
    case comm::kErrorFileNotFound:
    case comm::kErrorPathNotFound:
    case comm::kErrorBadUnit:
    case comm::kErrorDevNotExist:
    case comm::kErrorInvalidName:
    case comm::kErrorDeviceNotConnected:
        return Failure(OpenError::NoSuchDevice, "no such port");
    case comm::kErrorSharingViolation:
        return Failure(OpenError::InUse, "in use by another program");
    case comm::kErrorAccessDenied:
        // A port is opened exclusively, so this is nearly always another holder.
        return Failure(OpenError::InUse, "in use by another program, or access denied");
    case comm::kErrorGenFailure:
    case comm::kErrorNotReady:
        return Failure(OpenError::Other, "the port refused to open (the device does not respond)");
    default:
        return Failure(OpenError::Other, "the port refused to open (system error " + std::to_string(error) + ")");
    }
}

CommTimeouts Win32Timeouts(const ReadLimits& limits)
{
    CommTimeouts t;
    t.readInterval = limits.intervalMs;
    t.readTotalMultiplier = limits.totalPerByteMs;
    t.readTotalConstant = limits.totalConstantMs;
    t.writeTotalMultiplier = kWriteMsPerByte;
    t.writeTotalConstant = kWriteStallMs;
    return t;
}

bool Win32StateFromSettings(const LineSettings& s, CommState& state)
{
    if (s.baudRate == 0 || s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2)) return false;
    CommState c = state;
    c.baudRate = s.baudRate;
    c.binary = s.binary;
    c.parityCheck = s.parity != Parity::None;
    c.outxCtsFlow = s.ctsOutFlow;
    c.outxDsrFlow = s.dsrOutFlow;
    c.dtrControl = s.dtrOn ? comm::kDtrControlEnable : comm::kDtrControlDisable;
    c.dsrSensitivity = s.dsrSensitivity;
    c.txContinueOnXoff = s.txContinueOnXoff;
    c.outX = s.xonXoffOut;
    c.inX = s.xonXoffIn;
    c.errorChar = s.errorReplace;
    c.nullStrip = s.nullStrip;
    c.rtsControl = s.rtsOn ? comm::kRtsControlEnable : comm::kRtsControlDisable;
    c.abortOnError = s.abortOnError;
    c.byteSize = s.dataBits;
    c.parity = s.parity == Parity::Odd    ? comm::kOddParity
               : s.parity == Parity::Even ? comm::kEvenParity
                                          : comm::kNoParity;
    c.stopBits = s.stopBits == 2 ? comm::kTwoStopBits : comm::kOneStopBit;
    state = c;
    return true;
}

bool Win32SettingsFromState(const CommState& c, LineSettings& settings)
{
    LineSettings s;
    switch (c.parity) {
    case comm::kNoParity:
        s.parity = Parity::None;
        break;
    case comm::kOddParity:
        s.parity = Parity::Odd;
        break;
    case comm::kEvenParity:
        s.parity = Parity::Even;
        break;
    default:
        return false; // mark and space parity have no place in the settings
    }
    if (c.byteSize < 5 || c.byteSize > 8 || c.stopBits == comm::kOne5StopBits) return false;
    s.baudRate = c.baudRate;
    s.dataBits = c.byteSize;
    s.stopBits = c.stopBits == comm::kTwoStopBits ? 2 : 1;
    s.binary = c.binary;
    s.ctsOutFlow = c.outxCtsFlow;
    s.dsrOutFlow = c.outxDsrFlow;
    s.dsrSensitivity = c.dsrSensitivity;
    // Handshake and toggle modes drive the line too.
    s.dtrOn = c.dtrControl != comm::kDtrControlDisable;
    s.rtsOn = c.rtsControl != comm::kRtsControlDisable;
    s.xonXoffOut = c.outX;
    s.xonXoffIn = c.inX;
    s.txContinueOnXoff = c.txContinueOnXoff;
    s.errorReplace = c.errorChar;
    s.nullStrip = c.nullStrip;
    s.abortOnError = c.abortOnError;
    settings = s;
    return true;
}

uint32_t Win32LineErrors(uint32_t commErrors)
{
    static_assert(comm::kCeBreak == kLineErrorBreak, "the port's break flag is the driver's");
    return commErrors & kLineErrorFlags;
}

Win32SerialDevice::~Win32SerialDevice()
{
    Close();
}

OpenResult Win32SerialDevice::Open(const std::string& name)
{
    Close();
    uint32_t error = 0;
    std::unique_ptr<CommPort> port = m_api.Open(Win32DevicePath(name), error);
    if (!port) return Win32OpenFailure(error);

    CommState state;
    if (!port->GetState(state)) return Failure(OpenError::Other, "not a serial port");
    m_port = std::move(port);
    m_eventBreak = false;
    m_driverFlagsBreaks = false;
    m_heldErrors = 0;
    m_lastInQueue = 0;
    m_port->SetMask(kEventMask);
    SetReadLimits(ReadLimits{});

    // 8N1 without flow control and with DTR and RTS off, at the rate the driver
    // already runs (a caller sets its own rate afterwards).
    LineSettings settings;
    settings.baudRate = state.baudRate != 0 ? state.baudRate : 9600;
    if (!SetLineSettings(settings)) {
        Close();
        return Failure(OpenError::Other, "the port refused the line settings");
    }
    // Arms the event wait, so that a break from now on is not missed.
    uint32_t events = 0;
    if (m_port->WaitEvent(0, events)) NoteEvents(events);
    return {};
}

void Win32SerialDevice::Close()
{
    if (!m_port) return;
    m_port->SetMask(0);
    m_port->Purge(kPurgeAll);
    m_port.reset();
}

bool Win32SerialDevice::SetQueueSizes(uint32_t rxBytes, uint32_t txBytes)
{
    return m_port && m_port->SetupQueues(rxBytes, txBytes);
}

bool Win32SerialDevice::Purge(unsigned flags)
{
    static_assert(PurgeTxAbort == 0x1 && PurgeRxAbort == 0x2 && PurgeTxClear == 0x4 && PurgeRxClear == 0x8,
                  "purge flags are the driver's");
    return m_port && m_port->Purge(flags & kPurgeAll);
}

bool Win32SerialDevice::SetReadLimits(const ReadLimits& limits)
{
    return m_port && m_port->SetTimeouts(Win32Timeouts(limits));
}

bool Win32SerialDevice::GetLineSettings(LineSettings& settings)
{
    CommState state;
    return m_port && m_port->GetState(state) && Win32SettingsFromState(state, settings);
}

bool Win32SerialDevice::SetLineSettings(const LineSettings& settings)
{
    // The driver's characters and limits stay as it reports them.
    CommState state;
    if (!m_port || !m_port->GetState(state)) return false;
    return Win32StateFromSettings(settings, state) && m_port->SetState(state);
}

void Win32SerialDevice::NoteEvents(uint32_t events)
{
    if (events & comm::kEvBreak) m_eventBreak = true;
}

bool Win32SerialDevice::GetStatus(LineStatus& status)
{
    if (!m_port) return false;
    // Events first: the driver flags a break among its errors before it
    // signals the event, so a break seen here is in the errors fetched next.
    uint32_t events = 0;
    if (m_port->WaitEvent(0, events)) NoteEvents(events);
    CommStatus driver;
    if (!m_port->ClearError(driver)) return false;
    const uint32_t errors = Win32LineErrors(driver.errors | m_heldErrors);
    m_heldErrors = 0;
    if (errors & kLineErrorBreak) m_driverFlagsBreaks = true;
    const bool eventOnly = m_eventBreak && !m_driverFlagsBreaks;
    m_eventBreak = false;
    status.errors = errors | (eventOnly ? kLineErrorBreak : 0);
    status.inQueue = driver.inQueue;
    status.outQueue = driver.outQueue;
    m_lastInQueue = driver.inQueue;
    return true;
}

int Win32SerialDevice::Read(uint8_t* buffer, uint32_t count)
{
    if (!m_port) return -1;
    if (count == 0) return 0;
    count = std::min<uint32_t>(count, INT32_MAX); // the result must fit
    uint32_t got = 0;
    const bool ok = m_port->Read(buffer, count, got);
    got = std::min(got, count);
    if (!ok && got == 0) return -1;
    return static_cast<int>(got);
}

int Win32SerialDevice::Write(const uint8_t* buffer, uint32_t count)
{
    if (!m_port) return -1;
    count = std::min<uint32_t>(count, INT32_MAX); // the result must fit
    uint32_t sent = 0;
    const bool ok = m_port->Write(buffer, count, sent);
    sent = std::min(sent, count);
    if (!ok && sent == 0 && count != 0) return -1;
    return static_cast<int>(sent);
}

void Win32SerialDevice::WaitForActivity(uint32_t maxMs)
{
    if (!m_port) {
        m_api.Sleep(maxMs); // nothing will change on a closed device
        return;
    }
    uint32_t events = 0;
    if (!m_port->WaitEvent(maxMs, events)) {
        m_api.Sleep(std::min(maxMs, kNoWaitPauseMs));
        return;
    }
    NoteEvents(events);
    if (events != comm::kEvRxChar || maxMs == 0) return;
    // Some drivers (Wine's among them) answer at once for as long as bytes
    // wait in the queue. Without a new byte that would spin the caller.
    CommStatus driver;
    if (!m_port->ClearError(driver)) return;
    m_heldErrors |= driver.errors;
    if (driver.inQueue == m_lastInQueue) m_api.Sleep(std::min(maxMs, kQueueWaitPauseMs));
    m_lastInQueue = driver.inQueue;
}

} // namespace vantrel
