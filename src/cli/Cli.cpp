#include "cli/Cli.h"

#include "cli/BuildInfo.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "data/ModelTable.h"
#include "flash/CodeplugWriter.h"
#include "platform/StopRequest.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace vantrel {
namespace {

constexpr const char* kSampleDataNotice =
    "Product data: this build carries the sample model table, made for the built-in simulated radio only. No "
    "real radio matches it; a real radio's upgrade needs the product data.";

} // namespace

int RunCli(int argc, const char* const* argv, std::FILE* out, std::FILE* err, std::FILE* in)
{
    CLI::App app{"Vantrel: service tool for ZR740 series radios", "vantrel-cli"};
    app.require_subcommand(1);
    // "/path/file.0" is a file on every platform, never a Windows-style option.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", VersionLine(), "print the program's version and exit");
    if (IsSampleProductData()) app.footer(kSampleDataNotice);
    CliOptions options;
#ifdef _WIN32
    const char* portHelp = "COM1-COM4, any other COMn, a device name (\\\\.\\CNCA0) or sim[:PROFILE], the built-in "
                           "simulated radio";
#else
    const char* portHelp = "COM1-COM4, a device path (/dev/ttyUSB0) or sim[:PROFILE], the built-in simulated radio";
#endif
    app.add_option("--port", options.port, portHelp)->capture_default_str();
    app.add_option("--rate", options.flashRate, "flash rate in Bd")
        ->check(CLI::IsMember({19200, 38400, 115200}))
        ->capture_default_str();
    app.add_option("--folder", options.folder, "program folder with the image files (default: the program's own)");
    app.add_option("--data-dir", options.dataDir, "folder for backups and undo files");
    app.add_flag("--yes", options.yes, "answer OK to questions when not asking at a terminal");
    app.add_option("--retries", options.retries, "Retry answers allowed when not asking at a terminal")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--trace", options.trace, "write every byte sent and received, with its time, to FILE");
    app.add_option("--events", options.events,
                   "write each step as one JSON object per line to FILE (- for standard output; the text then goes "
                   "to standard error)");
    auto* sim = app.add_option_group("Simulated radio");
    sim->add_option("--sim-profile", options.simProfile, "profile of the simulated radio");
    sim->add_option("--sim-fault", options.simFaults, "fault to inject, e.g. nak@3 (repeatable)");
    sim->add_option("--sim-state", options.simState, "keep the simulated radio's state in FILE");
    sim->add_flag("--sim-realtime", options.simRealTime, "run the simulated radio in real time");
    sim->add_option("--sim-adapter", options.simAdapter,
                    "reach the simulated radio through: native (default), usb (low-latency capable), usb-default "
                    "(keeps its 16 ms latency timer); optionally :jitter=MICROSECONDS");

    auto* info = app.add_subcommand("info", "read the connected radio's identity and versions");
    info->add_flag("--json", options.json, "print one JSON object");
    auto* region = app.add_subcommand("region", "show the Regional ID, or program it with 'region set'");
    region->add_flag("--json", options.json, "print one JSON object");
    auto* regionSet = region->add_subcommand("set", "program the Regional ID");
    std::string regionValue;
    regionSet->add_option("REGION", regionValue, "a region name or 0-4, 255")->required();
    auto* ports = app.add_subcommand("ports", "list the serial devices of this machine");
    ports->add_flag("--json", options.json, "print one JSON object");
    auto* cableCheck = app.add_subcommand(
        "cable-check", "check the programming cable and flash adapter (radio switched off): echo, round trip, latency");
    auto* exportCommand =
        app.add_subcommand("export", "turn the S-record sources of the program folder into binary image files");
    std::string exportWhat;
    exportCommand->add_option("WHAT", exportWhat, "firmware, codeplugs, bootcodes or all")
        ->required()
        ->check(CLI::IsMember({"firmware", "codeplugs", "bootcodes", "all"}));

    auto* upgrade = app.add_subcommand("upgrade", "upgrade the connected radio: bootcode, EEPROM migration, firmware");
    std::string selectedFirmware;
    upgrade->add_option("--firmware", selectedFirmware, "flash this S-record firmware file instead of tor5t.mot")
        ->check(CLI::ExistingFile);
    auto* recover = app.add_subcommand(
        "recover", "bring back a radio that answers only in bootstrap mode: firmware, and EEPROM data from a backup");
    std::string recoverBackup;
    std::string recoverFirmware;
    recover->add_option("--backup", recoverBackup, "an EEPROM backup saved by an upgrade (converted as it would)")
        ->check(CLI::ExistingFile);
    recover->add_option("--firmware", recoverFirmware, "flash this S-record firmware file instead of tor5t.mot")
        ->check(CLI::ExistingFile);
    auto* restore = app.add_subcommand("restore", "write a saved EEPROM backup back into a radio");
    std::string backupPath;
    restore->add_option("BACKUP", backupPath, "a backup file saved by an upgrade")->required();

    auto* writeCodeplug = app.add_subcommand("write-codeplug", "write a codeplug S-record file into the radio");
    CodeplugWriteOptions writeOptions;
    writeCodeplug->add_option("FILE", writeOptions.codeplugPath, "the codeplug file")->required();
    std::string layout = "3to3";
    writeCodeplug->add_option("--layout", layout, "radio to file layout: 12to12, 3to3 or 12to3")
        ->check(CLI::IsMember({"12to12", "3to3", "12to3"}))
        ->capture_default_str();
    bool noHardware = false, noTuning = false, noApplication = false, noRegion = false, noSerial = false,
         noEsn = false, noBackup = false;
    writeCodeplug->add_flag("--no-hardware", noHardware, "do not write the hardware codeplug");
    writeCodeplug->add_flag("--no-tuning", noTuning, "do not keep the radio's tuning data");
    writeCodeplug->add_flag("--no-application", noApplication, "do not write the application codeplug");
    writeCodeplug->add_flag("--no-region", noRegion, "do not keep the radio's Regional ID");
    writeCodeplug->add_flag("--no-serial", noSerial, "do not keep the radio's serial number");
    writeCodeplug->add_flag("--no-esn", noEsn, "do not keep the radio's ESN");
    writeCodeplug->add_flag("--no-backup", noBackup, "do not save the EEPROM range that will be overwritten");

    auto* patch = app.add_subcommand("patch", "patch the connected radio with the program folder's mendkit.patch");
    auto* unpatch = app.add_subcommand("unpatch", "set the connected radio back to its values before the patch");

    auto* history =
        app.add_subcommand("history", "list the service history: every operation on a radio, with its result");
    HistoryListOptions historyOptions;
    history->add_option("--serial", historyOptions.serialNumber, "only the radio with this serial number");
    history->add_option("--since", historyOptions.since, "only from this date on: YYYY-MM-DD[THH:MM[:SS]] local time");
    auto* jsonFlag = history->add_flag("--json", options.json, "print one JSON object with the records");
    history->add_flag("--csv", historyOptions.csv, "print the records as CSV")->excludes(jsonFlag);

    std::vector<std::string> args;
    for (int i = argc - 1; i > 0; --i) args.emplace_back(argv[i]);
    try {
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), out);
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        std::fprintf(out, "%s\n", e.what());
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        std::fprintf(err, "%s\n", e.what());
        std::fprintf(err, "Run with --help for more information.\n");
        return kExitUsage;
    }

    for (const CLI::App* command : app.get_subcommands()) {
        options.command = command->get_name();
        for (const CLI::App* sub : command->get_subcommands())
            options.command += " " + sub->get_name();
    }
    CliSession session(options, out, err, in);
    if (!session.OpenEvents()) return kExitUsage;

    if (regionSet->parsed()) {
        uint8_t value = 0;
        if (!ParseRegionArgument(regionValue, value)) {
            std::fprintf(err, "Error: unknown region \"%s\"; use one of the region names or 0-4, 255\n",
                         regionValue.c_str());
            return session.Conclude(kExitUsage);
        }
        if (options.json) {
            std::fprintf(err, "Error: --json shows the Regional ID; 'region set' does not take it\n");
            return session.Conclude(kExitUsage);
        }
    }

    if (writeCodeplug->parsed()) {
        writeOptions.layout = layout == "12to12"  ? CodeplugLayoutChoice::Phase12ToPhase12
                              : layout == "12to3" ? CodeplugLayoutChoice::Phase12ToPhase3
                                                  : CodeplugLayoutChoice::Phase3ToPhase3;
        writeOptions.writeHardware = !noHardware;
        writeOptions.saveTuning = !noTuning;
        writeOptions.writeApplication = !noApplication;
        writeOptions.saveRegionalId = !noRegion;
        writeOptions.saveSerialNumber = !noSerial;
        writeOptions.saveEsn = !noEsn;
        writeOptions.backup = !noBackup;
    }

    if (!session.Start()) return session.Conclude(kExitUsage);
    const ScopedStopSignals stopSignals;
    int status = kExitFailed;
    if (info->parsed()) status = RunInfoCommand(session);
    else if (regionSet->parsed()) status = RunRegionSetCommand(session, regionValue);
    else if (region->parsed()) status = RunRegionGetCommand(session);
    else if (ports->parsed()) status = RunPortsCommand(session);
    else if (cableCheck->parsed()) status = RunCableCheckCommand(session);
    else if (exportCommand->parsed()) status = RunExportCommand(session, exportWhat);
    else if (upgrade->parsed()) status = RunUpgradeCommand(session, selectedFirmware);
    else if (recover->parsed()) status = RunRecoverCommand(session, recoverBackup, recoverFirmware);
    else if (restore->parsed()) status = RunRestoreCommand(session, backupPath);
    else if (writeCodeplug->parsed()) status = RunWriteCodeplugCommand(session, writeOptions);
    else if (patch->parsed()) status = RunPatchCommand(session, false);
    else if (unpatch->parsed()) status = RunPatchCommand(session, true);
    else if (history->parsed())
        status = RunHistoryCommand(session, historyOptions);
    if (!session.Finish() && status == kExitOk) status = kExitFailed;
    if (StopRequested() && status != kExitInterrupted) {
        std::fprintf(err, "Interrupted: stopped between two requests to the radio; the port is closed. What was "
                          "written before the stop stays in the radio; a backup saved on the way is named above.\n");
        status = kExitInterrupted;
    }
    return session.Conclude(status);
}

}  // namespace vantrel
