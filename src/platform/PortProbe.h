#pragma once

#include <string>
#include <vector>

namespace vantrel {

// What opening a port for a moment tells about it.
enum class PortProbeResult {
    Opens,  // exists and could be opened (closed again at once)
    Missing,  // no such device
    Busy,  // exists but could not be opened (held by another program, no permission, …)
};

// Probes the device a port name reaches (through the current device factory).
PortProbeResult ProbeSerialPort(const std::string& portName);

// A serial device present on this machine.
struct SerialPortInfo {
    std::string path;  // /dev/ttyUSB0
    std::string byIdPath;  // /dev/serial/by-id/… when present
    std::string description;  // driver or product when known
};

// Lists the serial devices of the machine (ttyS with a real UART, ttyUSB, ttyACM, …).
std::vector<SerialPortInfo> ListSerialPorts();

}  // namespace vantrel
