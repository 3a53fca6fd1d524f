#pragma once

#include "platform/SerialDevice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vantrel {

// One serial port with the radio interface's fixed line settings (8N1, no flow
// control, DTR and RTS off), blocking reads and writes with time limits, echoed
// block writes and the waits the link and the flash loader time themselves by.
// The radio interface echoes every byte written.
class CSerialPort {
public:
    CSerialPort() = default;
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the port by name ("COM1", a device path, "sim") through the current
    // device factory. False when the device is missing, busy or refuses the line
    // settings; LastOpenError() then says why.
    bool Open(const std::string& portName, uint32_t rate);
    void Close();
    bool IsOpen() const;
    const OpenResult& LastOpenError() const { return m_openResult; }
    const std::string& PortName() const { return m_portName; }
    // The device the port name reached at the last Open ("/dev/ttyUSB0", "sim");
    // empty when no device is assigned to it.
    const std::string& DeviceName() const { return m_deviceName; }
    // What kind of port is open (a USB adapter delays what it receives).
    PortFacts Facts() const;

    bool SetBaudRate(uint32_t rate);
    uint32_t GetBaudRate() const { return m_settings.baudRate; }
    bool SettleAndPurge();
    bool PurgeInput();

    uint32_t Read(uint8_t* buffer, uint32_t count);
    int ReadByte();
    uint32_t Write(const uint8_t* buffer, uint32_t count);
    int WriteByte(uint8_t byte);
    uint32_t WriteEchoed(const uint8_t* buffer, uint32_t count, uint32_t limitMs);
    uint32_t ReadTimed(uint8_t* buffer, uint32_t count, uint32_t limitMs);

    bool WaitForInput(uint32_t count, uint32_t limitMs);
    bool WaitForError(uint32_t mask, uint32_t limitMs);
    bool WaitForErrorClear(uint32_t mask, uint32_t limitMs);
    bool WaitForOutputDrained(uint32_t limitMs);

    // The line settings kept since Open (tests check them).
    const LineSettings& Settings() const { return m_settings; }

private:
    // The loop the four waits share: polls the status until the condition holds
    // or the limit has passed on the wrapping tick counter.
    bool WaitUntil(const std::function<bool(const LineStatus&)>& condition, uint32_t pollSleepMs, uint32_t limitMs);

    std::unique_ptr<SerialDevice> m_device;
    LineSettings m_settings;
    OpenResult m_openResult;
    std::string m_portName;
    std::string m_deviceName;
};

// "COM%1d" from a 0-based port index.
std::string PortNameFromIndex(int portIndex);

} // namespace vantrel
