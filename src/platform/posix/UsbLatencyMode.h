#pragma once

#include "platform/PortFacts.h"
#include "platform/posix/SerialKernel.h"

#include <string>

namespace vantrel {

// Puts a USB serial adapter into its low-latency mode for as long as the port
// is open, and puts back what it found: without it every echo and every answer
// waits up to the adapter's latency timer (16 ms on the common chips) before
// the program sees it.
class CUsbLatencyMode {
public:
    explicit CUsbLatencyMode(SerialKernel& kernel) : m_kernel(kernel) {}

    // Looks at the device behind fd and asks for low latency where it is a USB
    // adapter. note says what came of it, for the trace.
    PortFacts Enter(int fd, std::string& note);
    // Restores the flags Enter changed; nothing when it changed none.
    void Leave(int fd);

private:
    SerialKernel& m_kernel;
    bool m_changed = false;
    int m_previousFlags = 0;
};

} // namespace vantrel
