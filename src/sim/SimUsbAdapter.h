#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// A USB serial adapter between the host and the cable, as the common chips
// behave: what the line delivers waits in the adapter until a packet is full
// or the adapter's latency timer runs out, and then reaches the host's receive
// queue in one transfer, a little later by the bus's own jitter. The timer
// runs by itself and restarts with every packet sent, so a byte waits between
// nothing and a whole period. Breaks are reported with the packets, once per
// latency period while the line is held.
struct SimUsbAdapter {
    static constexpr uint32_t kLowLatencyMs = 1;

    uint32_t latencyMs = 16;       // the latency timer as the adapter comes
    bool honoursLowLatency = true; // whether its driver takes the low-latency request
    uint32_t packetBytes = 62;     // data bytes of one packet
    uint32_t jitterUs = 0;         // each transfer arrives up to this much later
    uint32_t seed = 1;             // of the jitter; the same seed gives the same run
};

// "native" (no adapter), "usb" (a low-latency capable adapter), "usb-default"
// (one whose driver keeps the default latency timer), each optionally followed
// by ":jitter=US". False for anything else; error says why.
bool ParseSimAdapter(const std::string& text, bool& present, SimUsbAdapter& adapter, std::string& error);

// The jitter of one transfer: deterministic from the adapter's seed and the
// transfer's number.
uint32_t SimTransferJitterUs(const SimUsbAdapter& adapter, uint64_t transfer);

} // namespace vantrel
