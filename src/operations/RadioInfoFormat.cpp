#include "operations/RadioInfoFormat.h"

#include "link/StringTable.h"
#include "operations/RegionalId.h"

#include <cstdio>

namespace vantrel {

std::string FormatRegion(const uint8_t* value, uint32_t length)
{
    if (length != 1) return "?";
    const int position = RegionPosition(value[0]);
    if (position < 0) return "Invalid Region";
    return LoadMessageText(RegionNameId(position));
}

std::string FormatIcVersions(const uint8_t* value, uint32_t length)
{
    std::string text;
    char buf[8];
    for (uint32_t i = 0; i < length; ++i) {
        std::snprintf(buf, sizeof buf, "$%02X ", value[i]);
        text += buf;
    }
    return text;
}

} // namespace vantrel
