#include "data/ModelTable.h"
#include "sim/CodeplugGenerator.h"
#include "support/CliRunner.h"
#include "support/CodeplugFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace vantrel {
namespace {

using test::CliRun;
using test::RunCommand;
using test::TempPath;

TEST(CliTest, InfoPrintsTheTenFieldsFromTheSimulatedRadio)
{
    const CliRun run = RunCommand({"info"});
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* label :
         {"Model Number:", "Serial Number:", "ESN:", "Software Version:", "Codeplug Version:", "Last Programmed:",
          "Codeplug Part No:", "Firmware Part No:", "Radio IC Versions:", "Regional Identifier:"}) {
        EXPECT_NE(run.out.find(label), std::string::npos) << label;
    }
}

TEST(CliTest, CommunicationErrorPrintsTheMessageAndFails)
{
    const CliRun run = RunCommand({"--sim-fault", "silence@1", "info"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Serial Communication Error!\nCheck the connection to the radio and try again."),
              std::string::npos);
}

TEST(CliTest, RegionSetIsKeptInTheStateFile)
{
    const std::string state = TempPath("region.state");
    CliRun run = RunCommand({"--sim-state", state, "region", "set", "north america"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("The Regional ID was successfully programmed."), std::string::npos);
    run = RunCommand({"--sim-state", state, "region", "set", "255"});
    ASSERT_EQ(run.status, 0) << run.err;
    run = RunCommand({"--sim-state", state, "region"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "No Region defined\n");
    std::filesystem::remove(state);
}

TEST(CliTest, UsageErrorsSendNothing)
{
    const std::string trace = TempPath("usage.trace");
    for (const char* bad : {"Mars", "5", "256", "-1", ""}) {
        const CliRun run = RunCommand({"--trace", trace, "region", "set", bad});
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_FALSE(std::filesystem::exists(trace)) << "a usage error opened the port for " << bad;
    }
    EXPECT_EQ(RunCommand({"frobnicate"}).status, 2);
    EXPECT_EQ(RunCommand({"--rate", "57600", "info"}).status, 2);
    EXPECT_EQ(RunCommand({"--sim-fault", "sparks@2", "info"}).status, 2);
    EXPECT_EQ(RunCommand({"--sim-profile", "no-such-radio", "info"}).status, 2);
}

TEST(CliTest, TraceRecordsEveryByteWithItsTime)
{
    const std::string trace = TempPath("info.trace");
    ASSERT_EQ(RunCommand({"--port", "sim", "--trace", trace, "info"}).status, 0);
    std::stringstream text;
    {
        std::ifstream in(trace); // closed before the file is removed, as Windows needs
        text << in.rdbuf();
    }
    // The first request, its echo and the ACK.
    EXPECT_NE(text.str().find("TX F2 23 00 EA"), std::string::npos);
    EXPECT_NE(text.str().find("RX F2 23 00 EA"), std::string::npos);
    EXPECT_NE(text.str().find("RX 50"), std::string::npos);
    EXPECT_NE(text.str().find("TX F1 10 FE"), std::string::npos); // the reset at the end
    std::filesystem::remove(trace);
}

TEST(CliTest, MissingDeviceNamesThePortAndTheCause)
{
#ifdef _WIN32
    const std::string missing = "COM231";
    const std::string cause = "(no such port)";
#else
    const std::string missing = "/dev/vantrel-no-such-tty";
    const std::string cause = "(no such device)";
#endif
    const CliRun run = RunCommand({"--port", missing, "info"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("The serial port " + missing + " could not be opened."), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
}

TEST(CliTest, ExportWritesIntoTheGivenFolder)
{
    const std::filesystem::path folder = TempPath("export");
    std::filesystem::create_directories(folder);
    CliRun run = RunCommand({"--folder", folder.string(), "export", "firmware"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Open firmware file failed"), std::string::npos);
    EXPECT_EQ(run.out.find("successfully"), std::string::npos);

    std::filesystem::copy_file(std::filesystem::path(VANTREL_BIN_DIR) / "torva5t.0", folder / "torva5t.0");
    run = RunCommand({"--folder", folder.string(), "export", "firmware"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("New Firmware file created successfully"), std::string::npos);
    EXPECT_GT(std::filesystem::file_size(folder / "tor5t.mot"), 4u);
    EXPECT_EQ(RunCommand({"export", "everything"}).status, 2);
    std::filesystem::remove_all(folder);
}

TEST(CliTest, PathsStartingWithASlashAreArgumentsOnEveryPlatform)
{
    // Windows-style options ("/port") would take such a path for an option.
    const CliRun run = RunCommand({"--folder", "/vantrel-no-such-folder", "export", "firmware"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Open firmware file failed"), std::string::npos) << run.err;
}

TEST(CliTest, UpgradeOfTheSimulatedRadioEndsWithSuccessAndKeepsABackup)
{
    const std::filesystem::path folder = TempPath("upgrade");
    const std::filesystem::path data = TempPath("upgrade-data");
    std::filesystem::create_directories(folder);
    for (const auto& entry : std::filesystem::directory_iterator(VANTREL_BIN_DIR)) {
        if (entry.path().extension() == ".0")
            std::filesystem::copy_file(entry.path(), folder / entry.path().filename());
    }
    ASSERT_EQ(RunCommand({"--folder", folder.string(), "export", "all"}).status, 0);

    // Without --yes nobody answers the bootstrap prompt: the run is cancelled.
    CliRun run = RunCommand(
        {"--folder", folder.string(), "--data-dir", data.string(), "--sim-profile", "phase12-r2", "upgrade"});
    EXPECT_EQ(run.status, 3) << run.out << run.err;

    run = RunCommand(
        {"--folder", folder.string(), "--data-dir", data.string(), "--sim-profile", "phase12-r2", "--yes", "upgrade"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Upgrade Successfully done!\nSet the flash adapter switch to OFF(Normal Operation) and "
                           "turn the radio OFF and then ON again."),
              std::string::npos);
    EXPECT_NE(run.out.find("The radio's EEPROM data was saved to " + data.string()), std::string::npos) << run.out;

    // A backup file that is not one is refused before anything is sent.
    const std::filesystem::path bogus = folder / "bogus.vbk";
    std::ofstream(bogus) << "not a backup";
    run = RunCommand({"--folder", folder.string(), "--yes", "restore", bogus.string()});
    EXPECT_EQ(run.status, 1);
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(data);
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A program folder with the image files the exports make from the sample sources.
std::filesystem::path ExportedProgramFolder(const std::string& name)
{
    const std::filesystem::path folder = TempPath(name);
    std::filesystem::create_directories(folder);
    for (const auto& entry : std::filesystem::directory_iterator(VANTREL_BIN_DIR)) {
        if (entry.path().extension() == ".0")
            std::filesystem::copy_file(entry.path(), folder / entry.path().filename());
    }
    EXPECT_EQ(RunCommand({"--folder", folder.string(), "export", "all"}).status, 0);
    return folder;
}

// The program folder's bootcode, firmware or EEPROM data file missing or
// damaged, or no backup folder: the upgrade ends with that file's message and
// the radio, kept in its state file, is byte for byte what it was.
TEST(CliTest, UpgradeWithAMissingOrDamagedFileLeavesTheRadioAsItWas)
{
    const std::filesystem::path folder = ExportedProgramFolder("preflight");
    const std::filesystem::path data = TempPath("preflight-data");
    const std::filesystem::path blocked = TempPath("preflight-blocked");
    const std::filesystem::path state = TempPath("preflight-state");
    std::ofstream(blocked) << "a file where the backup folder should be";
    ASSERT_EQ(RunCommand({"--sim-profile", "phase12-r2", "--sim-state", state.string(), "info"}).status, 0);
    const std::vector<uint8_t> radioBefore = FileBytes(state);
    ASSERT_FALSE(radioBefore.empty());

    const std::string bootcode = "bt38.mot"; // the default flash rate's
    const std::string eepromData = ModelTableRow(0).eepromDataFile;
    struct Case {
        const char* name;
        std::string file; // in the program folder
        std::function<void(const std::filesystem::path&)> damage;
        const char* message;
        std::string dataDir;
    };
    const auto missing = [](const std::filesystem::path& p) { std::filesystem::remove(p); };
    const auto cutShort = [](const std::filesystem::path& p) {
        std::filesystem::resize_file(p, std::filesystem::file_size(p) - 1);
    };
    const std::vector<Case> cases = {
        {"bootcode missing", bootcode, missing, "Open bootcode file failed", data.string()},
        {"bootcode empty", bootcode, [](const auto& p) { std::filesystem::resize_file(p, 0); },
         "Open bootcode file failed", data.string()},
        {"firmware missing", "tor5t.mot", missing, "Open firmware file failed", data.string()},
        {"firmware cut short", "tor5t.mot", cutShort,
         "The firmware file is damaged: its records do not match its record count. The radio was not erased.",
         data.string()},
        {"EEPROM data file missing", eepromData, missing, "Open EEPROM-data file failed", data.string()},
        {"EEPROM data file cut short", eepromData, [](const auto& p) { std::filesystem::resize_file(p, 722); },
         "Open EEPROM-data file failed", data.string()},
        {"backup folder cannot be made", bootcode, [](const auto&) {},
         "The radio's data could not be backed up, so nothing was written to the radio.",
         (blocked / "backups").string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path file = folder / c.file;
        const std::vector<uint8_t> intact = FileBytes(file);
        c.damage(file);
        const CliRun run = RunCommand(
            {"--folder", folder.string(), "--data-dir", c.dataDir, "--sim-state", state.string(), "--yes", "upgrade"});
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_NE(run.err.find(std::string("Error: ") + c.message), std::string::npos) << run.err;
        EXPECT_EQ(FileBytes(state), radioBefore) << "the radio's EEPROM, flash and mode are as they were";
        WriteBytes(file, intact);
    }
    // With the files intact the same radio is upgraded.
    const CliRun run = RunCommand(
        {"--folder", folder.string(), "--data-dir", data.string(), "--sim-state", state.string(), "--yes", "upgrade"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(FileBytes(state), radioBefore);
    for (const auto& p : {folder, data, blocked, state})
        std::filesystem::remove_all(p);
}

// A write that fails is a failure, not a cancelled run, and the operator is
// told what failed.
TEST(CliTest, FailedCodeplugWriteExitsWithFailureAndSaysWhatFailed)
{
    const std::filesystem::path file = TempPath("codeplug.0");
    std::ofstream(file, std::ios::binary) << CodeplugSRecordText(GenerateNewCodeplugImage({}));
    // Requests 1 to 7 read the data to keep; every write is refused.
    const CliRun run = RunCommand({"--sim-fault", "nak@8-", "write-codeplug", "--no-backup", file.string()});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("Writing the codeplug into the radio failed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Error: The connected radio is not supported by this version of Vantrel"),
              std::string::npos);
    std::filesystem::remove(file);
}

// A codeplug file of the other layout than the one chosen is refused before
// anything is written: the radio, kept in its state file, is as it was.
TEST(CliTest, CodeplugFileOfAnotherLayoutLeavesTheRadioAsItWas)
{
    const std::filesystem::path file = TempPath("phase3-codeplug.0");
    const std::filesystem::path state = TempPath("layout-state");
    const std::filesystem::path data = TempPath("layout-data");
    std::ofstream(file, std::ios::binary) << CodeplugSRecordText(GenerateNewCodeplugImage({}));
    ASSERT_EQ(RunCommand({"--sim-profile", "phase12-r2", "--sim-state", state.string(), "info"}).status, 0);
    const std::vector<uint8_t> radioBefore = FileBytes(state);
    const CliRun run = RunCommand({"--sim-state", state.string(), "--data-dir", data.string(), "write-codeplug",
                                   "--layout", "12to12", file.string()});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("Error: Error in Srecord file\nThe codeplug file's hardware codeplug length is 640; the "
                           "layout chosen needs 512. Nothing was written to the radio."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(FileBytes(state), radioBefore);
    for (const auto& p : {file, state, data})
        std::filesystem::remove_all(p);
}

TEST(CliTest, RecoverBringsBackARadioWhoseUpgradeLostPowerInTheErase)
{
    const std::filesystem::path folder = ExportedProgramFolder("recover");
    const std::filesystem::path data = TempPath("recover-data");
    const std::string state = TempPath("recover.state");
    const std::vector<std::string> bench = {"--folder",   folder.string(), "--data-dir", data.string(), "--sim-profile",
                                            "phase12-r2", "--sim-state",   state,        "--yes"};
    auto run = [&bench](std::vector<std::string> more) {
        std::vector<std::string> args = bench;
        args.insert(args.end(), more.begin(), more.end());
        return RunCommand(args);
    };

    CliRun result = run({"--sim-fault", "power@erase:1", "upgrade"});
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    const std::string hint = "To bring the radio back, run: vantrel-cli recover --backup ";
    const size_t at = result.out.find(hint);
    ASSERT_NE(at, std::string::npos) << result.out;
    const std::string backup = result.out.substr(at + hint.size(), result.out.find('\n', at) - at - hint.size());
    EXPECT_TRUE(std::filesystem::exists(backup)) << backup;

    result = run({"info"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("Nothing answered on COM1"), std::string::npos) << result.out;

    result = run({"recover", "--backup", backup});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("The radio was recovered."), std::string::npos) << result.out;
    EXPECT_EQ(run({"info"}).status, 0);

    // A backup that does not exist is a usage error; nothing is sent.
    EXPECT_EQ(run({"recover", "--backup", backup + ".gone"}).status, 2);
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(data);
    std::filesystem::remove(state);
}

} // namespace
} // namespace vantrel
