#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "history/HistoryStore.h"
#include "history/HistoryText.h"
#include "link/StringTable.h"

namespace vantrel {

int RunHistoryCommand(CliSession& session, const HistoryListOptions& options)
{
    HistoryFilter filter;
    filter.serialNumber = options.serialNumber;
    std::string error;
    if (!options.since.empty() && !ParseSinceDate(options.since, filter.sinceUtc, error)) {
        std::fprintf(session.Err(), "Error: --since: %s\n", error.c_str());
        return kExitUsage;
    }
    std::vector<ServiceRecord> records;
    std::string setAside;
    const std::string path = DefaultHistoryPath();
    const bool read = ReadServiceHistory(path, filter, records, error, setAside);
    constexpr uint32_t kIdHistorySetAside = 20257;
    if (!setAside.empty()) std::fprintf(session.Err(), "%s\n", MessageTextWith(kIdHistorySetAside, setAside).c_str());
    if (!read) {
        std::fprintf(session.Err(), "Error: the service history %s cannot be read: %s\n", path.c_str(), error.c_str());
        return kExitFailed;
    }
    const std::string text = options.format == HistoryListOptions::Format::Json  ? HistoryJson(records)
                             : options.format == HistoryListOptions::Format::Csv ? HistoryCsv(records)
                                                                                 : HistoryTable(records);
    std::fputs(text.c_str(), session.Out());
    return kExitOk;
}

} // namespace vantrel
