#pragma once

#include "operations/RadioInfo.h"

#include <cstdint>
#include <string>

namespace vantrel {

// The JSON object of `info --json`: the fields under English names with their
// values as the radio sent them (text made safe, \xNN for bytes outside
// printable ASCII), the radio IC versions as numbers, the region by name and
// number, null for an item the radio did not give.
std::string RadioInfoJson(const RadioInfoResult& result);

// {"name":"North America","value":1}; "Invalid Region" for a value without a name.
std::string RegionJson(uint8_t value);

} // namespace vantrel
