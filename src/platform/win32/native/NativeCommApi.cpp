// The communications functions themselves, behind CommApi. Everything this
// layer decides is how to drive overlapped I/O; what the answers mean is
// Win32SerialDevice's business.

#include "platform/Clock.h"
#include "platform/win32/Win32SerialDevice.h"
#include "platform/win32/native/WideText.h"

#include <windows.h>

namespace vantrel {
namespace {

static_assert(comm::kErrorFileNotFound == ERROR_FILE_NOT_FOUND && comm::kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
              comm::kErrorAccessDenied == ERROR_ACCESS_DENIED &&
              comm::kErrorSharingViolation == ERROR_SHARING_VIOLATION && comm::kErrorGenFailure == ERROR_GEN_FAILURE &&
              comm::kErrorNotReady == ERROR_NOT_READY && comm::kErrorBadUnit == ERROR_BAD_UNIT &&
              comm::kErrorDevNotExist == ERROR_DEV_NOT_EXIST && comm::kErrorInvalidName == ERROR_INVALID_NAME &&
              comm::kErrorInvalidParameter == ERROR_INVALID_PARAMETER &&
              comm::kErrorDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED &&
              comm::kErrorInvalidFunction == ERROR_INVALID_FUNCTION &&
              comm::kErrorNotSupported == ERROR_NOT_SUPPORTED && comm::kErrorFileInvalid == ERROR_FILE_INVALID);
static_assert(comm::kCeRxOver == CE_RXOVER && comm::kCeOverrun == CE_OVERRUN && comm::kCeRxParity == CE_RXPARITY &&
              comm::kCeFrame == CE_FRAME && comm::kCeBreak == CE_BREAK);
static_assert(comm::kEvRxChar == EV_RXCHAR && comm::kEvTxEmpty == EV_TXEMPTY && comm::kEvBreak == EV_BREAK &&
              comm::kEvErr == EV_ERR);
static_assert(comm::kDtrControlDisable == DTR_CONTROL_DISABLE && comm::kDtrControlEnable == DTR_CONTROL_ENABLE &&
              comm::kRtsControlDisable == RTS_CONTROL_DISABLE && comm::kRtsControlEnable == RTS_CONTROL_ENABLE);
static_assert(comm::kNoParity == NOPARITY && comm::kOddParity == ODDPARITY && comm::kEvenParity == EVENPARITY &&
              comm::kOneStopBit == ONESTOPBIT && comm::kOne5StopBits == ONE5STOPBITS &&
              comm::kTwoStopBits == TWOSTOPBITS);
static_assert(PurgeTxAbort == PURGE_TXABORT && PurgeRxAbort == PURGE_RXABORT && PurgeTxClear == PURGE_TXCLEAR &&
              PurgeRxClear == PURGE_RXCLEAR);

// A manual-reset event that closes itself.
class EventHandle {
public:
    EventHandle() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~EventHandle()
    {
        if (m_handle) CloseHandle(m_handle);
    }
    EventHandle(const EventHandle&) = delete;
    EventHandle& operator=(const EventHandle&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

class NativeCommPort final : public CommPort {
public:
    explicit NativeCommPort(HANDLE handle) : m_handle(handle) {}
    ~NativeCommPort() override
    {
        if (m_waitPending) {
            // The record must outlive the wait: end it and see it ended.
            SetCommMask(m_handle, 0);
            CancelIo(m_handle);
            DWORD ignored = 0;
            GetOverlappedResult(m_handle, &m_waitRecord, &ignored, TRUE);
        }
        CloseHandle(m_handle);
    }
    NativeCommPort(const NativeCommPort&) = delete;
    NativeCommPort& operator=(const NativeCommPort&) = delete;

    bool SetMask(uint32_t events) override { return SetCommMask(m_handle, events) != 0; }
    bool SetupQueues(uint32_t rxBytes, uint32_t txBytes) override { return SetupComm(m_handle, rxBytes, txBytes) != 0; }
    bool Purge(uint32_t flags) override { return PurgeComm(m_handle, flags) != 0; }

    bool SetTimeouts(const CommTimeouts& t) override
    {
        COMMTIMEOUTS native{};
        native.ReadIntervalTimeout = t.readInterval;
        native.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
        native.ReadTotalTimeoutConstant = t.readTotalConstant;
        native.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
        native.WriteTotalTimeoutConstant = t.writeTotalConstant;
        return SetCommTimeouts(m_handle, &native) != 0;
    }

    bool GetState(CommState& s) override
    {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(m_handle, &dcb)) return false;
        s.baudRate = dcb.BaudRate;
        s.binary = dcb.fBinary;
        s.parityCheck = dcb.fParity;
        s.outxCtsFlow = dcb.fOutxCtsFlow;
        s.outxDsrFlow = dcb.fOutxDsrFlow;
        s.dtrControl = static_cast<uint8_t>(dcb.fDtrControl);
        s.dsrSensitivity = dcb.fDsrSensitivity;
        s.txContinueOnXoff = dcb.fTXContinueOnXoff;
        s.outX = dcb.fOutX;
        s.inX = dcb.fInX;
        s.errorChar = dcb.fErrorChar;
        s.nullStrip = dcb.fNull;
        s.rtsControl = static_cast<uint8_t>(dcb.fRtsControl);
        s.abortOnError = dcb.fAbortOnError;
        s.byteSize = dcb.ByteSize;
        s.parity = dcb.Parity;
        s.stopBits = dcb.StopBits;
        return true;
    }

    bool SetState(const CommState& s) override
    {
        // Characters and XON/XOFF limits stay as the driver has them.
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(m_handle, &dcb)) return false;
        dcb.BaudRate = s.baudRate;
        dcb.fBinary = s.binary;
        dcb.fParity = s.parityCheck;
        dcb.fOutxCtsFlow = s.outxCtsFlow;
        dcb.fOutxDsrFlow = s.outxDsrFlow;
        dcb.fDtrControl = s.dtrControl;
        dcb.fDsrSensitivity = s.dsrSensitivity;
        dcb.fTXContinueOnXoff = s.txContinueOnXoff;
        dcb.fOutX = s.outX;
        dcb.fInX = s.inX;
        dcb.fErrorChar = s.errorChar;
        dcb.fNull = s.nullStrip;
        dcb.fRtsControl = s.rtsControl;
        dcb.fAbortOnError = s.abortOnError;
        dcb.ByteSize = s.byteSize;
        dcb.Parity = s.parity;
        dcb.StopBits = s.stopBits;
        return SetCommState(m_handle, &dcb) != 0;
    }

