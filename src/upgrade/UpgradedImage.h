#pragma once

#include "upgrade/FindUpgradePlan.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel {

struct EepromBackup;

// True when the image already holds the application layout a conversion
// writes: a 640-byte hardware codeplug followed by a first block with the new
// record length. Converting such an image again would damage it.
bool HoldsConvertedLayout(std::span<const uint8_t> image);

enum class BackupImage {
    Upgraded,   // out holds what an upgrade writes from address 0
    AsSaved,    // an upgrade would not change these bytes: write them as they are
    NoDataFile, // the model's EEPROM data file is missing or too short: write nothing
    Refused,    // an upgrade would convert them but cannot: write nothing
};

// What an upgrade of the radio this backup was taken from writes into its
// EEPROM, worked out from the backup alone (the lookup kept in it, the model's
// EEPROM data file in the program folder). why says what was decided and why.
// A backup without the lookup identity, of a radio the tables do not upgrade,
// whose plan writes no EEPROM data, or that already holds the converted
// codeplug is written as saved.
BackupImage UpgradedImageFromBackup(const EepromBackup& backup, const std::string& programFolder,
                                    std::vector<uint8_t>& out, std::string& why);

// The codeplug marker address an image's hardware codeplug length selects.
uint32_t MarkerAddressOf(bool phase3);

} // namespace vantrel
