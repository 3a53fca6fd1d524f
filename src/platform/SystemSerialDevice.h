#pragma once

#include "platform/SerialDevice.h"

#include <memory>
#include <string>

namespace vantrel {

// Device maker for the PortRouter with this platform's own backend (termios,
// or the Windows communications functions).
std::unique_ptr<SerialDevice> MakeSystemSerialDevice(const std::string& target);

} // namespace vantrel
