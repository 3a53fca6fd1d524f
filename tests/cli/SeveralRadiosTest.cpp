// A bench of several radios: command lines run at the same time, each on its
// own port, as separate processes (the link is one per process), all adding
// to one service history.

#include "history/HistoryStore.h"
#include "link/RadioCommands.h"
#include "sim/SimProfiles.h"
#include "sim/SimStateFile.h"
#include "support/ChildProcess.h"
#include "support/HistoryRecords.h"
#include "upgrade/UpgradeRig.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <thread>

namespace vantrel {
namespace {

constexpr int kRadios = 4;

std::string SerialOf(int n)
{
    return "BENCH0" + std::to_string(n);
}

std::vector<ServiceRecord> HistoryIn(const test::TempFolder& data)
{
    return test::HistoryRecords(data.File("service-history.sqlite"));
}

TEST(SeveralRadios, FourSimulatedRadiosAreUpgradedAtOnceAndAllRecorded)
{
    const std::string cli = test::BuiltProgram("vantrel-cli");
    if (access(cli.c_str(), X_OK) != 0) GTEST_SKIP() << "vantrel-cli not built";
    UpgradeFolder program;
    test::TempFolder data;
    test::TempFolder work;
    // Four radios, told apart by their serial numbers, each in its own state file.
    for (int n = 1; n <= kRadios; ++n) {
        SimRadioConfig config;
        ASSERT_TRUE(MakeSimProfile(kSimDefaultProfile, config));
        const std::string serial = SerialOf(n);
        config.state.items[kItemSerialNumber].value.assign(serial.begin(), serial.end());
        std::string error;
        ASSERT_TRUE(SaveSimState(work.File("radio" + std::to_string(n)), config.profile, config.state, error)) << error;
    }
    std::vector<std::unique_ptr<test::ChildProcess>> runs;
    for (int n = 1; n <= kRadios; ++n) {
        runs.push_back(std::make_unique<test::ChildProcess>(
            cli,
            std::vector<std::string>{"--folder", program.Path(), "--data-dir", data.Path(), "--sim-state",
                                     work.File("radio" + std::to_string(n)), "--yes", "upgrade"},
            work.File("run" + std::to_string(n))));
        ASSERT_TRUE(runs.back()->Started());
    }
    for (auto& run : runs)
        EXPECT_EQ(run->Wait(), 0) << run->Out() << run->Err();

    const std::vector<ServiceRecord> records = HistoryIn(data);
    ASSERT_EQ(records.size(), static_cast<size_t>(kRadios));
    std::set<std::string> serials;
    for (const ServiceRecord& r : records) {
        EXPECT_EQ(r.operation, "upgrade");
        EXPECT_EQ(r.outcome, ServiceOutcome::Succeeded);
        EXPECT_EQ(r.resultId, 20154u);
        EXPECT_TRUE(std::filesystem::exists(r.backupFile)) << r.backupFile;
        serials.insert(r.serialNumber);
    }
    EXPECT_EQ(serials, (std::set<std::string>{SerialOf(1), SerialOf(2), SerialOf(3), SerialOf(4)}));
}

// vantrel-simradio on a pseudo-terminal reached through a link in the folder.
class PtyRadio {
public:
    PtyRadio(const test::TempFolder& work, int n)
        : m_link(work.File("port" + std::to_string(n))),
          m_process(test::BuiltProgram("vantrel-simradio"), {"--link", m_link, "--auto-operator", "--quiet"},
                    work.File("radio" + std::to_string(n)))
    {
        for (int i = 0; i < 100 && !std::filesystem::exists(m_link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    bool Ready() const { return std::filesystem::exists(m_link); }
    const std::string& Link() const { return m_link; }

private:
    std::string m_link;
    test::ChildProcess m_process;
};

TEST(SeveralRadios, APortOpenedTwiceIsRefusedInUseWhileTheOtherRunsGoOn)
{
    const std::string cli = test::BuiltProgram("vantrel-cli");
    if (access(cli.c_str(), X_OK) != 0) GTEST_SKIP() << "vantrel-cli not built";
    test::TempFolder work;
    test::TempFolder data;
    std::vector<std::unique_ptr<PtyRadio>> radios;
    for (int n = 1; n <= kRadios; ++n) {
        radios.push_back(std::make_unique<PtyRadio>(work, n));
        if (!radios.back()->Ready()) GTEST_SKIP() << "vantrel-simradio not built or no pseudo-terminals";
    }
    const auto infoOn = [&](const std::string& port, const std::string& name) {
        return std::make_unique<test::ChildProcess>(
            cli, std::vector<std::string>{"--port", port, "--data-dir", data.Path(), "info"}, work.File(name));
    };
    std::vector<std::unique_ptr<test::ChildProcess>> runs;
    for (int n = 1; n <= kRadios; ++n)
        runs.push_back(infoOn(radios[static_cast<size_t>(n - 1)]->Link(), "info" + std::to_string(n)));
    // Once the first run holds its port (for seconds: ten items and a reset),
    // a second program asks for the same one.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!runs[0]->HasOpen(radios[0]->Link()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(runs[0]->HasOpen(radios[0]->Link()));
    auto twice = infoOn(radios[0]->Link(), "twice");
    EXPECT_EQ(twice->Wait(), 1);
    EXPECT_NE(twice->Err().find("could not be opened.\nIt may be in use by another program."), std::string::npos)
        << twice->Err();
    EXPECT_NE(twice->Err().find("(in use by "), std::string::npos) << twice->Err();
    EXPECT_TRUE(runs[0]->HasOpen(radios[0]->Link())) << "the refusal came while the first run went on";

    for (auto& run : runs) {
        EXPECT_EQ(run->Wait(), 0) << run->Err();
        EXPECT_NE(run->Out().find("Serial Number:"), std::string::npos);
    }
    const std::vector<ServiceRecord> records = HistoryIn(data);
    ASSERT_EQ(records.size(), static_cast<size_t>(kRadios + 1));
    int succeeded = 0;
    int refused = 0;
    for (const ServiceRecord& r : records) {
        succeeded += r.outcome == ServiceOutcome::Succeeded;
        refused += r.resultId == 20001 && r.device == radios[0]->Link();
    }
    EXPECT_EQ(succeeded, kRadios);
    EXPECT_EQ(refused, 1);
}

} // namespace
} // namespace vantrel
