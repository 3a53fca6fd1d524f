#include "upgrade/PlanLookup.h"

#include "data/ModelTableRules.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using namespace std::string_literals;

constexpr UpgradePlan kNo{};
constexpr UpgradePlan kFull{1, 1, 1, 1};
constexpr UpgradePlan kKeepApp{1, 1, 0, 1};

const std::vector<ModelRow> kRows = {
    {"", "", "", ""},
    {"KA_MODEL0001A.0", "KA_MODEL0001A.mot", "MODEL0001A", "PN00000001"},
    {"KB_MODEL0001A.0", "KB_MODEL0001A.mot", "MODEL0001A", "PN00000002"},
    {"KA_MODEL0001A.0", "KA_MODEL0001A.mot", "MODEL0001A", "TORVA_DEF*"},
    {"KC_MODEL0002A.0", "KC_MODEL0002A.mot", "MODEL0002A", "MEQ_DEF***"},
    {"KD_MODEL0003A.0", "KD_MODEL0003A.mot", "MODEL0003A", "**********"},
    {"KE_MODEL0004A.0", "KE_MODEL0004A.mot", "MODEL0004A", "TN00000001"},
    {"KF_SHORT.0", "KF_SHORT.mot", "SHORT", "**********"},
};

int Scan(std::string_view model, std::string_view part, Platform platform)
{
    return ScanModelRows(kRows, model, part, DefaultKeyOf(platform));
}

TEST(ModelScan, PartNumberSelectsTheFirstRowOfTheModelWhoseKeyMatches)
{
    EXPECT_EQ(Scan("MODEL0001A", "PN00000001", Platform::Torva), 1);
    EXPECT_EQ(Scan("MODEL0001A", "PN00000002", Platform::Torva), 2);
    EXPECT_EQ(Scan("MODEL0001A", "PN00000002", Platform::Meq), 2);
    // Other part numbers fall through to the default-key row, on its platform only.
    EXPECT_EQ(Scan("MODEL0001A", "PN00000003", Platform::Torva), 3);
    EXPECT_EQ(Scan("MODEL0001A", "PN00000003", Platform::Meq), -1);
    EXPECT_EQ(Scan("MODEL0002A", "anything..", Platform::Meq), 4);
    EXPECT_EQ(Scan("MODEL0002A", "anything..", Platform::Torva), -1);
    // Ten wildcards take every radio of the model on either platform.
    EXPECT_EQ(Scan("MODEL0003A", "", Platform::Torva), 5);
    EXPECT_EQ(Scan("MODEL0003A", "", Platform::Meq), 5);
    EXPECT_EQ(Scan("MODEL0009A", "PN00000001", Platform::Torva), -1);
}

TEST(ModelScan, DefaultKeyCountsPositionByPosition)
{
    // 'T' at position 0 of the key is a character of "TORVA_DEF*" there, so a
    // TORVA radio needs only the other nine; a MEQ radio needs all ten.
    EXPECT_EQ(Scan("MODEL0004A", "XN00000001", Platform::Torva), 6);
    EXPECT_EQ(Scan("MODEL0004A", "XN00000001", Platform::Meq), -1);
    EXPECT_EQ(Scan("MODEL0004A", "TN00000001", Platform::Meq), 6);
    // A TORVA radio whose part number is the MEQ default key reaches a MEQ row.
    EXPECT_EQ(Scan("MODEL0002A", "MEQ_DEF***", Platform::Torva), 4);
}

TEST(ModelScan, ComparesTheFirstTenCharactersOfTheModelNumber)
{
    EXPECT_EQ(Scan("MODEL0001A-EXTRA", "PN00000002", Platform::Torva), 2);
    EXPECT_EQ(Scan("MODEL0001", "PN00000002", Platform::Torva), -1);
    EXPECT_EQ(Scan("MODEL0001B", "PN00000002", Platform::Torva), -1);
}

// Nothing beyond a value read may take part: a short part number matches a
// specific key only up to its length, and short or empty values never reach
// empty or malformed rows.
TEST(ModelScan, ComparesOnlyWithinTheValuesRead)
{
    EXPECT_EQ(Scan("MODEL0001A", "PN0000000", Platform::Meq), -1);
    EXPECT_EQ(Scan("MODEL0001A", "PN0000000", Platform::Torva), 3);
    const std::string withZero = "PN0000000\0"s;
    EXPECT_EQ(Scan("MODEL0001A", withZero, Platform::Meq), -1);

    EXPECT_EQ(Scan("", "", Platform::Torva), -1);
    EXPECT_EQ(Scan("", "", Platform::Meq), -1);
    EXPECT_EQ(Scan("SHORT", "", Platform::Torva), -1);
    EXPECT_FALSE(ModelRowAccepts(kRows[0], "", "", ""));
    EXPECT_EQ(FindModelRow("", "", Platform::Torva), -1);
    EXPECT_EQ(FindModelRow("", "", Platform::Meq), -1);
}

