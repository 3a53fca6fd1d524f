#pragma once

#include "platform/Clock.h"
#include "platform/PortRouter.h"
#include "sim/SimFaults.h"
#include "sim/SimLine.h"
#include "sim/SimOperator.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace vantrel {

// The simulated radios of one program run. Each target ("sim", "sim:PROFILE")
// gets its radio on first use and keeps it, so successive port openings talk
// to the same radio; the operator watches every radio made here. With a state
// file the radio is loaded from it (when it exists; the file then decides the
// profile) and SaveState writes it back.
class SimBench {
public:
    explicit SimBench(Clock& clock) : m_clock(clock) {}

    void SetFaults(const SimFaultPlan& plan) { m_faults = plan; }
    bool SetFaults(const std::string& text, std::string& error);
    void SetStateFile(const std::string& path) { m_statePath = path; }
    // The USB adapter every radio made from now on is reached through; none by default.
    void SetAdapter(const std::optional<SimUsbAdapter>& adapter) { m_adapter = adapter; }
    SimOperator& Operator() { return m_operator; }

    // The radio behind a target, made on first use. Null for an unknown
    // profile or an unusable state file; error says why.
    std::shared_ptr<SimLine> LineFor(const std::string& target, std::string& error);
    // For PortRouter::SetSimMaker. A target that cannot be served gives a
    // device whose Open fails with the reason.
    PortRouter::Maker Maker();
    // Writes the radio to the state file (nothing to do without one).
    bool SaveState(std::string& error);

    // "sim" → the default profile; "sim:NAME" → NAME.
    static std::string ProfileOf(const std::string& target);

private:
    Clock& m_clock;
    SimFaultPlan m_faults;
    std::string m_statePath;
    std::optional<SimUsbAdapter> m_adapter;
    SimOperator m_operator;
    std::map<std::string, std::shared_ptr<SimLine>> m_lines;
};

} // namespace vantrel
