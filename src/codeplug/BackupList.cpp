#include "codeplug/BackupList.h"

#include "platform/Files.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <regex>

namespace vantrel {
namespace {

struct Found {
    BackupListing listing;
    std::string order; // sorts oldest to newest
};

// "742TQK1234-20240131-154502-2.vbk": the time, and the number added when the
// same second was taken already.
bool TimeFromName(const std::string& name, std::string& taken, std::string& order)
{
    static const std::regex pattern(R"(-(\d{4})(\d{2})(\d{2})-(\d{2})(\d{2})(\d{2})(?:-(\d{1,3}))?\.vbk$)");
    std::smatch m;
    if (!std::regex_search(name, m, pattern)) return false;
    taken = m[1].str() + "-" + m[2].str() + "-" + m[3].str() + " " + m[4].str() + ":" + m[5].str() + ":" + m[6].str();
    const std::string count = m[7].matched ? m[7].str() : "1";
    order = taken + std::string(3 - count.size(), '0') + count;
    return true;
}

std::string TimeFromFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(path, ec);
    if (ec) return "0000-00-00 00:00:00";
    // The file clock's distance from now, taken over to the system clock.
    const auto sinceNow = written - std::filesystem::file_time_type::clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(
        std::chrono::system_clock::now() + std::chrono::duration_cast<std::chrono::system_clock::duration>(sinceNow));
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char text[32];
    if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) return "0000-00-00 00:00:00";
    return text;
}

} // namespace

std::vector<BackupListing> ListEepromBackups(const std::string& folder)
{
    std::vector<Found> found;
    std::error_code ec;
    if (folder.empty()) return {};
    for (std::filesystem::directory_iterator it(PathFromUtf8(folder), ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->path().extension() != kBackupExtension) continue;
        Found f;
        std::string error;
        f.listing.path = Utf8FromPath(it->path());
        if (!ReadEepromBackup(f.listing.path, f.listing.backup, error)) continue;
        if (f.listing.backup.kind != EepromBackupKind::Backup) continue;
        if (!TimeFromName(Utf8FromPath(it->path().filename()), f.listing.taken, f.order)) {
            f.listing.taken = TimeFromFile(it->path());
            f.order = f.listing.taken + "000";
        }
        found.push_back(std::move(f));
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.order != b.order ? a.order > b.order : a.listing.path > b.listing.path;
    });
    std::vector<BackupListing> listings;
    listings.reserve(found.size());
    for (Found& f : found)
        listings.push_back(std::move(f.listing));
    return listings;
}

BackupListing NewestBackupOf(const std::string& folder, const std::string& serialNumber)
{
    if (serialNumber.empty()) return {};
    for (BackupListing& listing : ListEepromBackups(folder)) {
        if (listing.backup.serialNumber == serialNumber && listing.backup.start == 0) return std::move(listing);
    }
    return {};
}

} // namespace vantrel
