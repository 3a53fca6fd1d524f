// A mixed run of every radio command of the command line: each adds exactly
// one record, and the record says what the command learnt and how it ended.

#include "data/VersionTable.h"
#include "history/HistoryStore.h"
#include "history/HistoryText.h"
#include "operations/PatchFile.h"
#include "platform/Files.h"
#include "sim/CodeplugGenerator.h"
#include "sim/SimSamplePatch.h"
#include "support/CliRunner.h"
#include "support/CodeplugFiles.h"
#include "support/HistoryRecords.h"
#include "upgrade/UpgradeRig.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr const char* kSerial = "742TQK1234";

struct CommandRecord {
    const char* name;
    std::vector<std::string> args; // after the common options
    int exitStatus;
    // The record it must leave.
    const char* operation;
    ServiceOutcome outcome;
    uint32_t resultId;
    uint32_t rate;
    bool serialKnown;
    bool backup;
    const char* softwareAfter; // nullptr: not checked
};

// One program folder, data folder and simulated radio for the whole run.
class MixedRun {
public:
    MixedRun()
    {
        m_program.folder.Write(kPatchFileName, SimSamplePatchText());
        m_program.folder.Write("codeplug.0", CodeplugSRecordText(GenerateNewCodeplugImage({})));
    }

    test::CliRun Run(std::vector<std::string> args)
    {
        std::vector<std::string> all{"--folder",    m_program.Path(),           "--data-dir", m_data.Path(),
                                     "--sim-state", m_data.File("radio.state"), "--yes"};
        all.insert(all.end(), args.begin(), args.end());
        return test::RunCommand(all);
    }
    std::string File(const std::string& name) const { return m_program.folder.File(name); }
    std::string HistoryPath() const { return m_data.File("service-history.sqlite"); }

    std::vector<ServiceRecord> Records(const HistoryFilter& filter = {})
    {
        return test::HistoryRecords(HistoryPath(), filter);
    }

private:
    UpgradeFolder m_program;
    test::TempFolder m_data;
};