    bool ClearError(CommStatus& status) override
    {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(m_handle, &errors, &stat)) return false;
        status.errors = errors;
        status.inQueue = stat.cbInQue;
        status.outQueue = stat.cbOutQue;
        return true;
    }

    bool Read(uint8_t* buffer, uint32_t count, uint32_t& got) override
    {
        return Transfer(m_readEvent, got, [&](DWORD* done, OVERLAPPED* record) {
            return ReadFile(m_handle, buffer, count, done, record);
        });
    }

    bool Write(const uint8_t* buffer, uint32_t count, uint32_t& sent) override
    {
        return Transfer(m_writeEvent, sent, [&](DWORD* done, OVERLAPPED* record) {
            return WriteFile(m_handle, buffer, count, done, record);
        });
    }

    bool WaitEvent(uint32_t maxMs, uint32_t& events) override
    {
        events = 0;
        if (!m_waitPending) {
            ResetEvent(m_waitEvent.Get());
            m_waitRecord = OVERLAPPED{};
            m_waitRecord.hEvent = m_waitEvent.Get();
            m_waitMask = 0;
            if (WaitCommEvent(m_handle, &m_waitMask, &m_waitRecord)) {
                events = m_waitMask;
                return true;
            }
            if (GetLastError() != ERROR_IO_PENDING) return false;
            m_waitPending = true;
        }
        const DWORD woke = WaitForSingleObject(m_waitEvent.Get(), maxMs);
        if (woke == WAIT_TIMEOUT) return true;
        if (woke != WAIT_OBJECT_0) return false;
        m_waitPending = false;
        DWORD ignored = 0;
        // A wait ended by a mask change reports nothing.
        if (GetOverlappedResult(m_handle, &m_waitRecord, &ignored, FALSE)) events = m_waitMask;
        return true;
    }

private:
    // One overlapped transfer, waited for to its end; the time-outs bound it.
    template <typename Start> bool Transfer(const EventHandle& event, uint32_t& done, Start start)
    {
        done = 0;
        if (!event.Get()) return false;
        OVERLAPPED record{};
        record.hEvent = event.Get();
        ResetEvent(event.Get());
        DWORD n = 0;
        if (start(&n, &record)) {
            done = n;
            return true;
        }
        if (GetLastError() != ERROR_IO_PENDING) return false;
        const bool ok = GetOverlappedResult(m_handle, &record, &n, TRUE) != 0;
        done = n;
        return ok;
    }

    HANDLE m_handle;
    EventHandle m_readEvent;
    EventHandle m_writeEvent;
    EventHandle m_waitEvent;
    OVERLAPPED m_waitRecord{};
    DWORD m_waitMask = 0;
    bool m_waitPending = false;
};

class NativeCommApi final : public CommApi {
public:
    std::unique_ptr<CommPort> Open(const std::string& devicePath, uint32_t& error) override
    {
        const std::wstring path = WideFromUtf8(devicePath);
        const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return nullptr;
        }
        error = 0;
        return std::make_unique<NativeCommPort>(handle);
    }

    void Sleep(uint32_t ms) override { m_clock.Sleep(ms); }

private:
    RealClock m_clock;
};

} // namespace

std::unique_ptr<SerialDevice> MakeWin32SerialDevice(const std::string&)
{
    static NativeCommApi api;
    return std::make_unique<Win32SerialDevice>(api);
}

} // namespace vantrel
