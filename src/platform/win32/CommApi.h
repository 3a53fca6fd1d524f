#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vantrel {

// The handful of Windows communications functions the serial device is built
// on, behind an interface, so that what the device makes of their answers
// (status, errors, time limits) is plain code that tests drive with a fake on
// any platform. The values below are the system's own; the layer over the real
// functions checks them against its headers.
namespace comm {

// Error codes (GetLastError) that opening a port can meet.
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorBadUnit = 20;
constexpr uint32_t kErrorNotReady = 21;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorDevNotExist = 55;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorFileInvalid = 1006;
constexpr uint32_t kErrorDeviceNotConnected = 1167;

// Line errors (ClearCommError).
constexpr uint32_t kCeRxOver = 0x0001;
constexpr uint32_t kCeOverrun = 0x0002;
constexpr uint32_t kCeRxParity = 0x0004;
constexpr uint32_t kCeFrame = 0x0008;
constexpr uint32_t kCeBreak = 0x0010;

// Communication events (SetCommMask / WaitCommEvent).
constexpr uint32_t kEvRxChar = 0x0001;
constexpr uint32_t kEvTxEmpty = 0x0004;
constexpr uint32_t kEvBreak = 0x0040;
constexpr uint32_t kEvErr = 0x0080;

// Device-control block codes.
constexpr uint8_t kDtrControlDisable = 0;
constexpr uint8_t kDtrControlEnable = 1;
constexpr uint8_t kRtsControlDisable = 0;
constexpr uint8_t kRtsControlEnable = 1;
constexpr uint8_t kNoParity = 0;
constexpr uint8_t kOddParity = 1;
constexpr uint8_t kEvenParity = 2;
constexpr uint8_t kOneStopBit = 0;
constexpr uint8_t kOne5StopBits = 1;
constexpr uint8_t kTwoStopBits = 2;

} // namespace comm

// The communication time-outs of a port (COMMTIMEOUTS), in milliseconds.
struct CommTimeouts {
    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 0;
    uint32_t writeTotalConstant = 0;
};

// The device-control block fields the port sets (DCB). The characters and
// XON/XOFF limits are not carried: the real layer leaves them as the driver
// reports them.
struct CommState {
    uint32_t baudRate = 0;
    bool binary = true;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    uint8_t dtrControl = comm::kDtrControlDisable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = true;
    bool outX = false;
    bool inX = false;
    bool errorChar = false;
    bool nullStrip = false;
    uint8_t rtsControl = comm::kRtsControlDisable;
    bool abortOnError = false;
    uint8_t byteSize = 8;
    uint8_t parity = comm::kNoParity;
    uint8_t stopBits = comm::kOneStopBit;
};

// What ClearCommError answers: the line errors (cleared by asking) and the
// queue counts.
struct CommStatus {
    uint32_t errors = 0;
    uint32_t inQueue = 0;
    uint32_t outQueue = 0;
};

// One open port of the system; destroying it closes the handle. Every call
// answers as the function it stands for.
class CommPort {
public:
    virtual ~CommPort() = default;

    virtual bool SetMask(uint32_t events) = 0;
    virtual bool SetupQueues(uint32_t rxBytes, uint32_t txBytes) = 0;
    virtual bool Purge(uint32_t flags) = 0;
    virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
    virtual bool GetState(CommState& state) = 0;
    virtual bool SetState(const CommState& state) = 0;
    virtual bool ClearError(CommStatus& status) = 0;
    // Blocking transfers, bounded by the time-outs; false when the call failed.
    virtual bool Read(uint8_t* buffer, uint32_t count, uint32_t& got) = 0;
    virtual bool Write(const uint8_t* buffer, uint32_t count, uint32_t& sent) = 0;
    // Waits up to maxMs for one of the masked events and puts them in events
    // (0 when none came). An unfinished wait stays armed for the next call, so
    // no event is lost between calls; maxMs 0 only collects what has happened.
    // False when no wait could be armed.
    virtual bool WaitEvent(uint32_t maxMs, uint32_t& events) = 0;
};

// Opens ports: the device exclusively (no sharing), for reading and writing,
// existing devices only.
class CommApi {
public:
    virtual ~CommApi() = default;
    // Returns nullptr and the system's error code when the device cannot be opened.
    virtual std::unique_ptr<CommPort> Open(const std::string& devicePath, uint32_t& error) = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

} // namespace vantrel
