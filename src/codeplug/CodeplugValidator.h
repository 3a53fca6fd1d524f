#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel {

// Which application layout an image is expected to hold. The old layouts are
// what release 1 and 2 firmware keeps; the new one is what a conversion writes
// (block 1 at 651 with a 67-byte record, then every block, the trailer and the
// directory packed one after the other).
enum class ApplicationLayout { Old, New };

// Structural checks of codeplug images. Each returns a list of problems in
// plain words; an empty list means the image is sound. Nothing outside the
// given bytes is read.
using CodeplugProblems = std::vector<std::string>;

// Length word, the seven block checksums and the tuning run length.
CodeplugProblems ValidateHardwareCodeplug(std::span<const uint8_t> image);

// The application codeplug that starts at `hardwareLength`: header, directory
// (count and checksum), every block (bounds, record length, checksum), the
// trailer, no overlap, and the application length ending at the directory.
CodeplugProblems ValidateApplicationCodeplug(std::span<const uint8_t> image, uint16_t hardwareLength,
                                             ApplicationLayout layout);

// Hardware codeplug plus the application codeplug behind it.
CodeplugProblems ValidateCodeplugImage(std::span<const uint8_t> image, ApplicationLayout layout);

// A model EEPROM data file: a Phase 3 hardware codeplug template in 0..639 and
// a new-layout block 1 in 651..722.
CodeplugProblems ValidateEepromDataFile(std::span<const uint8_t> data);

} // namespace vantrel
