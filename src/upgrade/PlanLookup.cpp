#include "upgrade/PlanLookup.h"

#include "data/ModelTableRules.h"

namespace vantrel {

std::string_view DefaultKeyOf(Platform platform)
{
    return platform == Platform::Meq ? kMeqDefaultKey : kTorvaDefaultKey;
}

bool ModelRowAccepts(const ModelRow& row, std::string_view modelNumber, std::string_view partNumber,
                     std::string_view defaultKey)
{
    const std::string_view rowModel = row.modelNumber;
    const std::string_view key = row.codeplugKey;
    // An empty or short row, or a radio model number shorter than a row's, can
    // never be a match: nothing beyond the values read is compared.
    if (rowModel.size() != kModelNumberLength || key.size() != kCodeplugKeyLength) return false;
    if (modelNumber.size() < kModelNumberLength) return false;
    for (size_t p = 0; p < kModelNumberLength; ++p) {
        if (modelNumber[p] != rowModel[p]) return false;
        const char k = key[p];
        if (k == '*') continue;
        if (p < partNumber.size() && partNumber[p] == k) continue;
        if (p < defaultKey.size() && defaultKey[p] == k) continue;
        return false;
    }
    return true;
}

int ScanModelRows(std::span<const ModelRow> rows, std::string_view modelNumber, std::string_view partNumber,
                  std::string_view defaultKey)
{
    for (size_t j = 0; j < rows.size(); ++j) {
        if (ModelRowAccepts(rows[j], modelNumber, partNumber, defaultKey)) return static_cast<int>(j);
    }
    return -1;
}

int FindModelRow(std::string_view modelNumber, std::string_view partNumber, Platform platform)
{
    const std::string_view defaultKey = DefaultKeyOf(platform);
    for (int j = 0; j < kModelTableRows; ++j) {
        if (ModelRowAccepts(ModelTableRow(j), modelNumber, partNumber, defaultKey)) return j;
    }
    return -1;
}

int FindVersionRecord(const VersionRecord* table, std::string_view softwareVersion)
{
    if (softwareVersion.size() < kVersionLength) return -1;
    const std::string_view wanted = softwareVersion.substr(0, kVersionLength);
    for (int i = 0; !IsVersionTerminator(table[i]); ++i) {
        if (std::string_view(table[i].version).substr(0, kVersionLength) == wanted) return i;
    }
    return -1;
}

UpgradePlan ScanVersionTable(const VersionRecord* table, std::string_view softwareVersion, int column)
{
    if (column < 0 || column >= kModelColumns) return {};
    const int record = FindVersionRecord(table, softwareVersion);
    return record < 0 ? UpgradePlan{} : table[record].plan[column];
}

UpgradePlan FindVersionPlan(std::string_view softwareVersion, int column)
{
    return ScanVersionTable(VersionTable(), softwareVersion, column);
}

} // namespace vantrel
