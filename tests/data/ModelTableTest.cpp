#include "data/ModelTable.h"

#include "data/ModelTableRules.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

namespace vantrel {
namespace {

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

TEST(ModelTable, CompiledTableObeysTheStructuralRules)
{
    const auto problems = CheckModelTable(CompiledModelRows());
    EXPECT_TRUE(problems.empty()) << Joined(problems);
}

// The sample stands in for the product data, so it must exercise what the
// lookup and the export meet there: every kind of key, and models whose rows
// name different EEPROM data files.
TEST(ModelTable, SampleCoversEveryKindOfRow)
{
    std::map<std::string, std::set<std::string>> filesOfModel;
    std::set<std::string> keyKinds;
    for (const ModelRow& row : CompiledModelRows()) {
        if (IsEmptyModelRow(row)) continue;
        filesOfModel[row.modelNumber].insert(row.eepromDataFile);
        keyKinds.insert(IsCatchAllKey(row.codeplugKey) ? row.codeplugKey : "part number");
    }
    EXPECT_EQ(keyKinds, (std::set<std::string>{"part number", "TORVA_DEF*", "MEQ_DEF***", "**********"}));
    int modelsWithSeveralFiles = 0;
    for (const auto& [model, files] : filesOfModel)
        modelsWithSeveralFiles += files.size() > 1;
    EXPECT_GE(modelsWithSeveralFiles, 2);
}

TEST(ModelTable, RowsOutsideTheTableAreEmpty)
{
    EXPECT_TRUE(IsEmptyModelRow(ModelTableRow(-1)));
    EXPECT_TRUE(IsEmptyModelRow(ModelTableRow(kModelTableRows)));
}

// Each broken table must be refused, with a line that says what is wrong. The
// edits start from the compiled table, whose first model is rows 0, 9, 18 (part
// numbers) and 27 (its default key) of column 0.
class BrokenModelTable : public ::testing::Test {
protected:
    void SetUp() override { rows = CompiledModelRows(); }

    // Keeps edited strings alive for the rows that point at them.
    const char* Keep(std::string text) { return strings.emplace_back(std::move(text)).c_str(); }

    void ExpectRefused(const std::string& fragment)
    {
        const auto problems = CheckModelTable(rows);
        EXPECT_NE(Joined(problems).find(fragment), std::string::npos) << "expected \"" << fragment << "\" in:\n"
                                                                      << Joined(problems);
    }

    std::vector<ModelRow> rows;
    std::deque<std::string> strings;
};

TEST_F(BrokenModelTable, FirstModelIsWhatTheEditsExpect)
{
    ASSERT_TRUE(CheckModelTable(rows).empty());
    EXPECT_STREQ(rows[0].modelNumber, rows[27].modelNumber);
    EXPECT_STREQ(rows[27].codeplugKey, "TORVA_DEF*");
    EXPECT_TRUE(IsEmptyModelRow(rows[2]));
}

TEST_F(BrokenModelTable, WrongSizeOrCounts)
{
    rows.pop_back();
    ExpectRefused("359 rows");
    rows = CompiledModelRows();
    rows[27] = {"", "", "", ""};
    ExpectRefused("104 filled rows");
    rows = CompiledModelRows();
    rows[9] = {"", "", "", ""};
    rows[18] = {"", "", "", ""};
    rows[27] = {"", "", "", ""};
    rows[0] = {"", "", "", ""};
    ExpectRefused("31 models");
}

TEST_F(BrokenModelTable, FilledRowInAnEmptyColumn)
{
    std::swap(rows[0], rows[2]);
    ExpectRefused("filled row in column 2");
}

TEST_F(BrokenModelTable, PartlyFilledRow)
{
    rows[0].codeplugKey = "";
    ExpectRefused("partly filled");
}

TEST_F(BrokenModelTable, ModelNumberOrKeyOfAnotherLength)
{
    rows[0].codeplugKey = "PN0100001";
    ExpectRefused("key is not 10 characters");
    rows = CompiledModelRows();
    const std::string model = std::string(rows[0].modelNumber).substr(0, 9);
    rows[0] = {Keep("SK01_" + model + ".0"), Keep("SK01_" + model + ".mot"), Keep(model), "PN01000001"};
    ExpectRefused("model number is not 10 characters");
}

TEST_F(BrokenModelTable, KeyOfNoKnownKind)
{
    rows[27].codeplugKey = "TORVA*DEF*";
    ExpectRefused("neither a part number");
}

TEST_F(BrokenModelTable, FileNamesThatDoNotFollowTheModel)
{
    const std::string model = rows[0].modelNumber;
    rows[0].codeplugSourceFile = Keep("SK01_" + model + ".s19");
    ExpectRefused("source file is not");
    rows = CompiledModelRows();
    rows[0].eepromDataFile = Keep("SK99_" + model + ".mot");
    ExpectRefused("EEPROM data file is not");
    rows = CompiledModelRows();
    rows[0].codeplugSourceFile = Keep("SK01_SAMPLE99XX.0");
    ExpectRefused("source file is not");
    rows = CompiledModelRows();
    rows[0].codeplugSourceFile = Keep("../SK01_" + model + ".0");
    rows[0].eepromDataFile = Keep("../SK01_" + model + ".mot");
    ExpectRefused("source file is not");
}

TEST_F(BrokenModelTable, ModelSpreadOverTwoColumns)
{
    // The second row of the first model moves to column 1.
    std::swap(rows[1], rows[9]);
    ExpectRefused("stands in columns 0 and 1");
}

TEST_F(BrokenModelTable, PartNumberKeyAfterTheDefaultKey)
{
    std::swap(rows[18], rows[27]);
    ExpectRefused("part-number key after the model's default-key or wildcard row 18");
}

TEST_F(BrokenModelTable, RowThatCanNeverMatch)
{
    rows[9].codeplugKey = rows[0].codeplugKey;
    ExpectRefused("row 9: can never match");
    rows = CompiledModelRows();
    rows[18].codeplugKey = "**********";
    ExpectRefused("row 27: can never match");
}

} // namespace
} // namespace vantrel
