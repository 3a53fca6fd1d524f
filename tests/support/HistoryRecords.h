#pragma once

#include "history/HistoryStore.h"

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

} // namespace vantrel::test
