#pragma once

#include "platform/PortFacts.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

class Clock;

// Why a port could not be opened. The text is for the operator and names the cause.
enum class OpenError { None, NoSuchDevice, InUse, PermissionDenied, Other };

struct OpenResult {
    OpenError error = OpenError::None;
    std::string message;  // empty on success
    bool Ok() const { return error == OpenError::None; }
};

enum class Parity { None, Odd, Even };

// Line settings as the port keeps them; Open fills every field, SetBaudRate
// changes only the rate.
struct LineSettings {
    uint32_t baudRate = 9600;
    uint8_t dataBits = 8;
    Parity parity = Parity::None;
    uint8_t stopBits = 1;
    bool binary = true;
    bool ctsOutFlow = false;
    bool dsrOutFlow = false;
    bool dsrSensitivity = false;
    bool dtrOn = false;
    bool rtsOn = false;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    bool txContinueOnXoff = true;
    bool errorReplace = false;
    bool nullStrip = false;
    bool abortOnError = false;
};

// Read time limits: a read returns when the count has arrived, when more than
// intervalMs pass between two bytes, or when totalConstantMs + count *
// totalPerByteMs have passed since it began. 0 means "no limit" for each part.
struct ReadLimits {
    uint32_t intervalMs = 0;
    uint32_t totalPerByteMs = 0;
    uint32_t totalConstantMs = 0;
};

// Line-error flags reported by GetStatus.
constexpr uint32_t kLineErrorBreak = 0x10;

struct LineStatus {
    uint32_t errors = 0;  // line-error flags; reading them clears them
    uint32_t inQueue = 0;  // bytes waiting in the receive queue
    uint32_t outQueue = 0;  // bytes not yet sent
};

// Purge flags (abort pending work / clear the queue, per direction).
enum PurgeFlags : unsigned {
    PurgeTxAbort = 0x1,
    PurgeRxAbort = 0x2,
    PurgeTxClear = 0x4,
    PurgeRxClear = 0x8,
};

// The port primitives the serial port is written against, one backend per
// platform plus the simulated radio. Every call blocks the caller; nothing here
// keeps a thread.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens the named device exclusively; a second opener is refused.
    virtual OpenResult Open(const std::string& name) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    // Tells whether the named device exists and could be opened, for a list
    // of ports: without taking it and without leaving a trace on it. The
    // default opens it and closes it again.
    virtual OpenResult Probe(const std::string& name)
    {
        OpenResult result = Open(name);
        if (result.Ok()) Close();
        return result;
    }

    virtual bool SetQueueSizes(uint32_t rxBytes, uint32_t txBytes) = 0;
    virtual bool Purge(unsigned flags) = 0;
    virtual bool SetReadLimits(const ReadLimits& limits) = 0;
    virtual bool GetLineSettings(LineSettings& settings) = 0;
    virtual bool SetLineSettings(const LineSettings& settings) = 0;
    // Line-error flags and queue counts; fetching clears the error flags.
    virtual bool GetStatus(LineStatus& status) = 0;

    // Blocking read bounded by the read limits. Returns the number of bytes
    // read (0 when the limits ran out first), or -1 when the device failed.
    virtual int Read(uint8_t* buffer, uint32_t count) = 0;
    // Queues the bytes for sending. Returns the number accepted, -1 on failure.
    virtual int Write(const uint8_t* buffer, uint32_t count) = 0;

    // Blocks until something on the line may have changed the status (a byte
    // arrived, the transmit queue drained, a line error) or maxMs have passed.
    // This is how the port waits without spinning a core.
    virtual void WaitForActivity(uint32_t maxMs) = 0;

    // What kind of port this is (see PortFacts); a native port unless a
    // backend knows better.
    virtual PortFacts Facts() const { return {}; }
    // What the device found worth a line in the trace since it was opened (an
    // adapter's latency mode, exclusive mode left behind by a killed program);
    // taking them empties the list.
    virtual std::vector<std::string> TakeNotes() { return {}; }
};

// Creates the device behind a port name ("COM1" … "COM4", a device path, "sim",
// "sim:PROFILE") and tells which device name to Open it with. Returns nullptr
// for a name it cannot serve.
class DeviceFactory {
public:
    virtual ~DeviceFactory() = default;
    virtual std::unique_ptr<SerialDevice> CreateDevice(const std::string& portName, std::string& deviceName) = 0;
};

}  // namespace vantrel
