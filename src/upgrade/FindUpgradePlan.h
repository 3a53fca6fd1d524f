#pragma once

#include "data/UpgradePlan.h"

namespace vantrel {

struct UpgradeLookup {
    UpgradePlan plan;  // all zero when the radio is not supported
    int modelRow = -1; // 0 to 359 when a model row matched, else -1
    int column = -1;   // modelRow % 9 when a model row matched, else -1
};

// Decides from the radio's identity what an upgrade does to it. Reads items 14,
// 15, 0, 11 and 3 over the attached link (normal mode, 9600 Bd) and shows
// nothing; every failure gives the all-zero plan.
UpgradeLookup FindUpgradePlan();

} // namespace vantrel
