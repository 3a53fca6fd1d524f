#pragma once

#include "data/UpgradePlan.h"
#include "upgrade/PlanLookup.h"

#include <string>

namespace vantrel {

struct EepromBackup;

struct UpgradeLookup {
    UpgradePlan plan;  // all zero when the radio is not supported
    int modelRow = -1; // 0 to 359 when a model row matched, else -1
    int column = -1;   // modelRow % 9 when a model row matched, else -1
    // What the model row was found by, besides the model number; an upgrade
    // keeps it with its backup.
    std::string codeplugPartNumber;
    Platform platform = Platform::Torva;
};

// Decides from the radio's identity what an upgrade does to it. Reads items 14,
// 15, 0, 11 and 3 over the attached link (normal mode, 9600 Bd) and shows
// nothing; every failure gives the all-zero plan.
UpgradeLookup FindUpgradePlan();

// The same decision from the identity an upgrade kept with its backup, for a
// radio that can only be reached in bootstrap mode. The all-zero plan when the
// backup does not carry that identity.
UpgradeLookup LookupFromBackup(const EepromBackup& backup);

// The identity the lookup found, written into a backup.
void KeepLookupIdentity(const UpgradeLookup& lookup, EepromBackup& backup);

} // namespace vantrel
