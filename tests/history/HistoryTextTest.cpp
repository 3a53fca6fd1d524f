#include "history/HistoryText.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

ServiceRecord WithSerial(const std::string& serial)
{
    ServiceRecord r;
    r.id = 7;
    r.time = "2024-01-31T15:45:02Z";
    r.operation = "info";
    r.serialNumber = serial;
    r.rate = 9600;
    r.outcome = ServiceOutcome::Succeeded;
    return r;
}

// The serial number's field of the first record line.
std::string CsvSerialField(const std::string& csv)
{
    const size_t line = csv.find('\n') + 1;
    std::string field;
    size_t commas = 0;
    bool quoted = false;
    for (size_t i = line; i < csv.size(); ++i) {
        const char c = csv[i];
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted && ++commas > 8) break;
        if (commas == 8 && !(c == ',' && !quoted)) field += c;
    }
    return field;
}

struct EscapeCase {
    const char* name;
    std::string serial;
    std::string csv; // the field as CSV writes it
};

class HistoryEscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(HistoryEscapeTest, TextFromARadioCannotBreakTheFormat)
{
    EXPECT_EQ(CsvSerialField(HistoryCsv({WithSerial(GetParam().serial)})), GetParam().csv);
}

INSTANTIATE_TEST_SUITE_P(Texts, HistoryEscapeTest,
                         ::testing::Values(EscapeCase{"plain", "742TQK1234", "742TQK1234"},
                                           EscapeCase{"comma", "74,2", "\"74,2\""},
                                           EscapeCase{"quote", "7\"42", "\"7\"\"42\""},
                                           EscapeCase{"line_break", "74\n2", "\"74\n2\""},
                                           EscapeCase{"carriage_return", "74\r2", "\"74\r2\""},
                                           EscapeCase{"formula", "=HYPERLINK(1)", "'=HYPERLINK(1)"},
                                           EscapeCase{"minus_formula", "-2+3", "'-2+3"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HistoryText, EveryColumnInTheHeaderAndEachRecordOnItsLine)
{
    ServiceRecord r = WithSerial("742TQK1234");
    r.resultText = "Upgrade Successfully done!\nSet the flash adapter switch to OFF(Normal Operation)";
    r.durationMs = 201234;
    const std::string csv = HistoryCsv({r, r});
    EXPECT_EQ(csv.substr(0, csv.find('\n')),
              "id,time,operation,front_end,port,device,rate,model_number,serial_number,esn,software_before,"
              "software_after,codeplug_before,codeplug_after,outcome,result_id,result_text,detail,duration_ms,"
              "backup_file,program_version");
    EXPECT_NE(csv.find("7,2024-01-31T15:45:02Z,info,,,,9600,,742TQK1234,,,,,,succeeded,0,\"Upgrade Successfully "
                       "done!\nSet the flash adapter switch to OFF(Normal Operation)\",,201234,,\n"),
              std::string::npos)
        << csv;
    const std::string table = HistoryTable({r});
    EXPECT_NE(table.find("succeeded: Upgrade Successfully done!\n"), std::string::npos) << table;
    EXPECT_EQ(table.find("Set the flash"), std::string::npos) << "only the first line of a result";
}

TEST(HistoryText, TheTableTellsRadiosOnOnePortApartByTheirDevice)
{
    ServiceRecord a = WithSerial("742TQK1234");
    ServiceRecord b = a;
    a.port = b.port = "COM1";
    a.device = "/dev/ttyUSB0";
    b.device = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A5069RR4-if00-port0";
    const std::string table = HistoryTable({a, b});
    const size_t first = table.find('\n') + 1;
    const size_t second = table.find('\n', first) + 1;
    EXPECT_NE(table.find("COM1  /dev/ttyUSB0 ", first), std::string::npos) << table;
    // The serial number starts at the same column on every line.
    EXPECT_EQ(table.find("742TQK1234", first) - first, table.find("742TQK1234", second) - second) << table;
    EXPECT_EQ(table.find("SERIAL"), table.find("742TQK1234", first) - first) << table;
}

struct SinceCase {
    const char* name;
    std::string text;
    bool valid;
    std::string utc; // for the UTC forms; local forms are only checked for shape
};

class SinceDateTest : public ::testing::TestWithParam<SinceCase> {};

TEST_P(SinceDateTest, TakesDatesAndRefusesTheRest)
{
    std::string utc;
    std::string error;
    EXPECT_EQ(ParseSinceDate(GetParam().text, utc, error), GetParam().valid) << utc;
    if (!GetParam().valid) {
        EXPECT_NE(error.find(GetParam().text), std::string::npos) << error;
        return;
    }
    ASSERT_EQ(utc.size(), 20u) << utc;
    EXPECT_EQ(utc.back(), 'Z');
    if (!GetParam().utc.empty()) {
        EXPECT_EQ(utc, GetParam().utc);
    }
}

INSTANTIATE_TEST_SUITE_P(Dates, SinceDateTest,
                         ::testing::Values(SinceCase{"local_day", "2024-01-31", true, ""},
                                           SinceCase{"local_second", "2024-01-31 15:45:02", true, ""},
                                           SinceCase{"utc_time", "2024-01-31T15:45:02Z", true, "2024-01-31T15:45:02Z"},
                                           SinceCase{"leap_day_missing", "2023-02-29", false, ""},
                                           SinceCase{"thirteenth_month", "2024-13-01", false, ""},
                                           SinceCase{"hour_24", "2024-01-31T24:00", false, ""},
                                           SinceCase{"words", "yesterday", false, ""},
                                           SinceCase{"empty", "", false, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vantrel
