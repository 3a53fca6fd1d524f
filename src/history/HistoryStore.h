#pragma once

#include "history/ServiceRecord.h"

#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace vantrel {

// Which records to list: all of one serial number, from a time on (UTC text as
// the records carry it: "2024-01-31" or "2024-01-31T15:45:02Z"). Empty: any.
struct HistoryFilter {
    std::string serialNumber;
    std::string sinceUtc;
};

// The service history: an SQLite database file (WAL journal, so that a process
// killed while writing leaves the records before intact, and several programs
// may record at once). Its schema carries a version number; an older file is
// brought up to date step by step when opened, a newer one is left alone.
class CHistoryStore {
public:
    static constexpr int kSchemaVersion = 2;

    explicit CHistoryStore(std::string path);
    ~CHistoryStore();
    CHistoryStore(const CHistoryStore&) = delete;
    CHistoryStore& operator=(const CHistoryStore&) = delete;

    // Opens the file, creating or updating it. A damaged file, or one that is
    // not a history at all, is set aside (renamed, never deleted) and a new
    // one started; setAsidePath then names where the old one went. False with
    // error saying why when there is no history to write to.
    bool Open(std::string& error, std::string& setAsidePath);
    // Adds the record; its id is set to the history's number for it.
    bool Append(ServiceRecord& record, std::string& error);
    // The records that pass the filter, oldest first.
    bool Query(const HistoryFilter& filter, std::vector<ServiceRecord>& out, std::string& error);

    const std::string& Path() const { return m_path; }

private:
    enum class OpenResult { Ok, Damaged, Failed };
    OpenResult TryOpen(std::string& error);
    bool SetAside(std::string& setAsidePath, std::string& error);
    void Close();

    std::string m_path;
    sqlite3* m_db = nullptr;
};

// False in a build without SQLite: operations are not recorded and the store
// opens with an error saying why.
bool ServiceHistoryBuiltIn();

// The history file in the per-user data folder; empty when there is no folder.
std::string DefaultHistoryPath();

// Lists the records of the history at path that pass the filter; none when
// the file does not exist yet (it is not created). A damaged file is set
// aside as when recording; setAsidePath then names where it went.
bool ReadServiceHistory(const std::string& path, const HistoryFilter& filter, std::vector<ServiceRecord>& out,
                        std::string& error, std::string& setAsidePath);

} // namespace vantrel
