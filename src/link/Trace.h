#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// A record of every byte the serial port sends and receives, with its time;
// the serial port is the one place that writes it (--trace FILE).
class LinkTrace {
public:
    virtual ~LinkTrace() = default;
    virtual void Bytes(bool sent, const uint8_t* bytes, uint32_t count) = 0;
    // A line of context (port opened, rate changed, purge) between the bytes.
    virtual void Event(const std::string& text) = 0;
};

// The current trace, or nullptr when nothing is traced.
LinkTrace* CurrentTrace();
void SetCurrentTrace(LinkTrace* trace);

// A line of context into the current trace, if there is one.
void TraceEvent(const std::string& text);

}  // namespace vantrel