TEST(ServiceHistoryRecords, EveryRadioCommandAddsExactlyOneTrueRecord)
{
    MixedRun run;
    // The first upgrade's backup is restored further down.
    using O = ServiceOutcome;
    // clang-format off
    const std::vector<CommandRecord> commands = {
        // name, command line, exit status; operation, outcome, result, rate, serial known, backup, software after
        {"info", {"info"}, 0,                                    "info", O::Succeeded, 0, 9600, true, false, "R03.07.05"},
        {"region read", {"region"}, 0,                           "region-read", O::Succeeded, 0, 9600, false, false, nullptr},
        {"region set", {"region", "set", "asia"}, 0,             "region-write", O::Succeeded, 20012, 9600, false, false, nullptr},
        {"upgrade", {"--rate", "38400", "upgrade"}, 0,           "upgrade", O::Succeeded, 20154, 38400, true, true, "R03.08.08"},
        {"flash firmware", {"--rate", "19200", "upgrade", "--firmware", run.File("torva5t.0")}, 0,
                                                                 "flash-firmware", O::Succeeded, 20154, 19200, true, true, ""},
        {"write codeplug", {"write-codeplug", run.File("codeplug.0")}, 0,
                                                                 "write-codeplug", O::Succeeded, 20154, 9600, true, true, nullptr},
        {"patch", {"patch"}, 0,                                  "patch", O::Succeeded, 20163, 9600, true, true, nullptr},
        // The undo file is used up (named in the detail); the block it wrote over is kept as a backup.
        {"unpatch", {"unpatch"}, 0,                              "unpatch", O::Succeeded, 20163, 9600, true, true, nullptr},
        {"radio silent", {"--sim-fault", "silence@1", "info"}, 1, "info", O::Failed, 20157, 9600, false, false, nullptr},
        {"no such port", {"--port", "/dev/vantrel-no-such-port", "info"}, 1,
                                                                 "info", O::Failed, 20270, 9600, false, false, nullptr},
        // The radio's data are saved before the bootcode goes out: a backup though the upgrade failed.
        {"upgrade, radio without power", {"--sim-fault", "power@boot:1-", "upgrade"}, 1,
                                                                 "upgrade", O::Failed, 20146, 38400, true, true, nullptr},
    };
    // clang-format on
    // Commands that do not speak to a radio add nothing.
    ASSERT_EQ(run.Run({"export", "firmware"}).status, 0);
    ASSERT_EQ(run.Run({"ports"}).status, 0);
    EXPECT_TRUE(run.Records().empty());

    std::string firstBackup;
    for (size_t n = 0; n < commands.size(); ++n) {
        const CommandRecord& c = commands[n];
        const test::CliRun result = run.Run(c.args);
        EXPECT_EQ(result.status, c.exitStatus) << c.name << ": " << result.out << result.err;
        const std::vector<ServiceRecord> records = run.Records();
        ASSERT_EQ(records.size(), n + 1) << c.name;
        const ServiceRecord& r = records.back();
        EXPECT_EQ(r.operation, c.operation) << c.name;
        EXPECT_EQ(r.outcome, c.outcome) << c.name;
        EXPECT_EQ(r.resultId, c.resultId) << c.name;
        if (c.resultId != 0) {
            EXPECT_FALSE(r.resultText.empty()) << c.name;
        }
        EXPECT_EQ(r.rate, c.rate) << c.name;
        EXPECT_EQ(r.frontEnd, "vantrel-cli") << c.name;
        EXPECT_EQ(r.port, "COM1") << c.name;
        EXPECT_EQ(r.programVersion, NewestReleaseVersion()) << c.name;
        EXPECT_EQ(r.serialNumber, c.serialKnown ? kSerial : "") << c.name;
        EXPECT_EQ(!r.backupFile.empty(), c.backup) << c.name;
        if (c.backup) {
            EXPECT_TRUE(std::filesystem::exists(r.backupFile)) << c.name << ": " << r.backupFile;
        }
        if (c.softwareAfter) {
            EXPECT_EQ(r.softwareAfter, c.softwareAfter) << c.name;
        }
        EXPECT_EQ(r.time.size(), 20u) << r.time;
        if (r.operation == "upgrade" && firstBackup.empty()) firstBackup = r.backupFile;
    }

    // A restore of the first upgrade's backup, recorded with the backup it saved first.
    const test::CliRun restore = run.Run({"restore", firstBackup});
    EXPECT_EQ(restore.status, 0) << restore.out << restore.err;
    const std::vector<ServiceRecord> records = run.Records();
    ASSERT_EQ(records.size(), commands.size() + 1);
    EXPECT_EQ(records.back().operation, "restore");
    EXPECT_EQ(records.back().outcome, ServiceOutcome::Succeeded);
    EXPECT_EQ(records.back().resultId, 20207u);
    EXPECT_NE(records.back().backupFile, firstBackup);
    EXPECT_NE(records.back().detail.find(firstBackup), std::string::npos) << records.back().detail;

    // A recovery from the same backup is an operation of its own, recorded like the restore.
    const test::CliRun recover = run.Run({"recover", "--backup", firstBackup});
    EXPECT_EQ(recover.status, 0) << recover.out << recover.err;
    const std::vector<ServiceRecord> recovered = run.Records();
    ASSERT_EQ(recovered.size(), commands.size() + 2);
    EXPECT_EQ(recovered.back().operation, "recovery");
    EXPECT_EQ(recovered.back().outcome, ServiceOutcome::Succeeded);
    EXPECT_EQ(recovered.back().resultId, 20230u);
    EXPECT_FALSE(recovered.back().backupFile.empty());
    EXPECT_NE(recovered.back().backupFile, firstBackup);
    EXPECT_NE(recovered.back().detail.find(firstBackup), std::string::npos) << recovered.back().detail;

    // What the history says of single records.
    const ServiceRecord& info = records[0];
    EXPECT_EQ(info.device, "sim");
    EXPECT_FALSE(info.modelNumber.empty());
    EXPECT_EQ(info.esn.size(), 13u) << info.esn;
    EXPECT_EQ(info.softwareBefore, info.softwareAfter);
    EXPECT_EQ(info.codeplugBefore, info.codeplugAfter);
    EXPECT_NE(records[1].detail.find("Regional ID: "), std::string::npos) << records[1].detail;
    EXPECT_NE(records[2].detail.find("Asia (0x04)"), std::string::npos) << records[2].detail;
    const ServiceRecord& upgrade = records[3];
    EXPECT_EQ(upgrade.softwareBefore, info.softwareBefore);
    EXPECT_GT(upgrade.durationMs, 10000u) << "the virtual clock's time, not the wall's";
    EXPECT_EQ(records[9].detail, "no such device") << "the platform's reason for the port";

    // The command line lists them, one radio's or all, from a date on.
    const std::vector<ServiceRecord> withSerial = run.Records({kSerial, ""});
    EXPECT_EQ(static_cast<size_t>(std::count_if(records.begin(), records.end(),
                                                [](const ServiceRecord& r) { return r.serialNumber == kSerial; })),
              withSerial.size());
    EXPECT_EQ(run.Run({"history", "--serial", kSerial, "--csv"}).out, HistoryCsv(withSerial));
    const std::string json = run.Run({"history", "--json"}).out;
    EXPECT_EQ(json.rfind("{\"records\":[{\"id\":1,\"time\":\"", 0), 0u) << json;
    EXPECT_NE(json.find("\"serial_number\":\"742TQK1234\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"result_id\":20154,"), std::string::npos) << json;
    EXPECT_EQ(run.Run({"history", "--since", "2999-01-01", "--json"}).out, "{\"records\":[]}\n");
    EXPECT_NE(run.Run({"history"}).out.find("region-write"), std::string::npos);
}

