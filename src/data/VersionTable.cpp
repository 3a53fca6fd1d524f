#include "data/VersionTable.h"

namespace vantrel {
namespace {

constexpr UpgradePlan kNo{};
constexpr UpgradePlan kFull{1, 1, 1, 1};    // hardware and application codeplug, firmware
constexpr UpgradePlan kKeepApp{1, 1, 0, 1}; // the application codeplug already has the new layout

using ColumnPlans = std::array<UpgradePlan, kModelColumns>;
// One plan per variant column 0 to 8. Release 1 firmware exists only on the
// models of columns 3 and 6 (and, from R01.00.21, 0, 1 and 7); no model stands
// in columns 2, 5 and 8.
constexpr ColumnPlans kRelease1{kNo, kNo, kNo, kFull, kNo, kNo, kFull, kNo, kNo};
constexpr ColumnPlans kRelease1Last{kFull, kFull, kNo, kFull, kNo, kNo, kFull, kFull, kNo};
constexpr ColumnPlans kRelease2{kFull, kFull, kNo, kFull, kFull, kNo, kFull, kFull, kNo};
constexpr ColumnPlans kRelease3{kKeepApp, kKeepApp, kNo, kKeepApp, kKeepApp, kNo, kKeepApp, kKeepApp, kNo};
constexpr ColumnPlans kNone{};

// In table order: the scan takes the first record whose version matches, so
// the second "R03.04.00" is never reached. The last record before the
// terminator is the release this program carries.
constexpr VersionRecord kVersions[] = {
    {"R01.00.04", kRelease1},
    {"R01.00.05", kRelease1},
    {"R01.00.06", kRelease1},
    {"R01.00.07", kRelease1},
    {"R01.00.08", kRelease1},
    {"R01.00.09", kRelease1},
    {"R01.00.10", kRelease1},
    {"R01.00.11", kRelease1},
    {"R01.00.12", kRelease1},
    {"R01.00.13", kRelease1},
    {"R01.00.14", kRelease1},
    {"R01.00.17", kRelease1},
    {"R01.00.18", kRelease1},
    {"R01.00.19", kRelease1},
    {"R01.00.20", kRelease1},
    {"R01.00.21", kRelease1Last},
    {"R02.00.18", kRelease2},
    {"R02.00.20", kRelease2},
    {"R02.00.23", kRelease2},
    {"R02.00.27", kRelease2},
    {"R02.01.03", kRelease2},
    {"R02.02.01", kRelease2},
    {"R02.02.03", kRelease2},
    {"R02.02.04", kRelease2},
    {"R03.00.28", kRelease3},
    {"R03.00.29", kRelease3},
    {"R03.00.30", kRelease3},
    {"R03.01.00", kRelease3},
    {"R03.01.02", kRelease3},
    {"R03.01.10", kRelease3},
    {"R03.01.17", kRelease3},
    {"R03.01.20", kRelease3},
    {"R03.01.21", kRelease3},
    {"R03.01.22", kRelease3},
    {"R03.01.25", kRelease3},
    {"R03.01.27", kRelease3},
    {"D03.01.28", kRelease3},
    {"D03.01.29", kRelease3},
    {"D03.01.30", kRelease3},
    {"R03.01.31", kRelease3},
    {"R03.01.37", kRelease3},
    {"D03.01.38", kRelease3},
    {"D03.01.39", kRelease3},
    {"D03.01.40", kRelease3},
    {"D03.01.44", kRelease3},
    {"D03.01.45", kRelease3},
    {"R03.02.00", kRelease3},
    {"D03.02.01", kRelease3},
    {"D03.02.04", kRelease3},
    {"D03.02.06", kRelease3},
    {"R03.02.07", kRelease3},
    {"D03.02.08", kRelease3},
    {"R03.02.09", kRelease3},
    {"D03.02.10", kRelease3},
    {"R03.02.11", kRelease3},
    {"D03.02.12", kRelease3},
    {"D03.02.13", kRelease3},
    {"R03.02.13", kRelease3},
    {"D03.02.14", kRelease3},
    {"R03.02.15", kRelease3},
    {"R03.02.16", kRelease3},
    {"R03.02.17", kRelease3},
    {"D03.02.18", kRelease3},
    {"D03.02.19", kRelease3},
    {"D03.02.20", kRelease3},
    {"D03.02.21", kRelease3},
    {"D03.02.22", kRelease3},
    {"D03.02.23", kRelease3},
    {"D03.02.25", kRelease3},
    {"D03.02.26", kRelease3},
    {"D03.02.27", kRelease3},
    {"D03.02.28", kRelease3},
    {"D03.02.29", kRelease3},
    {"D03.02.30", kRelease3},
    {"D03.02.31", kRelease3},
    {"D03.02.32", kRelease3},
    {"D03.02.33", kRelease3},
    {"D03.02.35", kRelease3},
    {"T03.02.34", kRelease3},
    {"T03.02.36", kRelease3},
    {"R03.03.00", kRelease3},
    {"T03.02.37", kRelease3},
    {"T03.02.38", kRelease3},
    {"T03.03.01", kRelease3},
    {"T03.03.02", kRelease3},
    {"T03.03.03", kRelease3},
    {"T03.03.04", kRelease3},
    {"T03.03.05", kRelease3},
    {"T03.03.06", kRelease3},
    {"T03.03.07", kRelease3},
    {"T03.03.08", kRelease3},
    {"T03.03.09", kRelease3},
    {"B03.03.02", kRelease3},
    {"B03.03.03", kRelease3},
    {"T03.03.11", kRelease3},
    {"T03.04.01", kRelease3},
    {"R03.04.00", kRelease3},
    {"T03.04.02", kRelease3},
    {"T03.04.03", kRelease3},
    {"T03.04.04", kRelease3},
    {"T03.04.05", kRelease3},
    {"D03.04.01", kRelease3},
    {"B03.04.01", kRelease3},
    {"D03.04.02", kRelease3},
    {"B03.04.02", kRelease3},
    {"D03.04.03", kRelease3},
    {"R03.04.00", kRelease3},
    {"B03.04.03", kRelease3},
    {"T03.04.06", kRelease3},
    {"T03.04.07", kRelease3},
    {"R03.05.00", kRelease3},
    {"T03.05.01", kRelease3},
    {"T03.05.02", kRelease3},
    {"D03.05.01", kRelease3},
    {"D03.05.02", kRelease3},
    {"R03.06.00", kRelease3},
    {"D03.06.01", kRelease3},
    {"D03.06.02", kRelease3},
    {"D03.06.03", kRelease3},
    {"D03.07.00", kRelease3},
    {"D03.07.01", kRelease3},
    {"D03.07.02", kRelease3},
    {"D03.07.03", kRelease3},
    {"D03.07.04", kRelease3},
    {"T03.06.06", kRelease3},
    {"R03.07.05", kRelease3},
    {"T03.07.02", kRelease3},
    {"T03.07.04", kRelease3},
    {"T03.07.05", kRelease3},
    {"T03.07.06", kRelease3},
    {"T03.07.07", kRelease3},
    {"T03.07.08", kRelease3},
    {"R03.07.08", kRelease3},
    {"T03.08.01", kRelease3},
    {"B03.08.04", kRelease3},
    {"R03.08.08", kRelease3},
    {"X", kNone},
};

static_assert(std::size(kVersions) == kVersionRecordCount + 1);

} // namespace

const VersionRecord* VersionTable()
{
    return kVersions;
}

bool IsVersionTerminator(const VersionRecord& record)
{
    return record.version[0] == 'X';
}

const VersionRecord* NewestVersionRecord(const VersionRecord* table)
{
    const VersionRecord* newest = nullptr;
    for (const VersionRecord* record = table; !IsVersionTerminator(*record); ++record)
        newest = record;
    return newest;
}

std::string NewestReleaseVersion()
{
    const VersionRecord* newest = NewestVersionRecord(VersionTable());
    return newest ? newest->version : std::string();
}

bool IsTestRelease(const VersionRecord* table)
{
    const VersionRecord* newest = NewestVersionRecord(table);
    return newest && newest->version[0] == 'T';
}

bool IsTestRelease()
{
    return IsTestRelease(VersionTable());
}

} // namespace vantrel
