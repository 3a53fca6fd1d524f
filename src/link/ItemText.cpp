#include "link/ItemText.h"

namespace vantrel {

std::string FormatText(const uint8_t* value, uint32_t length)
{
    std::string text;
    for (uint32_t i = 0; i < length && value[i] != 0; ++i)
        text += static_cast<char>(value[i]);
    return text;
}

} // namespace vantrel
