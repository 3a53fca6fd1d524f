#include "data/VersionTable.h"

#include <cctype>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace vantrel {
namespace {

constexpr UpgradePlan kNo{};
constexpr UpgradePlan kFull{1, 1, 1, 1};
constexpr UpgradePlan kKeepApp{1, 1, 0, 1};

bool HasVersionForm(const char* v)
{
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return std::strlen(v) == 9 && std::isupper(static_cast<unsigned char>(v[0])) && digit(v[1]) && digit(v[2]) &&
           v[3] == '.' && digit(v[4]) && digit(v[5]) && v[6] == '.' && digit(v[7]) && digit(v[8]);
}

int CountRecords(const VersionRecord* table)
{
    int n = 0;
    while (!IsVersionTerminator(table[n]))
        ++n;
    return n;
}

TEST(VersionTable, HoldsTheReleasesInOrderUpToItsTerminator)
{
    const VersionRecord* table = VersionTable();
    ASSERT_EQ(CountRecords(table), kVersionRecordCount);
    EXPECT_EQ(table[kVersionRecordCount].version[0], 'X');
    EXPECT_EQ(table[kVersionRecordCount].plan, (std::array<UpgradePlan, kModelColumns>{}));
    EXPECT_STREQ(table[0].version, "R01.00.04");
    EXPECT_STREQ(table[kVersionRecordCount - 1].version, "R03.08.08");

    int r030400 = 0;
    for (int i = 0; i < kVersionRecordCount; ++i) {
        EXPECT_TRUE(HasVersionForm(table[i].version)) << i << " " << table[i].version;
        if (std::strcmp(table[i].version, "R03.04.00") == 0) ++r030400;
    }
    EXPECT_EQ(r030400, 2);
}

// The plans by version range: release 1 on columns 3 and 6 (R01.00.21 also 0,
// 1 and 7), release 2 on all six model columns, and from R03.00.28 on, whatever
// the first letter, the application codeplug is kept. Derived from the version
// text so that a record slipped into the wrong range shows.
TEST(VersionTable, EveryRecordCarriesThePlanOfItsRange)
{
    const VersionRecord* table = VersionTable();
    bool reachedRelease3 = false;
    for (int i = 0; i < kVersionRecordCount; ++i) {
        const std::string v = table[i].version;
        if (v == "R03.00.28") reachedRelease3 = true;
        std::array<UpgradePlan, kModelColumns> expected{};
        if (reachedRelease3) {
            expected = {kKeepApp, kKeepApp, kNo, kKeepApp, kKeepApp, kNo, kKeepApp, kKeepApp, kNo};
        } else if (v == "R01.00.21") {
            expected = {kFull, kFull, kNo, kFull, kNo, kNo, kFull, kFull, kNo};
        } else if (v.starts_with("R01.")) {
            expected = {kNo, kNo, kNo, kFull, kNo, kNo, kFull, kNo, kNo};
        } else {
            ASSERT_TRUE(v.starts_with("R02.")) << v;
            expected = {kFull, kFull, kNo, kFull, kFull, kNo, kFull, kFull, kNo};
        }
        EXPECT_EQ(table[i].plan, expected) << v;
    }
    EXPECT_TRUE(reachedRelease3);
}

TEST(VersionTable, NewestReleaseIsNotATestRelease)
{
    EXPECT_EQ(NewestReleaseVersion(), "R03.08.08");
    EXPECT_FALSE(IsTestRelease());
}

TEST(VersionTable, TestReleaseIsJudgedByTheLastRecordBeforeTheTerminator)
{
    const VersionRecord testLast[] = {{"R03.08.08", {}}, {"T03.08.09", {}}, {"X", {}}, {"R03.09.00", {}}};
    const VersionRecord testEarlier[] = {{"T03.08.09", {}}, {"R03.08.10", {}}, {"X", {}}};
    const VersionRecord onlyTerminator[] = {{"X", {}}};
    EXPECT_TRUE(IsTestRelease(testLast));
    EXPECT_STREQ(NewestVersionRecord(testLast)->version, "T03.08.09");
    EXPECT_FALSE(IsTestRelease(testEarlier));
    EXPECT_FALSE(IsTestRelease(onlyTerminator));
    EXPECT_EQ(NewestVersionRecord(onlyTerminator), nullptr);
}

} // namespace
} // namespace vantrel
