#pragma once

#include "platform/PortProbe.h"

#include <string>
#include <vector>

namespace vantrel {

// ListSerialPorts() with its three roots given ("/sys/class/tty", "/dev",
// "/dev/serial/by-id"), so that a made-up tree can stand in for the machine's.
std::vector<SerialPortInfo> ListSerialPortsUnder(const std::string& sysClassTty, const std::string& devDir,
                                                 const std::string& byIdDir);

} // namespace vantrel
