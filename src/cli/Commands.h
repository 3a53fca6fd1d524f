#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

class CliSession;

// The commands of vantrel-cli; each returns the exit status.
int RunInfoCommand(CliSession& session);
int RunRegionGetCommand(CliSession& session);
// value: one of the six region names (any case) or 0-4 / 255.
int RunRegionSetCommand(CliSession& session, const std::string& value);
int RunPortsCommand(CliSession& session);
// what: firmware, codeplugs, bootcodes or all; the sources and outputs are in the program folder.
int RunExportCommand(CliSession& session, const std::string& what);

// Parses a region argument; false for anything that is not a region.
bool ParseRegionArgument(const std::string& text, uint8_t& value);

}  // namespace vantrel
