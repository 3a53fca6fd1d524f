#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/Feedback.h"
#include "platform/Clock.h"
#include "platform/PortRouter.h"
#include "platform/Runtime.h"
#include "sim/SimBench.h"
#include "support/RecordingFeedback.h"

namespace vantrel {

// A simulated radio on COM1 for operation tests: virtual clock, the radio
// behind slot 0, a recording feedback, all installed as the process's current
// seams for the fixture's lifetime.
class SimulatedRadio {
public:
    explicit SimulatedRadio(const std::string& profile = "default", const std::string& faults = "");
    ~SimulatedRadio();

    SimRadio& Radio();
    SimBench& Bench() { return m_bench; }
    VirtualClock& Clock() { return m_clock; }
    RecordingFeedback& Feedback() { return m_feedback; }
    PortRouter& Router() { return m_router; }

    // The opcodes of the requests the radio took, in order.
    std::vector<uint8_t> RequestOpcodes();
    bool WasReset();

private:
    VirtualClock m_clock{5000};
    SimBench m_bench{m_clock};
    PortRouter m_router;
    RecordingFeedback m_feedback;
    std::shared_ptr<SimLine> m_line;
    std::unique_ptr<ScopedRuntime> m_runtime;
    std::unique_ptr<ScopedFeedback> m_scopedFeedback;
};

}  // namespace vantrel
