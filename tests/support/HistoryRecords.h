#pragma once

#include "history/HistoryStore.h"

#include <sqlite3.h>
#include <string>
#include <vector>

namespace vantrel::test {

// The records of the history file at path that pass the filter; none when it
// cannot be read, and error (when given) says why.
inline std::vector<ServiceRecord> HistoryRecords(const std::string& path, const HistoryFilter& filter = {},
                                                 std::string* error = nullptr)
{
    std::vector<ServiceRecord> records;
    std::string why;
    std::string setAside;
    if (!ReadServiceHistory(path, filter, records, why, setAside) || !setAside.empty())
        why = why.empty() ? "the history was set aside as " + setAside : why;
    if (error) *error = why;
    return records;
}

// The first value the SQL statement gives on the database file (a pragma's
// answer, say); empty when it gives none. Runs it as a program of its own would.
inline std::string SqlValue(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0) != nullptr)
        value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

} // namespace vantrel::test
