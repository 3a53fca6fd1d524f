#pragma once

#include "data/ModelTable.h"
#include "data/UpgradePlan.h"

#include <array>
#include <string>

namespace vantrel {

// One firmware release a radio may run, with the upgrade plan for each variant
// column of the model table.
struct VersionRecord {
    const char* version; // "R03.08.08"; only the first kVersionLength characters count
    std::array<UpgradePlan, kModelColumns> plan;
};

constexpr int kVersionLength = 9;
constexpr int kVersionRecordCount = 136; // records before the terminator

// The releases in table order, ending with the terminator record (its version
// begins with 'X'). Walk it with IsVersionTerminator.
const VersionRecord* VersionTable();
bool IsVersionTerminator(const VersionRecord& record);

// The last record before the terminator of a table, or nullptr when the table
// holds only its terminator.
const VersionRecord* NewestVersionRecord(const VersionRecord* table);

// For the shell's start-up: the release the program carries, and whether it is
// a test release (its version begins with 'T').
std::string NewestReleaseVersion();
bool IsTestRelease();
bool IsTestRelease(const VersionRecord* table);

} // namespace vantrel
