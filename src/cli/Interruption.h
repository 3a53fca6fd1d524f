#pragma once

#include "upgrade/UpgradeProcedure.h"

#include <string>

namespace vantrel {

// Where a radio stands after an upgrade that was stopped at the given stage,
// and what to do about it.
std::string UpgradeStandingText(UpgradeStage stage);

} // namespace vantrel
