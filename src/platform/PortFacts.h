#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// Whether the driver put a USB adapter into its low-latency mode on opening.
enum class LowLatency { NotApplicable, On, Refused };
// How a received break reaches the program: as the status query's line-error
// flag, through the kernel's break counter, or only as an in-band mark that
// some USB drivers never send.
enum class BreakReport { LineFlag, Counter, InBandMark };

// What kind of port an open device is. A USB serial adapter holds received
// bytes until a packet fills or its latency timer runs out, so every answer
// reaches the program up to that much later than on a native port.
struct PortFacts {
    static constexpr uint32_t kDefaultUsbLatencyMs = 16;

    bool usbAdapter = false;
    uint32_t latencyMs = 0; // the adapter's latency timer when known, else 0
    LowLatency lowLatency = LowLatency::NotApplicable;
    BreakReport breakReport = BreakReport::LineFlag;

    // How much later than on a native port a received byte may reach the
    // program: the latency timer, or the common default when it cannot be read.
    uint32_t ReceiveDelayMs() const
    {
        if (!usbAdapter) return 0;
        return latencyMs != 0 ? latencyMs : kDefaultUsbLatencyMs;
    }
};

// One line for the trace about an adapter's latency mode; empty for a native port.
std::string AdapterNote(const PortFacts& facts);

} // namespace vantrel
