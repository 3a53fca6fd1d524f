#pragma once

#include "link/ItemText.h"

#include <cstdint>
#include <string>

namespace vantrel {

// How the Radio Info fields show a read-info value (bytes and their count).
std::string FormatModelNumber(const uint8_t* value, uint32_t length); // 2 bytes → "ID = $4A $01"
std::string FormatEsn(const uint8_t* value, uint32_t length);         // 5 bytes → "012/03/077881", else "?"
std::string FormatRegion(const uint8_t* value, uint32_t length);      // region name, "Invalid Region", "?"
std::string FormatIcVersions(const uint8_t* value, uint32_t length);  // "$12 $FE $03 "

} // namespace vantrel