// Every filled row of the compiled table is reachable: a radio carrying a
// row's part number finds that row, and one with an unknown part number finds
// the model's catch-all row on its platform.
TEST(ModelScan, EveryRowOfTheCompiledTableIsFound)
{
    for (int j = 0; j < kModelTableRows; ++j) {
        const ModelRow& row = ModelTableRow(j);
        if (IsEmptyModelRow(row)) continue;
        const std::string_view key = row.codeplugKey;
        if (!IsCatchAllKey(key)) {
            EXPECT_EQ(FindModelRow(row.modelNumber, key, Platform::Torva), j);
            EXPECT_EQ(FindModelRow(row.modelNumber, key, Platform::Meq), j);
        } else {
            const Platform platform = key == kMeqDefaultKey ? Platform::Meq : Platform::Torva;
            EXPECT_EQ(FindModelRow(row.modelNumber, "0000000000", platform), j) << row.modelNumber;
        }
    }
}

UpgradePlan Plan(std::string_view version, int column)
{
    return FindVersionPlan(version, column);
}

// The first and last record of each range, on a column the range serves and
// one it does not.
TEST(VersionScan, PlanRangesAtTheirBoundaries)
{
    EXPECT_EQ(Plan("R01.00.04", 3), kFull);
    EXPECT_EQ(Plan("R01.00.04", 0), kNo);
    EXPECT_EQ(Plan("R01.00.20", 6), kFull);
    EXPECT_EQ(Plan("R01.00.20", 7), kNo);
    EXPECT_EQ(Plan("R01.00.21", 0), kFull);
    EXPECT_EQ(Plan("R01.00.21", 7), kFull);
    EXPECT_EQ(Plan("R01.00.21", 4), kNo);
    EXPECT_EQ(Plan("R02.00.18", 4), kFull);
    EXPECT_EQ(Plan("R02.02.04", 4), kFull);
    EXPECT_EQ(Plan("R02.02.04", 1), kFull);
    EXPECT_EQ(Plan("R03.00.28", 4), kKeepApp);
    EXPECT_EQ(Plan("R03.00.28", 0), kKeepApp);
    EXPECT_EQ(Plan("D03.01.28", 3), kKeepApp);
    EXPECT_EQ(Plan("T03.02.34", 6), kKeepApp);
    EXPECT_EQ(Plan("B03.08.04", 7), kKeepApp);
    EXPECT_EQ(Plan("R03.08.08", 1), kKeepApp);
    // Releases the table does not list, and what lies between them.
    EXPECT_EQ(Plan("R01.00.03", 3), kNo);
    EXPECT_EQ(Plan("R01.00.15", 3), kNo);
    EXPECT_EQ(Plan("R03.08.09", 0), kNo);
}

TEST(VersionScan, ColumnsWithoutModelsAreNeverSupported)
{
    const VersionRecord* table = VersionTable();
    for (int i = 0; !IsVersionTerminator(table[i]); ++i) {
        for (int column : {2, 5, 8})
            EXPECT_EQ(Plan(table[i].version, column), kNo) << table[i].version;
    }
    EXPECT_EQ(Plan("R03.08.08", -1), kNo);
    EXPECT_EQ(Plan("R03.08.08", 9), kNo);
}

TEST(VersionScan, ComparesTheFirstNineCharacters)
{
    EXPECT_EQ(Plan("R03.08.08.0001", 0), kKeepApp);
    EXPECT_EQ(Plan("R02.00.18 build 7", 0), kFull);
    EXPECT_EQ(Plan("R03.08.0", 0), kNo);
    EXPECT_EQ(Plan("", 0), kNo);
    EXPECT_EQ(Plan("r03.08.08", 0), kNo);
    // The terminator is no release, whatever follows its 'X'.
    EXPECT_EQ(Plan(std::string(VersionTable()[kVersionRecordCount].version) + "00.00.00", 0), kNo);
}

TEST(VersionScan, FirstOfTwoEqualVersionsIsTaken)
{
    const VersionRecord* table = VersionTable();
    const int first = FindVersionRecord(table, "R03.04.00");
    ASSERT_GE(first, 0);
    int second = -1;
    for (int i = first + 1; !IsVersionTerminator(table[i]); ++i) {
        if (std::string_view(table[i].version) == "R03.04.00") second = i;
    }
    EXPECT_GT(second, first);

    const VersionRecord twice[] = {{"R03.04.00", {kFull}}, {"R03.04.00", {kKeepApp}}, {"X", {}}};
    EXPECT_EQ(ScanVersionTable(twice, "R03.04.00", 0), kFull);
    const VersionRecord terminatorFirst[] = {{"X", {}}, {"R03.04.00", {kFull}}};
    EXPECT_EQ(ScanVersionTable(terminatorFirst, "R03.04.00", 0), kNo);
}

} // namespace
} // namespace vantrel
