#include "history/HistoryStore.h"
#include "platform/Files.h"

#include <filesystem>

// What both stores share: the outcome names, where the file lives, reading it.

namespace vantrel {
namespace {

constexpr const char* kFileName = "service-history.sqlite";

} // namespace

const char* OutcomeName(ServiceOutcome outcome)
{
    switch (outcome) {
    case ServiceOutcome::Succeeded:
        return "succeeded";
    case ServiceOutcome::Cancelled:
        return "cancelled";
    case ServiceOutcome::Failed:
        break;
    }
    return "failed";
}

bool OutcomeFromName(const std::string& name, ServiceOutcome& outcome)
{
    for (ServiceOutcome candidate : {ServiceOutcome::Succeeded, ServiceOutcome::Failed, ServiceOutcome::Cancelled}) {
        if (name == OutcomeName(candidate)) {
            outcome = candidate;
            return true;
        }
    }
    return false;
}

bool ReadServiceHistory(const std::string& path, const HistoryFilter& filter, std::vector<ServiceRecord>& out,
                        std::string& error, std::string& setAsidePath)
{
    out.clear();
    setAsidePath.clear();
    std::error_code ec;
    // A history not made yet has no records; a build without one says so on opening.
    if (ServiceHistoryBuiltIn() && !path.empty() && !std::filesystem::exists(PathFromUtf8(path), ec)) return true;
    CHistoryStore store(path);
    return store.Open(error, setAsidePath) && store.Query(filter, out, error);
}

std::string DefaultHistoryPath()
{
    const std::string folder = UserDataFolder();
    return folder.empty() ? std::string() : folder + kFileName;
}

} // namespace vantrel
