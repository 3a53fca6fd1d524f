#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "link/StringTable.h"
#include "operations/RadioInfo.h"
#include "operations/RegionalId.h"
#include "platform/PortProbe.h"

namespace vantrel {
namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

int RunInfoCommand(CliSession& session)
{
    const RadioInfoResult result = ReadRadioInfo(session.PortIndex());
    if (result.outcome != RadioInfoOutcome::Ok) return kExitFailed;
    const RadioInfoFields& f = result.fields;
    const std::pair<const char*, const std::string*> rows[] = {
        {"Model Number:", &f.modelNumber},         {"Serial Number:", &f.serialNumber},
        {"ESN:", &f.esn},                          {"Software Version:", &f.softwareVersion},
        {"Codeplug Version:", &f.codeplugVersion}, {"Last Programmed:", &f.lastProgrammed},
        {"Codeplug Part No:", &f.codeplugPartNumber}, {"Firmware Part No:", &f.firmwarePartNumber},
        {"Radio IC Versions:", &f.icVersions},     {"Regional Identifier:", &f.regionalId},
    };
    for (const auto& [label, value] : rows) std::fprintf(session.Out(), "%-21s %s\n", label, value->c_str());
    return kExitOk;
}

bool ParseRegionArgument(const std::string& text, uint8_t& value)
{
    const std::string wanted = Lower(text);
    for (int position = 0; position < kRegionCount; ++position) {
        if (wanted == Lower(LoadMessageText(RegionNameId(position)))) {
            value = RegionValueAt(position);
            return true;
        }
    }
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
    const int number = std::stoi(text);
    if ((number >= 0 && number <= 4) || number == 255) {
        value = static_cast<uint8_t>(number);
        return true;
    }
    return false;
}

int RunRegionGetCommand(CliSession& session)
{
    const RegionalIdRead read = ReadRegionalId(session.PortIndex());
    switch (read.outcome) {
    case RegionalIdReadOutcome::Valid: {
        const int position = RegionPosition(read.value);
        if (position < 0) {
            std::fprintf(session.Out(), "Invalid Region (0x%02X)\n", read.value);
        } else {
            std::fprintf(session.Out(), "%s\n", LoadMessageText(RegionNameId(position)));
        }
        return kExitOk;
    }
    case RegionalIdReadOutcome::Invalid:
    case RegionalIdReadOutcome::PortOpenFailed:
    case RegionalIdReadOutcome::CommunicationError:
        break;
    }
    return kExitFailed;
}

int RunRegionSetCommand(CliSession& session, const std::string& text)
{
    uint8_t value = 0;
    if (!ParseRegionArgument(text, value)) {
        std::fprintf(session.Err(),
                     "Error: unknown region \"%s\"; use one of the region names or 0-4, 255\n", text.c_str());
        return kExitUsage;
    }
    return ProgramRegionalId(session.PortIndex(), value) == RegionalIdWriteOutcome::Programmed ? kExitOk
                                                                                             : kExitFailed;
}

int RunPortsCommand(CliSession& session)
{
    const auto ports = ListSerialPorts();
    if (ports.empty()) std::fprintf(session.Out(), "No serial devices found.\n");
    for (const auto& p : ports) {
        std::fprintf(session.Out(), "%s", p.path.c_str());
        if (!p.byIdPath.empty()) std::fprintf(session.Out(), "  %s", p.byIdPath.c_str());
        if (!p.description.empty()) std::fprintf(session.Out(), "  (%s)", p.description.c_str());
        std::fprintf(session.Out(), "\n");
    }
    std::fprintf(session.Out(), "sim  (built-in simulated radio)\n");
    return kExitOk;
}

}  // namespace vantrel
