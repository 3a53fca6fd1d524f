#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/JsonObject.h"
#include "cli/OutputText.h"
#include "history/HistoryStore.h"
#include "history/HistoryText.h"
#include "link/StringTable.h"

namespace vantrel {
namespace {

std::string RecordsJson(const std::vector<ServiceRecord>& records)
{
    const std::vector<std::string>& names = HistoryColumnNames();
    std::vector<std::string> objects;
    for (const ServiceRecord& record : records) {
        JsonObject object;
        const std::vector<std::string> values = HistoryColumnValues(record);
        for (size_t column = 0; column < names.size(); ++column) {
            if (HistoryColumnIsNumber(column))
                object.Number(names[column].c_str(), std::stoll(values[column]));
            else
                object.Text(names[column].c_str(), values[column]);
        }
        objects.push_back(object.Str());
    }
    return JsonArray(objects);
}

} // namespace

int RunHistoryCommand(CliSession& session, const HistoryListOptions& options)
{
    HistoryFilter filter;
    filter.serialNumber = options.serialNumber;
    std::string error;
    if (!options.since.empty() && !ParseSinceDate(options.since, filter.sinceUtc, error)) {
        std::fprintf(session.Err(), "Error: --since: %s\n", TerminalText(error).c_str());
        return kExitUsage;
    }
    std::vector<ServiceRecord> records;
    std::string setAside;
    const std::string path = DefaultHistoryPath();
    const bool read = ReadServiceHistory(path, filter, records, error, setAside);
    constexpr uint32_t kIdHistorySetAside = 20257;
    if (!setAside.empty())
        std::fprintf(session.Err(), "%s\n", TerminalText(MessageTextWith(kIdHistorySetAside, setAside)).c_str());
    if (!read) {
        std::fprintf(session.Err(), "Error: the service history %s cannot be read: %s\n", TerminalText(path).c_str(),
                     TerminalText(error).c_str());
        return kExitFailed;
    }
    const std::string text = options.csv ? HistoryCsv(records) : HistoryTable(records);
    session.Report(TerminalText(text), JsonObject().Raw("records", RecordsJson(records)).Str());
    return kExitOk;
}

} // namespace vantrel
