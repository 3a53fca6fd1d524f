#include "history/HistoryStore.h"

#include "images/ImageTestSupport.h"
#include "platform/Files.h"
#include "support/HistoryRecords.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

// A record with every field set, told apart by n.
ServiceRecord SampleRecord(int n)
{
    ServiceRecord r;
    r.time = "2024-01-3" + std::to_string(n % 2) + "T15:45:0" + std::to_string(n % 10) + "Z";
    r.operation = "upgrade";
    r.frontEnd = "vantrel-cli";
    r.port = "COM" + std::to_string(1 + n % 4);
    r.device = "sim:default";
    r.rate = 38400;
    r.modelNumber = "H98QDH9PW5";
    r.serialNumber = "742TQK" + std::to_string(1000 + n);
    r.esn = "012/03/077881";
    r.softwareBefore = "R03.04.00";
    r.softwareAfter = "R03.08.08";
    r.codeplugBefore = "R03.04.01";
    r.codeplugAfter = "";
    r.outcome = n % 3 == 0 ? ServiceOutcome::Failed : ServiceOutcome::Succeeded;
    r.resultId = 20154;
    r.resultText = "Upgrade Successfully done!\nSet the flash adapter switch to OFF(Normal Operation)";
    r.detail = "a \"quoted\", line\nand bytes \xFF\x01";
    r.durationMs = 123456 + static_cast<uint64_t>(n);
    r.backupFile = "/home/tech/.local/share/vantrel/742TQK1234-20240131-154502.vbk";
    r.programVersion = "3.8.8";
    return r;
}

std::string Pragma(const std::string& path, const std::string& pragma)
{
    return test::SqlValue(path, "PRAGMA " + pragma);
}

bool AppendTo(const std::string& path, ServiceRecord& record, std::string& setAside)
{
    CHistoryStore store(path);
    std::string error;
    return store.Open(error, setAside) && store.Append(record, error);
}

std::vector<ServiceRecord> All(const std::string& path, const HistoryFilter& filter = {})
{
    std::string error;
    const std::vector<ServiceRecord> records = test::HistoryRecords(path, filter, &error);
    EXPECT_EQ(error, "");
    return records;
}

TEST(HistoryStore, KeepsEveryFieldOfEveryRecordInOrder)
{
    test::TempFolder folder;
    const std::string path = folder.File("history.sqlite");
    std::vector<ServiceRecord> written;
    for (int n = 0; n < 5; ++n) {
        ServiceRecord record = SampleRecord(n);
        std::string setAside;
        ASSERT_TRUE(AppendTo(path, record, setAside));
        EXPECT_EQ(record.id, n + 1);
        written.push_back(record);
    }
    EXPECT_EQ(All(path), written);
    // Written ahead of time, checked by the database on every open.
    EXPECT_EQ(Pragma(path, "journal_mode"), "wal");
    EXPECT_EQ(Pragma(path, "user_version"), std::to_string(CHistoryStore::kSchemaVersion));
    EXPECT_EQ(Pragma(path, "integrity_check"), "ok");
}

struct FilterCase {
    const char* name;
    HistoryFilter filter;
    std::vector<int64_t> ids;
};

class HistoryFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(HistoryFilterTest, ListsOnlyTheRecordsAsked)
{
    test::TempFolder folder;
    const std::string path = folder.File("history.sqlite");
    for (int n = 0; n < 6; ++n) {
        ServiceRecord record = SampleRecord(n % 3);
        record.time = "2024-03-0" + std::to_string(1 + n) + "T08:00:00Z";
        std::string setAside;
        ASSERT_TRUE(AppendTo(path, record, setAside));
    }
    std::vector<int64_t> ids;
    for (const ServiceRecord& r : All(path, GetParam().filter))
        ids.push_back(r.id);
    EXPECT_EQ(ids, GetParam().ids);
}

