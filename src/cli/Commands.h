#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

class CliSession;
struct CodeplugWriteOptions;

// The commands of vantrel-cli; each returns the exit status.
int RunInfoCommand(CliSession& session);
int RunRegionGetCommand(CliSession& session);
// value: one of the six region names (any case) or 0-4 / 255.
int RunRegionSetCommand(CliSession& session, const std::string& value);
int RunPortsCommand(CliSession& session);
// Echo, round trip and latency mode of the cable at 9600, 2400 and the flash rate, the radio off.
int RunCableCheckCommand(CliSession& session);
// what: firmware, codeplugs, bootcodes or all; the sources and outputs are in the program folder.
int RunExportCommand(CliSession& session, const std::string& what);

// selectedFirmware: an S-record firmware file to flash instead of the carried one.
int RunUpgradeCommand(CliSession& session, const std::string& selectedFirmware);
int RunRestoreCommand(CliSession& session, const std::string& backupPath);
// backupPath: EEPROM data to write as well (none when empty); selectedFirmware as for upgrade.
int RunRecoverCommand(CliSession& session, const std::string& backupPath, const std::string& selectedFirmware);
int RunWriteCodeplugCommand(CliSession& session, const CodeplugWriteOptions& options);
int RunPatchCommand(CliSession& session, bool undo);

// What `history` lists and how (--json is the session's).
struct HistoryListOptions {
    std::string serialNumber; // only this radio's records
    std::string since;        // from this date on (local), as the operator typed it
    bool csv = false;
};
int RunHistoryCommand(CliSession& session, const HistoryListOptions& options);

// Parses a region argument; false for anything that is not a region.
bool ParseRegionArgument(const std::string& text, uint8_t& value);

}  // namespace vantrel
