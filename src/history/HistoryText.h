#pragma once

#include "history/ServiceRecord.h"

#include <string>
#include <vector>

namespace vantrel {

// The service history as text: for the command line and the GUI's export.
// Every field of the records, in the history's column order.

// One header line, then one line per record (fields quoted as RFC 4180 says;
// a field that a spreadsheet would take for a formula starts with an apostrophe).
std::string HistoryCsv(const std::vector<ServiceRecord>& records);
// A table for a terminal: one line per record, the main fields, each cut at
// its first line break. The front end makes the text safe to print.
std::string HistoryTable(const std::vector<ServiceRecord>& records);

// The names of the columns, as the CSV header and the JSON keys give them,
// and whether a column holds a number.
const std::vector<std::string>& HistoryColumnNames();
bool HistoryColumnIsNumber(size_t column);
// The record's value of each column, as text, in that order.
std::vector<std::string> HistoryColumnValues(const ServiceRecord& record);

// Turns a --since argument into the UTC text the records are compared with.
// Takes a local date "YYYY-MM-DD" or date and time "YYYY-MM-DDTHH:MM[:SS]",
// or a UTC time ending in 'Z'. False, with error saying why, for anything else.
bool ParseSinceDate(const std::string& text, std::string& utc, std::string& error);

// Writes the records as CSV to the file, completely or not at all.
bool WriteHistoryCsv(const std::string& path, const std::vector<ServiceRecord>& records, std::string& error);

} // namespace vantrel
