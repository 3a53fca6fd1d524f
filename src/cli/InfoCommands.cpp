#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/JsonObject.h"
#include "cli/OutputText.h"
#include "cli/RadioInfoJson.h"
#include "link/ItemText.h"
#include "link/StringTable.h"
#include "operations/RadioInfo.h"
#include "operations/RegionalId.h"
#include "platform/PortProbe.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace vantrel {
namespace {

constexpr uint32_t kIdRegionReadRefused = 20290;

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
    // Every field but the region carries text the radio sent.
    const std::pair<const char*, const std::string*> rows[] = {
        {"Model Number:", &f.modelNumber},         {"Serial Number:", &f.serialNumber},
        {"ESN:", &f.esn},                          {"Software Version:", &f.softwareVersion},
        {"Codeplug Version:", &f.codeplugVersion}, {"Last Programmed:", &f.lastProgrammed},
        {"Codeplug Part No:", &f.codeplugPartNumber}, {"Firmware Part No:", &f.firmwarePartNumber},
        {"Radio IC Versions:", &f.icVersions},     {"Regional Identifier:", &f.regionalId},
    };
    std::string text;
    char line[256];
    for (const auto& [label, value] : rows) {
        std::snprintf(line, sizeof line, "%-21s ", label);
        text += line + EscapedRadioText(*value) + "\n";
    }
    session.Report(text, RadioInfoJson(result));
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
    if (read.outcome == RegionalIdReadOutcome::Valid) {
        const int position = RegionPosition(read.value);
        char text[64];
        if (position < 0)
            std::snprintf(text, sizeof text, "Invalid Region (0x%02X)\n", read.value);
        else
            std::snprintf(text, sizeof text, "%s\n", LoadMessageText(RegionNameId(position)));
        session.Report(text, JsonObject().Raw("regionalId", RegionJson(read.value)).Str());
        return kExitOk;
    }
    // The dialog closes without a word when the radio refuses; a script needs the reason.
    if (read.refused) std::fprintf(session.Err(), "Error: %s\n", LoadMessageText(kIdRegionReadRefused));
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
    std::string text;
    std::vector<std::string> json;
    if (ports.empty()) text += "No serial devices found.\n";
    for (const auto& p : ports) {
        text += p.path;
        if (!p.byIdPath.empty()) text += "  " + p.byIdPath;
        if (!p.description.empty()) text += "  (" + p.description + ")";
        text += "\n";
        json.push_back(
            JsonObject().Text("path", p.path).Text("byIdPath", p.byIdPath).Text("description", p.description).Str());
    }
    text += "sim  (built-in simulated radio)\n";
    json.push_back(
        JsonObject().Text("path", "sim").Text("byIdPath", "").Text("description", "built-in simulated radio").Str());
    session.Report(TerminalText(text), JsonObject().Raw("ports", JsonArray(json)).Str());
    return kExitOk;
}

}  // namespace vantrel
