#pragma once

#include "platform/PortProbe.h"

#include <map>
#include <string>
#include <vector>

namespace vantrel {

// One entry of the system's serial-port map: the kernel's device name
// ("\Device\Serial0") and the port name it is reached by ("COM1").
struct SystemSerialPort {
    std::string deviceName;
    std::string portName;
};

// The ports of the map, each once, COM ports in number order before any
// other names, described by the friendly name the system gives the port
// (without its "(COMn)" suffix) or else by its device name. friendlyNames is
// keyed by port name in upper case.
std::vector<SerialPortInfo> Win32SerialPortList(const std::vector<SystemSerialPort>& map,
                                                const std::map<std::string, std::string>& friendlyNames);

// "com3" → "COM3": port names are the same in any case.
std::string PortNameKey(const std::string& portName);

} // namespace vantrel
