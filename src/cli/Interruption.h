#pragma once

#include "upgrade/UpgradeProcedure.h"

#include <csignal>
#include <string>

namespace vantrel {

// While alive, Ctrl+C, a terminate signal or a hang-up asks the running command
// to stop at its next safe point (between two requests to the radio); a second
// one ends the program at once, as the operator then expects.
class ScopedStopSignals {
public:
    ScopedStopSignals();
    ~ScopedStopSignals();
    ScopedStopSignals(const ScopedStopSignals&) = delete;
    ScopedStopSignals& operator=(const ScopedStopSignals&) = delete;

private:
    struct sigaction m_previous[3];
};

// Where a radio stands after an upgrade that was stopped at the given stage,
// and what to do about it.
std::string UpgradeStandingText(UpgradeStage stage);

} // namespace vantrel
