#include "cli/OutputText.h"

#include "cli/JsonObject.h"
#include "link/ItemText.h"

#include <gtest/gtest.h>
#include <string>

namespace vantrel {
namespace {

struct SafeTextCase {
    const char* name;
    std::string input;
    std::string radio;    // EscapedRadioText: a radio's text
    std::string terminal; // TerminalText: the program's messages and notes
    std::string json;     // JsonString
};

class SafeText : public testing::TestWithParam<SafeTextCase> {};

TEST_P(SafeText, NothingUnsafeGetsThrough)
{
    const SafeTextCase& c = GetParam();
    EXPECT_EQ(EscapedRadioText(c.input), c.radio);
    EXPECT_EQ(TerminalText(c.input), c.terminal);
    EXPECT_EQ(JsonString(c.input), c.json);
    for (const char ch : EscapedRadioText(c.input))
        EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << int(ch);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SafeText,
    testing::Values(
        SafeTextCase{"PlainAscii", "R03.08.08", "R03.08.08", "R03.08.08", "\"R03.08.08\""},
        SafeTextCase{"Empty", "", "", "", "\"\""},
        SafeTextCase{"ClearScreen", "\x1B[2J", "\\x1B[2J", "\\x1B[2J", "\"\\\\x1B[2J\""},
        SafeTextCase{"WindowTitleAndBell", "\x1B]0;X\x07", "\\x1B]0;X\\x07", "\\x1B]0;X\\x07",
                     "\"\\\\x1B]0;X\\\\x07\""},
        SafeTextCase{"Latin1Byte", "caf\xE9", "caf\\xE9", "caf\\xE9", "\"caf\\\\xE9\""},
        // Well-formed UTF-8 (a path in a note) stays in program text; a radio
        // sends single bytes, so its text shows them escaped.
        SafeTextCase{"Utf8", "J\xC3\xBCrgen", "J\\xC3\\xBCrgen", "J\xC3\xBCrgen", "\"J\xC3\xBCrgen\""},
        SafeTextCase{"C1ControlAsUtf8",
                     "a\xC2\x9B"
                     "b",
                     "a\\xC2\\x9Bb", "a\\xC2\\x9Bb", "\"a\\\\xC2\\\\x9Bb\""},
        SafeTextCase{"Utf8CutShort", "\xE2\x80", "\\xE2\\x80", "\\xE2\\x80", "\"\\\\xE2\\\\x80\""},
        SafeTextCase{"OverlongSlash", "\xC0\xAF", "\\xC0\\xAF", "\\xC0\\xAF", "\"\\\\xC0\\\\xAF\""},
        SafeTextCase{"Surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80", "\\xED\\xA0\\x80", "\"\\\\xED\\\\xA0\\\\x80\""},
        SafeTextCase{"LineBreakAndTab", "a\nb\tc\r", "a\\x0Ab\\x09c\\x0D", "a\nb\tc\\x0D", "\"a\\nb\\tc\\r\""},
        SafeTextCase{"QuoteAndBackslash", "say \"\\x41\"", "say \"\\x5Cx41\"", "say \"\\x41\"",
                     "\"say \\\"\\\\x41\\\"\""},
        SafeTextCase{"Delete", "a\x7F", "a\\x7F", "a\\x7F", "\"a\\\\x7F\""}),
    [](const testing::TestParamInfo<SafeTextCase>& info) { return std::string(info.param.name); });

TEST(JsonObject, FieldsInTheOrderAdded)
{
    JsonObject inner;
    inner.Text("name", "North America").Number("value", 1);
    JsonObject outer;
    outer.Text("event", "result").Number("status", -1).Bool("ok", false).Null("none").Raw("data", inner.Str());
    EXPECT_EQ(outer.Str(),
              R"({"event":"result","status":-1,"ok":false,"none":null,"data":{"name":"North America","value":1}})");
    EXPECT_EQ(JsonObject().Str(), "{}");
    EXPECT_EQ(JsonArray({}), "[]");
    EXPECT_EQ(JsonArray({"1", "\"a\"", "{}"}), R"([1,"a",{}])");
}

} // namespace
} // namespace vantrel
