#include "operations/RadioInfoFormat.h"

#include "link/StringTable.h"
#include "operations/RegionalId.h"

#include <cstdio>

namespace vantrel {

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
