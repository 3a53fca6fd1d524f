#include "cli/OutputText.h"

#include <cstddef>
#include <cstdio>

namespace vantrel {
namespace {

// Length of the well-formed UTF-8 sequence of two to four bytes at text[at]
// (no overlong forms, surrogates or C1 controls), or 0.
size_t Utf8SequenceAt(const std::string& text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        if (lead == 0xC2) low = 0xA0; // U+0080..U+009F are the C1 controls
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

void AppendHexEscape(std::string& out, unsigned char byte)
{
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += escaped;
}

// Walks text: plain bytes and well-formed sequences go to keep(), the rest to
// unsafe(); line breaks and tabs count as plain.
template <typename Keep, typename Unsafe> void Scan(const std::string& text, Keep keep, Unsafe unsafe)
{
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t') {
            keep(text.substr(i, 1));
            ++i;
        } else if (const size_t n = Utf8SequenceAt(text, i); n != 0) {
            keep(text.substr(i, n));
            i += n;
        } else {
            unsafe(c);
            ++i;
        }
    }
}

} // namespace

std::string TerminalText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    Scan(
        text, [&](const std::string& piece) { out += piece; }, [&](unsigned char c) { AppendHexEscape(out, c); });
    return out;
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    out.reserve(text.size() + 2);
    Scan(
        text,
        [&](const std::string& piece) {
            if (piece == "\"")
                out += "\\\"";
            else if (piece == "\\")
                out += "\\\\";
            else if (piece == "\n")
                out += "\\n";
            else if (piece == "\t")
                out += "\\t";
            else
                out += piece;
        },
        [&](unsigned char c) {
            if (c == '\r') {
                out += "\\r";
                return;
            }
            out += '\\'; // the backslash of the \xNN text, escaped for JSON
            AppendHexEscape(out, c);
        });
    out += '"';
    return out;
}

} // namespace vantrel