TEST(ServiceHistoryRecords, TheHistoryCommandRefusesBadInput)
{
    MixedRun run;
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"history", "--since", "31.12.2024"}, {"history", "--json", "--csv"}, {"history", "--serial"}}) {
        const test::CliRun refused = run.Run(bad);
        EXPECT_EQ(refused.status, 2) << bad.back();
        EXPECT_FALSE(refused.err.empty());
    }
}

TEST(ServiceHistoryRecords, AFailuresOwnNoteIsKeptWithTheRecord)
{
    MixedRun run;
    // Every write refused: the final box says the flashing failed, the note why.
    const test::CliRun refused =
        run.Run({"--sim-fault", "nak@8-", "write-codeplug", "--no-backup", run.File("codeplug.0")});
    EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
    EXPECT_NE(refused.err.find("Writing the codeplug into the radio failed"), std::string::npos) << refused.err;
    const std::vector<ServiceRecord> records = run.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].outcome, ServiceOutcome::Succeeded);
    EXPECT_NE(records[0].detail.find("Writing the codeplug into the radio failed"), std::string::npos)
        << records[0].detail;
}

TEST(ServiceHistoryRecords, AHistoryInTroubleNeverFailsTheOperation)
{
    MixedRun run;
    // A folder where the history file should be: nothing can be recorded.
    std::filesystem::create_directories(run.HistoryPath());
    test::CliRun result = run.Run({"region", "set", "emea"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("The Regional ID was successfully programmed."), std::string::npos);
    EXPECT_NE(result.out.find("The service history could not be written (" + run.HistoryPath() + ": "),
              std::string::npos)
        << result.out;

    // A damaged file is set aside and the operation recorded in a new one.
    std::filesystem::remove_all(run.HistoryPath());
    const std::string garbage(5000, '#');
    ASSERT_TRUE(WriteFileAtomically(run.HistoryPath(), garbage.data(), garbage.size()));
    result = run.Run({"region"});
    EXPECT_EQ(result.out.substr(result.out.size() - 5), "EMEA\n");
    EXPECT_NE(result.out.find("It was set aside as " + run.HistoryPath() + ".damaged-"), std::string::npos)
        << result.out;
    ASSERT_EQ(run.Records().size(), 1u);
}

} // namespace
} // namespace vantrel
