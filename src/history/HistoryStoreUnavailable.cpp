#include "history/HistoryStore.h"

// The store of a build without SQLite (the Windows cross build: Debian has no
// SQLite for it). Operations are not recorded there and the history cannot be
// read; nothing else changes.

namespace vantrel {
namespace {

constexpr const char* kUnavailable = "this build of Vantrel has no service history (built without SQLite)";

} // namespace

bool ServiceHistoryBuiltIn()
{
    return false;
}

CHistoryStore::CHistoryStore(std::string path) : m_path(std::move(path)) {}

CHistoryStore::~CHistoryStore() = default;

bool CHistoryStore::Open(std::string& error, std::string& setAsidePath)
{
    setAsidePath.clear();
    error = kUnavailable;
    return false;
}

bool CHistoryStore::Append(ServiceRecord& /*record*/, std::string& error)
{
    error = kUnavailable;
    return false;
}

bool CHistoryStore::Query(const HistoryFilter& /*filter*/, std::vector<ServiceRecord>& out, std::string& error)
{
    out.clear();
    error = kUnavailable;
    return false;
}

} // namespace vantrel
