#include "platform/PortFacts.h"

namespace vantrel {

std::string AdapterNote(const PortFacts& facts)
{
    if (!facts.usbAdapter) return {};
    std::string note = "USB serial adapter";
    switch (facts.lowLatency) {
    case LowLatency::On:
        note += " in low-latency mode";
        break;
    case LowLatency::Refused:
        note += ": the driver refused low-latency mode";
        break;
    case LowLatency::NotApplicable:
        break;
    }
    if (facts.latencyMs != 0) {
        note += ", latency timer ";
        note += std::to_string(facts.latencyMs);
        note += " ms";
    } else {
        note += ", latency timer unknown (taken as ";
        note += std::to_string(PortFacts::kDefaultUsbLatencyMs);
        note += " ms)";
    }
    return note;
}

} // namespace vantrel
