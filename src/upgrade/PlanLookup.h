#pragma once

#include "data/ModelTable.h"
#include "data/VersionTable.h"
#include "data/UpgradePlan.h"

#include <span>
#include <string_view>

namespace vantrel {

enum class Platform { Torva, Meq };

// "TORVA_DEF*" or "MEQ_DEF***": key characters a radio of the platform accepts
// whatever its codeplug part number.
std::string_view DefaultKeyOf(Platform platform);

// Whether a row takes a radio: its 10-character model number equals the first
// 10 characters of the radio's, and at every position the key is '*', or the
// radio's codeplug part number or the platform's default key has the key's
// character. Only characters inside the values read count, and rows that are
// not fully filled never match.
bool ModelRowAccepts(const ModelRow& row, std::string_view modelNumber, std::string_view partNumber,
                     std::string_view defaultKey);

// The first row that takes the radio, or -1.
int ScanModelRows(std::span<const ModelRow> rows, std::string_view modelNumber, std::string_view partNumber,
                  std::string_view defaultKey);
// The same over the compiled-in model table.
int FindModelRow(std::string_view modelNumber, std::string_view partNumber, Platform platform);

// The plan of the first record up to the terminator whose version's first 9
// characters equal the radio's first 9; all zero when none does, when the
// radio's version is shorter than 9 characters or the column is out of range.
UpgradePlan ScanVersionTable(const VersionRecord* table, std::string_view softwareVersion, int column);
// The same over the compiled-in version table.
UpgradePlan FindVersionPlan(std::string_view softwareVersion, int column);
// Index of the record that gives the plan, or -1 (for diagnostics and tests).
int FindVersionRecord(const VersionRecord* table, std::string_view softwareVersion);

} // namespace vantrel
