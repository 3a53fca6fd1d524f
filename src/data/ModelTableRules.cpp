#include "data/ModelTableRules.h"

#include <map>
#include <set>

namespace vantrel {
namespace {

constexpr bool kFilledColumn[kModelColumns] = {true, true, false, true, true, false, true, true, false};

std::string RowText(int index)
{
    return "row " + std::to_string(index) + ": ";
}

// The kit code of "<kit>_<model><extension>", or "" when the name has another form.
std::string KitCode(std::string_view fileName, std::string_view model, std::string_view extension)
{
    std::string tail(1, '_');
    tail.append(model).append(extension);
    if (fileName.size() <= tail.size() || !fileName.ends_with(tail)) return {};
    const std::string_view kit = fileName.substr(0, fileName.size() - tail.size());
    // The file is looked up in the program folder: the kit code names no other folder.
    if (kit.find_first_of("/\\:") != std::string_view::npos) return {};
    return std::string(kit);
}

void CheckFilledRow(int index, const ModelRow& row, std::vector<std::string>& problems)
{
    const std::string_view model = row.modelNumber;
    const std::string_view key = row.codeplugKey;
    if (!kFilledColumn[index % kModelColumns]) {
        problems.push_back(RowText(index) + "filled row in column " + std::to_string(index % kModelColumns));
    }
    if (model.size() != kModelNumberLength) problems.push_back(RowText(index) + "model number is not 10 characters");
    if (key.size() != kCodeplugKeyLength) {
        problems.push_back(RowText(index) + "codeplug key is not 10 characters");
    } else if (key.find('*') != std::string_view::npos && !IsCatchAllKey(key)) {
        problems.push_back(RowText(index) + "key is neither a part number, a default key nor ten wildcards");
    }
    const std::string kit = KitCode(row.codeplugSourceFile, model, ".0");
    if (kit.empty()) problems.push_back(RowText(index) + "source file is not <kit>_<model>.0");
    if (KitCode(row.eepromDataFile, model, ".mot") != kit || kit.empty()) {
        problems.push_back(RowText(index) + "EEPROM data file is not <kit>_<model>.mot of the source file's kit");
    }
}

struct ModelRows {
    int column = -1;
    bool columnsDiffer = false;
    int wildcardRow = -1; // the model's first ten-wildcard row
    int catchAllRow = -1; // the model's first default-key or wildcard row
    std::set<std::string_view> keys;
};

void CheckModelOrder(int index, const ModelRow& row, ModelRows& model, std::vector<std::string>& problems)
{
    const std::string_view key = row.codeplugKey;
    const int column = index % kModelColumns;
    if (model.column < 0) model.column = column;
    if (model.column != column && !model.columnsDiffer) {
        model.columnsDiffer = true;
        problems.push_back(RowText(index) + "model " + row.modelNumber + " stands in columns " +
                           std::to_string(model.column) + " and " + std::to_string(column));
    }
    if (!IsCatchAllKey(key) && model.catchAllRow >= 0) {
        problems.push_back(RowText(index) + "part-number key after the model's default-key or wildcard row " +
                           std::to_string(model.catchAllRow));
    }
    if (model.wildcardRow >= 0 || !model.keys.insert(key).second) {
        problems.push_back(RowText(index) + "can never match: an earlier row of model " + row.modelNumber +
                           " takes its radios");
    }
    if (IsCatchAllKey(key) && model.catchAllRow < 0) model.catchAllRow = index;
    if (key == kWildcardKey && model.wildcardRow < 0) model.wildcardRow = index;
}

} // namespace

bool IsEmptyModelRow(const ModelRow& row)
{
    return !*row.codeplugSourceFile && !*row.eepromDataFile && !*row.modelNumber && !*row.codeplugKey;
}

bool IsCatchAllKey(std::string_view key)
{
    return key == kTorvaDefaultKey || key == kMeqDefaultKey || key == kWildcardKey;
}

std::vector<std::string> CheckModelTable(std::span<const ModelRow> rows, const ModelTableShape& shape)
{
    std::vector<std::string> problems;
    if (rows.size() != kModelTableRows) {
        problems.push_back("the table has " + std::to_string(rows.size()) + " rows, not 360");
    }
    int filled = 0;
    std::map<std::string_view, ModelRows> models;
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        const ModelRow& row = rows[index];
        if (!row.codeplugSourceFile || !row.eepromDataFile || !row.modelNumber || !row.codeplugKey) {
            problems.push_back(RowText(index) + "missing field");
            continue;
        }
        if (IsEmptyModelRow(row)) continue;
        if (!*row.codeplugSourceFile || !*row.eepromDataFile || !*row.modelNumber || !*row.codeplugKey) {
            problems.push_back(RowText(index) + "partly filled");
            continue;
        }
        ++filled;
        CheckFilledRow(index, row, problems);
        CheckModelOrder(index, row, models[row.modelNumber], problems);
    }
    if (filled != shape.filledRows) {
        problems.push_back(std::to_string(filled) + " filled rows, not " + std::to_string(shape.filledRows));
    }
    if (static_cast<int>(models.size()) != shape.models) {
        problems.push_back(std::to_string(models.size()) + " models, not " + std::to_string(shape.models));
    }
    return problems;
}

std::vector<ModelRow> CompiledModelRows()
{
    std::vector<ModelRow> rows;
    rows.reserve(kModelTableRows);
    for (int index = 0; index < kModelTableRows; ++index)
        rows.push_back(ModelTableRow(index));
    return rows;
}

} // namespace vantrel
