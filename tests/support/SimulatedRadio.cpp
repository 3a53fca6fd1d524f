#include "support/SimulatedRadio.h"

#include <stdexcept>

#include "link/MessageFormat.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"

namespace vantrel {

SimulatedRadio::SimulatedRadio(const std::string& profile, const std::string& faults)
{
    std::string error;
    if (!faults.empty() && !m_bench.SetFaults(faults, error)) throw std::runtime_error("bad faults: " + error);
    const std::string target = "sim:" + profile;
    m_router.SetSlotTarget(0, target);
    m_router.SetSimMaker(m_bench.Maker());
    m_line = m_bench.LineFor(target, error);
    if (!m_line) throw std::runtime_error("no simulated radio: " + error);
    m_runtime = std::make_unique<ScopedRuntime>(m_clock, m_router);
    m_scopedFeedback = std::make_unique<ScopedFeedback>(m_feedback);
}

SimulatedRadio::~SimulatedRadio()
{
    // Never leave the global link pointing at a port of this fixture.
    TheRadioLink().Attach(nullptr);
    TheRadioLink().TakeStatus();
}

SimRadio& SimulatedRadio::Radio() { return m_line->Radio(); }

std::vector<uint8_t> SimulatedRadio::RequestOpcodes()
{
    std::vector<uint8_t> opcodes;
    for (const auto& message : Radio().Requests()) {
        MessageParser parser;
        for (uint8_t b : message) {
            if (parser.Feed(b)) break;
        }
        opcodes.push_back(parser.Opcode());
    }
    return opcodes;
}

bool SimulatedRadio::WasReset()
{
    for (uint8_t op : RequestOpcodes()) {
        if (op == kOpReset) return true;
    }
    return false;
}

}  // namespace vantrel
