#pragma once

#include "sim/SimRadioState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The simulated radio kept in a file between program runs: profile name,
// identity items, EEPROM, the programmed flash pages and the mode, so that one
// command sees what an earlier one wrote. Binary, little-endian, with a
// checksum over the whole file; a damaged file is refused with a reason.
std::vector<uint8_t> EncodeSimState(const std::string& profile, const SimRadioState& state);
bool DecodeSimState(const std::vector<uint8_t>& bytes, std::string& profile, SimRadioState& state, std::string& error);

// The CRC-32 that closes the file (over every byte before it).
uint32_t SimStateChecksum(const uint8_t* data, size_t size);

// Writes the file completely or not at all.
bool SaveSimState(const std::string& path, const std::string& profile, const SimRadioState& state, std::string& error);
bool LoadSimState(const std::string& path, std::string& profile, SimRadioState& state, std::string& error);

} // namespace vantrel
