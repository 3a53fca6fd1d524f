#include "history/HistoryText.h"

#include "platform/Files.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace vantrel {
namespace {

struct Column {
    const char* name;
    bool number; // written without quotes in JSON
    std::function<std::string(const ServiceRecord&)> value;
};

const std::vector<Column>& Columns()
{
    using R = const ServiceRecord&;
    static const std::vector<Column> columns = {
        {"id", true, [](R r) { return std::to_string(r.id); }},
        {"time", false, [](R r) { return r.time; }},
        {"operation", false, [](R r) { return r.operation; }},
        {"front_end", false, [](R r) { return r.frontEnd; }},
        {"port", false, [](R r) { return r.port; }},
        {"device", false, [](R r) { return r.device; }},
        {"rate", true, [](R r) { return std::to_string(r.rate); }},
        {"model_number", false, [](R r) { return r.modelNumber; }},
        {"serial_number", false, [](R r) { return r.serialNumber; }},
        {"esn", false, [](R r) { return r.esn; }},
        {"software_before", false, [](R r) { return r.softwareBefore; }},
        {"software_after", false, [](R r) { return r.softwareAfter; }},
        {"codeplug_before", false, [](R r) { return r.codeplugBefore; }},
        {"codeplug_after", false, [](R r) { return r.codeplugAfter; }},
        {"outcome", false, [](R r) { return std::string(OutcomeName(r.outcome)); }},
        {"result_id", true, [](R r) { return std::to_string(r.resultId); }},
        {"result_text", false, [](R r) { return r.resultText; }},
        {"detail", false, [](R r) { return r.detail; }},
        {"duration_ms", true, [](R r) { return std::to_string(r.durationMs); }},
        {"backup_file", false, [](R r) { return r.backupFile; }},
        {"program_version", false, [](R r) { return r.programVersion; }},
    };
    return columns;
}

std::string CsvField(const std::string& value, bool number)
{
    std::string text = value;
    // A spreadsheet would run a cell that starts like this as a formula.
    if (!number && !text.empty() &&
        (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' || text[0] == '\t' || text[0] == '\r'))
        text.insert(text.begin(), '\'');
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// The first line of a text, padded to the width.
std::string Cell(const std::string& text, size_t width)
{
    std::string out = text.substr(0, text.find('\n'));
    if (width != 0 && out.size() < width) out.resize(width, ' ');
    return out;
}

bool ParseNumber(const std::string& text, size_t at, size_t digits, int& value)
{
    if (at + digits > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysIn(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

} // namespace

const std::vector<std::string>& HistoryColumnNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const Column& column : Columns())
            out.emplace_back(column.name);
        return out;
    }();
    return names;
}

bool HistoryColumnIsNumber(size_t column)
{
    return column < Columns().size() && Columns()[column].number;
}

std::vector<std::string> HistoryColumnValues(const ServiceRecord& record)
{
    std::vector<std::string> values;
    for (const Column& column : Columns())
        values.push_back(column.value(record));
    return values;
}

std::string HistoryCsv(const std::vector<ServiceRecord>& records)
{
    std::string out;
    for (const Column& column : Columns())
        out.append(out.empty() ? "" : ",").append(column.name);
    out += "\n";
    for (const ServiceRecord& record : records) {
        bool first = true;
        for (const Column& column : Columns()) {
            if (!first) out += ',';
            first = false;
            out += CsvField(column.value(record), column.number);
        }
        out += "\n";
    }
    return out;
}

std::string HistoryTable(const std::vector<ServiceRecord>& records)
{
    // The device column is as wide as its longest entry: on a bench of radios
    // every run may use COM1, each with a device of its own.
    size_t deviceWidth = 8;
    for (const ServiceRecord& r : records)
        deviceWidth = std::max(deviceWidth, Cell(r.device, 0).size() + 2);
    std::string out = Cell("#", 6) + Cell("TIME (UTC)", 22) + Cell("OPERATION", 16) + Cell("PORT", 6) +
                      Cell("DEVICE", deviceWidth) + Cell("SERIAL", 12) + Cell("MODEL", 14) + "RESULT\n";
    for (const ServiceRecord& r : records) {
        std::string result = OutcomeName(r.outcome);
        if (!r.resultText.empty()) result += ": " + r.resultText;
        out += Cell(std::to_string(r.id), 6) + Cell(r.time, 22) + Cell(r.operation, 16) + Cell(r.port, 6) +
               Cell(r.device, deviceWidth) + Cell(r.serialNumber, 12) + Cell(r.modelNumber, 14) + Cell(result, 0) +
               "\n";
    }
    return out;
}

bool ParseSinceDate(const std::string& text, std::string& utc, std::string& error)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const bool date = text.size() >= 10 && ParseNumber(text, 0, 4, year) && text[4] == '-' &&
                      ParseNumber(text, 5, 2, month) && text[7] == '-' && ParseNumber(text, 8, 2, day);
    std::string rest = date ? text.substr(10) : std::string();
    const bool zulu = !rest.empty() && rest.back() == 'Z';
    if (zulu) rest.pop_back();
    bool timeOk = rest.empty();
    if (!rest.empty() && (rest[0] == 'T' || rest[0] == ' ') && rest.size() >= 6 && rest[3] == ':' &&
        ParseNumber(rest, 1, 2, hour) && ParseNumber(rest, 4, 2, minute)) {
        timeOk = rest.size() == 6 || (rest.size() == 9 && rest[6] == ':' && ParseNumber(rest, 7, 2, second));
    }
    const bool inRange = month >= 1 && month <= 12 && day >= 1 && day <= DaysIn(year, month) && hour <= 23 &&
                         minute <= 59 && second <= 59 && year >= 1970;
    if (!date || !timeOk || !inRange || (zulu && rest.empty())) {
        error = "\"" + text +
                "\" is not a date: use YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS] (local time), or a UTC "
                "time ending in Z";
        return false;
    }
    if (zulu) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour, minute, second);
        utc = buffer;
        return true;
    }
    if (!LocalTimeToUtc(year, month, day, hour, minute, second, utc)) {
        error = "\"" + text + "\" is not a time of this computer's calendar";
        return false;
    }
    return true;
}

bool WriteHistoryCsv(const std::string& path, const std::vector<ServiceRecord>& records, std::string& error)
{
    const std::string text = HistoryCsv(records);
    if (WriteFileAtomically(path, text.data(), text.size())) return true;
    error = "could not write " + path;
    return false;
}

} // namespace vantrel
