#pragma once

#include "platform/SerialDevice.h"
#include "platform/posix/ParmrkDecoder.h"
#include "platform/posix/SerialKernel.h"
#include "platform/posix/UsbLatencyMode.h"

#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// A serial device behind the terminal interface (termios): /dev/ttyS*,
// /dev/ttyUSB*, /dev/ttyACM*, a pseudo-terminal. The descriptor stays
// non-blocking; every blocking call waits in poll() so the time limits hold
// without spinning.
class PosixSerialDevice final : public SerialDevice {
public:
    explicit PosixSerialDevice(SerialKernel& kernel = SystemSerialKernel()) : m_kernel(kernel), m_latency(kernel) {}
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    OpenResult Open(const std::string& name) override;
    bool IsOpen() const override { return m_fd >= 0; }
    void Close() override;
    // Only character devices that are terminals count; their line settings
    // and modem lines are left as they were (put back should the driver have
    // changed them on the open).
    OpenResult Probe(const std::string& name) override;

    bool SetQueueSizes(uint32_t rxBytes, uint32_t txBytes) override;
    bool Purge(unsigned flags) override;
    bool SetReadLimits(const ReadLimits& limits) override;
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    bool GetStatus(LineStatus& status) override;

    int Read(uint8_t* buffer, uint32_t count) override;
    int Write(const uint8_t* buffer, uint32_t count) override;
    void WaitForActivity(uint32_t maxMs) override;
    PortFacts Facts() const override { return m_facts; }
    std::vector<std::string> TakeNotes() override;

private:
    // Why the named device is in use: who holds its lock, or exclusive mode
    // that nobody holds.
    OpenResult InUse(const std::string& name, bool lockFree);
    // Queues a note for the trace unless the same was last said of this device.
    void Note(const std::string& device, const std::string& text, bool always);
    // Moves whatever the driver holds into the decoder without blocking.
    // Returns the number of raw bytes moved, or -1 when the device is gone.
    long PullInput();
    bool BreakCounterRose();
    bool SetModemLines(bool dtrOn, bool rtsOn);
    uint32_t DriverQueue(unsigned long request) const;

    SerialKernel& m_kernel;
    CUsbLatencyMode m_latency;
    PortFacts m_facts;
    std::vector<std::string> m_notes;
    int m_fd = -1;
    ReadLimits m_limits;
    ParmrkDecoder m_decoder;
    bool m_hasBreakCounter = false;
    int m_breakCount = 0;
    // What was last asked of DTR and RTS, for drivers that cannot report them.
    bool m_dtrOn = false;
    bool m_rtsOn = false;
};

// Device maker for the PortRouter: every non-simulated target is a device path.
std::unique_ptr<SerialDevice> MakePosixSerialDevice(const std::string& target);

} // namespace vantrel
