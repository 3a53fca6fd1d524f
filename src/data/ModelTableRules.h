#pragma once

#include "data/ModelTable.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

constexpr int kModelNumberLength = 10;
constexpr int kCodeplugKeyLength = 10;
constexpr std::string_view kTorvaDefaultKey = "TORVA_DEF*";
constexpr std::string_view kMeqDefaultKey = "MEQ_DEF***";
constexpr std::string_view kWildcardKey = "**********";

// The shape the product's model table has: how many rows are filled and by how
// many models.
struct ModelTableShape {
    int filledRows = 105;
    int models = 32;
};

// Checks a model table against the rules the lookup and the export rely on:
// 360 rows, each empty or fully filled; filled rows only in columns 0, 1, 3, 4,
// 6 and 7; 10-character model numbers and keys; keys that are a specific part
// number, a default key or ten wildcards; file names "<kit>_<model>.0" and
// ".mot" with one kit code; all rows of a model in one column; a model's
// specific keys before its default-key or wildcard rows; no row that can never
// match. Returns one line per problem, empty when the table obeys them all.
std::vector<std::string> CheckModelTable(std::span<const ModelRow> rows, const ModelTableShape& shape = {});

// The compiled-in table's rows.
std::vector<ModelRow> CompiledModelRows();

bool IsEmptyModelRow(const ModelRow& row);
// A default key or ten wildcards: a row that catches the radios of its model
// whatever their codeplug part number.
bool IsCatchAllKey(std::string_view key);

} // namespace vantrel