INSTANTIATE_TEST_SUITE_P(Filters, HistoryFilterTest,
                         ::testing::Values(FilterCase{"everything", {}, {1, 2, 3, 4, 5, 6}},
                                           FilterCase{"one_serial_number", {"742TQK1001", ""}, {2, 5}},
                                           FilterCase{"from_a_day_on", {"", "2024-03-04"}, {4, 5, 6}},
                                           FilterCase{"serial_and_day", {"742TQK1000", "2024-03-02"}, {4}},
                                           FilterCase{"from_a_time_on", {"", "2024-03-03T08:00:01Z"}, {4, 5, 6}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryStore, ListingAHistoryThatDoesNotExistCreatesNothing)
{
    test::TempFolder folder;
    const std::string path = folder.File("history.sqlite");
    EXPECT_TRUE(All(path).empty());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(HistoryStore, AnOlderSchemaIsBroughtUpToDateKeepingItsRecords)
{
    test::TempFolder folder;
    const std::string path = folder.File("history.sqlite");
    ServiceRecord record = SampleRecord(1);
    std::string setAside;
    ASSERT_TRUE(AppendTo(path, record, setAside));
    // Back to the first schema: as a program of that version left it.
    test::SqlValue(path, "DROP INDEX operations_by_serial");
    test::SqlValue(path, "PRAGMA user_version = 1");
    ASSERT_EQ(Pragma(path, "user_version"), "1");

    ServiceRecord second = SampleRecord(2);
    ASSERT_TRUE(AppendTo(path, second, setAside));
    EXPECT_TRUE(setAside.empty());
    EXPECT_EQ(Pragma(path, "user_version"), "2");
    EXPECT_EQ(All(path), (std::vector<ServiceRecord>{record, second}));
}

TEST(HistoryStore, AHistoryOfANewerProgramIsLeftAsItIs)
{
    test::TempFolder folder;
    const std::string path = folder.File("history.sqlite");
    ServiceRecord record = SampleRecord(1);
    std::string setAside;
    ASSERT_TRUE(AppendTo(path, record, setAside));
    for (const char* sql : {"PRAGMA user_version = 7", "PRAGMA journal_mode = DELETE"})
        test::SqlValue(path, sql);
    const std::vector<uint8_t> before = folder.Read("history.sqlite");

    {
        CHistoryStore store(path);
        std::string error;
        EXPECT_FALSE(store.Open(error, setAside));
        EXPECT_NE(error.find("newer Vantrel"), std::string::npos) << error;
        EXPECT_TRUE(setAside.empty());
    }
    EXPECT_EQ(folder.Read("history.sqlite"), before);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"history.sqlite"});
}

struct DamageCase {
    const char* name;
    std::function<void(const std::string& path)> damage;
};

class HistoryDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(HistoryDamageTest, ADamagedFileIsSetAsideAndANewHistoryStarted)
{
    test::TempFolder folder;
    const std::string path = folder.File("history.sqlite");
    GetParam().damage(path);
    const std::vector<uint8_t> before = folder.Read("history.sqlite");

    ServiceRecord record = SampleRecord(3);
    std::string setAside;
    ASSERT_TRUE(AppendTo(path, record, setAside));
    ASSERT_FALSE(setAside.empty());
    EXPECT_NE(setAside.find("history.sqlite.damaged-"), std::string::npos) << setAside;
    // The old file is kept, byte for byte, for whoever wants to look at it.
    std::vector<uint8_t> aside;
    ASSERT_TRUE(ReadWholeFile(setAside, aside));
    EXPECT_EQ(aside, before);
    EXPECT_EQ(All(path), std::vector<ServiceRecord>{record});
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(WriteFileAtomically(path, bytes.data(), bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Damage, HistoryDamageTest,
    ::testing::Values(DamageCase{"not_a_database", [](const std::string& p) { WriteFile(p, std::string(3000, 'x')); }},
                      DamageCase{
                          "another_programs_database",
                          [](const std::string& p) { test::SqlValue(p, "CREATE TABLE invoices (number INTEGER)"); }},
                      DamageCase{"damaged_pages",
                                 [](const std::string& p) {
                                     ServiceRecord r = SampleRecord(1);
                                     std::string aside;
                                     for (int n = 0; n < 40; ++n)
                                         ASSERT_TRUE(AppendTo(p, r, aside));
                                     test::SqlValue(p, "PRAGMA journal_mode = DELETE");
                                     std::vector<uint8_t> bytes;
                                     ASSERT_TRUE(ReadWholeFile(p, bytes));
                                     ASSERT_GT(bytes.size(), 8192u);
                                     // The second page onwards: the table's pages, scribbled over.
                                     for (size_t i = 4096 + 8; i < bytes.size(); i += 7)
                                         bytes[i] = static_cast<uint8_t>(bytes[i] ^ 0x5A);
                                     WriteFile(p, std::string(bytes.begin(), bytes.end()));
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantrel
