#pragma once

#include "platform/SerialDevice.h"
#include "platform/win32/CommApi.h"

#include <memory>
#include <string>

namespace vantrel {

// A serial device on the Windows communications functions: a COM port of any
// number, or any device a slot names. Blocking reads and writes are bounded by
// the communication time-outs; waits block on communication events.
class Win32SerialDevice final : public SerialDevice {
public:
    explicit Win32SerialDevice(CommApi& api) : m_api(api) {}
    ~Win32SerialDevice() override;
    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    OpenResult Open(const std::string& name) override;
    bool IsOpen() const override { return m_port != nullptr; }
    void Close() override;

    bool SetQueueSizes(uint32_t rxBytes, uint32_t txBytes) override;
    bool Purge(unsigned flags) override;
    bool SetReadLimits(const ReadLimits& limits) override;
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    bool GetStatus(LineStatus& status) override;

    int Read(uint8_t* buffer, uint32_t count) override;
    int Write(const uint8_t* buffer, uint32_t count) override;
    void WaitForActivity(uint32_t maxMs) override;

private:
    void NoteEvents(uint32_t events);

    CommApi& m_api;
    std::unique_ptr<CommPort> m_port;
    // A break seen through the events and not reported yet.
    bool m_eventBreak = false;
    // Once the driver has flagged a break among its line errors, the errors are
    // the one source: the event of the same break would report it twice.
    bool m_driverFlagsBreaks = false;
    // Line errors fetched while waiting, kept for the next status query.
    uint32_t m_heldErrors = 0;
    uint32_t m_lastInQueue = 0;
};

// "COM7" → "\\.\COM7": a bare device name goes into the device namespace (the
// only way to reach COM10 and above); a full path is taken as it is.
std::string Win32DevicePath(const std::string& name);

// The operator's text for a port that would not open, by the system's error code.
OpenResult Win32OpenFailure(uint32_t error);

// The communication time-outs that give these read limits. Writes get a
// limit the caller does not set, so that a dead device cannot hang the program.
CommTimeouts Win32Timeouts(const ReadLimits& limits);

// The device-control block for these line settings, on top of what the driver
// reports; false for settings the block cannot express.
bool Win32StateFromSettings(const LineSettings& settings, CommState& state);
bool Win32SettingsFromState(const CommState& state, LineSettings& settings);

// The line-error flags the port reports, from the driver's error word.
uint32_t Win32LineErrors(uint32_t commErrors);

// Device maker for the PortRouter on the system's own communications functions.
std::unique_ptr<SerialDevice> MakeWin32SerialDevice(const std::string& target);

} // namespace vantrel
