#pragma once

#include <cstdint>
#include <span>

namespace vantrel {

// Outcome of renewing the hardware codeplug. Every refusal leaves the image untouched.
enum class HardwareMigrationResult {
    Done,
    DataFileTooShort,        // the model EEPROM data file holds fewer than 723 bytes (the upgrade shows 20152)
    ImageTooShort,           // the image cannot hold the 640-byte hardware codeplug
    UnknownColumn,           // variant column outside 0..8
    RadioTuningTooLong,      // the radio's N at 22 is beyond its own tuning block
    TemplateNotPhase3,       // the template's length word is not 640
    TemplateTuningTooLong,   // the template's N' runs into the checksum at 122
    TemplateNeedsMoreTuning, // N' asks for more tuning bytes than the radio saved
};

// Why a migration was refused, in words for the operator.
const char* HardwareMigrationText(HardwareMigrationResult result);

// Renews addresses 0..639 of the image from the model's EEPROM data file (its
// bytes, already read by the caller), keeping the radio's tuning data run and
// applying the variant column's fix-ups. `phase3` says whether the radio's own
// hardware codeplug is 640 bytes long (else 512).
HardwareMigrationResult MigrateHardwareCodeplug(std::span<uint8_t> image, std::span<const uint8_t> eepromData,
                                                bool phase3, int column);

// Renews record bytes 26, 27 and 43..52 of block 1 in the new layout from the
// EEPROM data file and recomputes the block's checksum at 722. False (image
// untouched) when the file or the image is shorter than 723 bytes.
bool PatchFirstBlock(std::span<uint8_t> image, std::span<const uint8_t> eepromData);

} // namespace vantrel
