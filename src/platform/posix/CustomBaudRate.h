#pragma once

#include <cstdint>

namespace vantrel {

// Rates outside the terminal interface's fixed list of speeds. Kept in a file
// of its own because the kernel's termios2 definitions clash with <termios.h>.

// Applies any rate to an open terminal; false where the system or the driver
// cannot run close to it (within 3 %).
bool SetCustomBaudRate(int fd, uint32_t rate);

// Reads the rate the driver runs at, whatever it is; false where unknown.
bool GetCustomBaudRate(int fd, uint32_t& rate);

} // namespace vantrel
