#pragma once

#include "data/UpgradePlan.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel {

// What the codeplug steps of an upgrade made of an image read from a radio.
struct PreparedImage {
    bool refused = false;
    std::string refusal; // why, in words, when refused
    uint32_t length = 0; // bytes from address 0 to write back
    // Blocks carried over as read although their checksum is wrong (directory entries).
    std::vector<int> damagedBlocks;
};

// The codeplug steps of an upgrade on the image in memory, in order: the
// application codeplug conversion (when the plan has it), the hardware codeplug
// migration (when the plan has it) and the first-block patch, from the model's
// EEPROM data file. bytesRead: the bytes of the image that came from the radio.
// A refused image may have been changed in part; the caller does not write it.
PreparedImage PrepareUpgradeImage(std::span<uint8_t> image, uint32_t bytesRead, const UpgradePlan& plan, bool phase3,
                                  int column, std::span<const uint8_t> eepromData);

// The note that names the damaged blocks carried over; empty when none.
std::string DamagedBlocksNote(const std::vector<int>& blocks);

} // namespace vantrel
