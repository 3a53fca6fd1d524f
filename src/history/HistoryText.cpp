#include "history/HistoryText.h"

#include "platform/Files.h"

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

// The length of the UTF-8 sequence at text[i], 0 when it is not one.
size_t Utf8Length(const std::string& text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not text.
    if ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) > 0x9F) ||
        (lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) > 0x8F))
        return 0;
    return length;
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    char escape[8];
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c >= 0x80) {
            const size_t length = Utf8Length(text, i);
            if (length == 0) {
                // A byte that is not UTF-8 is kept as the character of its value.
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
                ++i;
                continue;
            }
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + '"';
}

std::string Printable(const std::string& text, size_t width)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') break;
        const unsigned char u = static_cast<unsigned char>(c);
        out += (u < 0x20 || u == 0x7F) ? '?' : c;
    }
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
    out += "\r\n";
    for (const ServiceRecord& record : records) {
        bool first = true;
        for (const Column& column : Columns()) {
            if (!first) out += ',';
            first = false;
            out += CsvField(column.value(record), column.number);
        }
        out += "\r\n";
    }
    return out;
}

std::string HistoryJson(const std::vector<ServiceRecord>& records)
{
    std::string out = "[";
    for (size_t n = 0; n < records.size(); ++n) {
        out += n == 0 ? "\n  {" : ",\n  {";
        bool first = true;
        for (const Column& column : Columns()) {
            out += first ? "" : ", ";
            first = false;
            const std::string value = column.value(records[n]);
            out += JsonString(column.name) + ": " + (column.number ? value : JsonString(value));
        }
        out += "}";
    }
    return out + (records.empty() ? "]\n" : "\n]\n");
}

std::string HistoryTable(const std::vector<ServiceRecord>& records)
{
    std::string out = Printable("#", 6) + Printable("TIME (UTC)", 22) + Printable("OPERATION", 16) +
                      Printable("PORT", 6) + Printable("SERIAL", 12) + Printable("MODEL", 14) + "RESULT\n";
    for (const ServiceRecord& r : records) {
        std::string result = OutcomeName(r.outcome);
        if (!r.resultText.empty()) result += ": " + r.resultText;
        out += Printable(std::to_string(r.id), 6) + Printable(r.time, 22) + Printable(r.operation, 16) +
               Printable(r.port, 6) + Printable(r.serialNumber, 12) + Printable(r.modelNumber, 14) +
               Printable(result, 0) + "\n";
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
