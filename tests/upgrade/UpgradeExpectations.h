#pragma once

#include "data/UpgradePlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// What a complete upgrade leaves in a radio's EEPROM, worked out from the
// radio's EEPROM before the run with the codeplug steps alone (no radio, no
// procedure): the converted and migrated image from address 0, or empty when
// the steps refuse the image.
std::vector<uint8_t> ExpectedUpgradedImage(const std::vector<uint8_t>& eepromBefore, const UpgradePlan& plan,
                                           int modelRow, const std::string& programFolder);

} // namespace vantrel
