#pragma once

#include "link/ItemText.h"

#include <cstdint>
#include <string>

namespace vantrel {

// How the Radio Info fields show a read-info value (bytes and their count).
// The model number and the ESN: link/ItemText.h.
std::string FormatRegion(const uint8_t* value, uint32_t length);      // region name, "Invalid Region", "?"
std::string FormatIcVersions(const uint8_t* value, uint32_t length);  // "$12 $FE $03 "

} // namespace vantrel
