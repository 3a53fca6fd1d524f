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
