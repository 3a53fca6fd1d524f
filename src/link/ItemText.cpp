#include "link/ItemText.h"

#include <cstdio>

namespace vantrel {

std::string FormatText(const uint8_t* value, uint32_t length)
{
    std::string text;
    for (uint32_t i = 0; i < length && value[i] != 0; ++i)
        text += static_cast<char>(value[i]);
    return text;
}

std::string FormatModelNumber(const uint8_t* value, uint32_t length)
{
    if (length != 2) return FormatText(value, length);
    char buf[32];
    std::snprintf(buf, sizeof buf, "ID = $%02X $%02X", value[0], value[1]);
    return buf;
}

std::string FormatEsn(const uint8_t* value, uint32_t length)
{
    if (length != 5) return "?";
    const unsigned serial =
        (static_cast<unsigned>(value[1] & 0x03) << 16) | (static_cast<unsigned>(value[2]) << 8) | value[3];
    char buf[32];
    std::snprintf(buf, sizeof buf, "%03d/%02d/%06ld", value[0], value[1] >> 4, static_cast<long>(serial));
    return buf;
}

std::string EscapedRadioText(const std::string& text)
{
    std::string safe;
    safe.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            safe += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        safe += escaped;
    }
    return safe;
}

} // namespace vantrel
