// The command line at a real bench: the cable check, and a run the operator
// interrupts.

#include "link/Feedback.h"
#include "platform/StopRequest.h"
#include "support/CliRunner.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using test::CliRun;
using test::RunCommand;
using test::TempPath;

struct CableCase {
    const char* name;
    std::vector<std::string> options;
    int status;
    std::vector<std::string> out; // each printed on standard output
    std::string err;              // printed on the error output
};

class CableCheckCommand : public ::testing::TestWithParam<CableCase> {};

TEST_P(CableCheckCommand, ReportsEchoRoundTripAndLatencyPerRate)
{
    const CableCase& c = GetParam();
    std::vector<std::string> args = c.options;
    args.push_back("cable-check");
    const CliRun run = RunCommand(args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    for (const std::string& text : c.out)
        EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
    if (c.err.empty())
        EXPECT_EQ(run.err, "");
    else
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CableCheckCommand,
    ::testing::Values(
        // The simulated radio switched off: all the line carries is the echo,
        // each 8-byte pattern in its character times. Through an adapter the
        // echo waits for the next expiry of its latency timer, which runs from
        // the opening of the port.
        CableCase{"GoodNativeLine",
                  {"--yes"},
                  0,
                  {"   9600 Bd  good              8.3          8.3          8.3",
                   "   2400 Bd  good             33.3         33.3         33.3",
                   "  38400 Bd  good              2.1          2.1          2.1", "Low-latency mode: not a USB adapter",
                   "A received break is detectable: yes", "The cable is fit for an upgrade."},
                  ""},
        CableCase{"LowLatencyAdapter",
                  {"--yes", "--sim-adapter", "usb", "--rate", "115200"},
                  0,
                  {"   9600 Bd  good              9.0          9.0          8.3", " 115200 Bd  good",
                   "Low-latency mode: on (received bytes wait up to 1 ms)", "The cable is fit for an upgrade."},
                  ""},
        CableCase{"DefaultLatencyAdapter",
                  {"--yes", "--sim-adapter", "usb-default"},
                  0,
                  {"   2400 Bd  good             42.0         48.0         33.3",
                   "Low-latency mode: off: the driver refused it", "(received bytes wait up to 16 ms)",
                   "The cable is fit for an upgrade."},
                  ""},
        CableCase{"NoiseGarblesTheEcho",
                  {"--yes", "--sim-fault", "garble@byte:30"},
                  1,
                  {"   9600 Bd  garbled", "the echo at 9600 Bd is garbled: 20 came back as 28"},
                  "The cable is not fit for an upgrade: the echo at 9600 Bd is garbled: 20 came back as 28."},
        CableCase{"NoiseAtTheFlashRateOnly",
                  {"--yes", "--sim-fault", "garble@byte:200-"},
                  1,
                  {"   9600 Bd  good", "   2400 Bd  good", "  38400 Bd  garbled"},
                  "The cable is not fit for an upgrade: the echo at 38400 Bd is garbled"},
        CableCase{"UnpluggedAdapter",
                  {"--yes", "--sim-fault", "noecho"},
                  1,
                  {"   9600 Bd  none", "no echo at 9600 Bd: the cable or the flash adapter is not connected"},
                  "The cable is not fit for an upgrade: no echo at 9600 Bd"},
        CableCase{"NobodyConfirmsTheRadioIsOff", {}, 3, {"(Cancel: run with --yes to confirm)"}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CableCheckCommandOptions, ABadAdapterIsAUsageError)
{
    const CliRun run = RunCommand({"--yes", "--sim-adapter", "ftdi", "cable-check"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--sim-adapter: unknown adapter \"ftdi\""), std::string::npos) << run.err;
}

// The simulated operator switches the radio off for the check and on again
// after it: the next command finds it answering.
TEST(CableCheckCommandOptions, TheRadioIsOnAgainAfterTheCheck)
{
    const std::string state = TempPath("cable.state");
    ASSERT_EQ(RunCommand({"--sim-state", state, "--yes", "cable-check"}).status, 0);
    EXPECT_EQ(RunCommand({"--sim-state", state, "info"}).status, 0);
    std::filesystem::remove(state);
}

// Ctrl+C while the operator answers the bootstrap prompt: the run stops before
// the first bootcode block, asks nothing more, closes the port and says where
// the radio stands, with its own exit status.
TEST(CliInterruption, ASignalStopsTheRunAtASafePointAndSaysWhereTheRadioStands)
{
    const std::filesystem::path folder = TempPath("interrupt-folder");
    std::filesystem::create_directories(folder);
    for (const auto& entry : std::filesystem::directory_iterator(VANTREL_BIN_DIR)) {
        if (entry.path().extension() == ".0")
            std::filesystem::copy_file(entry.path(), folder / entry.path().filename());
    }
    ASSERT_EQ(RunCommand({"--folder", folder.string(), "export", "all"}).status, 0);
    const int listener = AddOperatorActionListener([](uint32_t id, int) {
        if (id != 20133) return;
#ifdef _WIN32
        // A console event would reach every process of the console: the
        // handler's own effect stands in for it.
        RequestStop();
#else
        std::raise(SIGINT);
#endif
    });
    const CliRun run =
        RunCommand({"--folder", folder.string(), "--data-dir", (folder / "data").string(), "--yes", "upgrade"});
    RemoveOperatorActionListener(listener);
    EXPECT_EQ(run.status, 4) << run.out << run.err;
    EXPECT_NE(run.err.find("Interrupted: stopped between two requests to the radio; the port is closed.\nThe radio "
                           "is in bootstrap mode or runs the bootcode; its EEPROM data and firmware are as they were."),
              std::string::npos)
        << run.err;
    // Nothing more was asked of the operator, and no download failure was reported.
    EXPECT_EQ(run.out.find("Downloading the bootcode failed"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("FL0"), std::string::npos) << run.err;
    // The handler is gone again: the next command runs.
    EXPECT_EQ(RunCommand({"info"}).status, 0);
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace vantrel
