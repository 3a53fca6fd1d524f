#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// The radio's bootstrap firmware talks at this rate only.
constexpr uint32_t kBootstrapRate = 2400;

// The files one bootcode download and flashing use. Built by the caller; the
// loader only reads it.
struct FlashFileSet {
    // Raw bootcode bytes, downloaded exactly as they are; empty when there is
    // no bootcode for the flash rate.
    std::string bootcodePath;
    // The firmware record file, or with firmwareIsSRecord an S-record file.
    std::string firmwarePath;
    uint32_t bootstrapRate = kBootstrapRate;
    // The operator's selected firmware file is flashed as it is, one write per
    // S-record up to the end record, instead of the carried record file.
    bool firmwareIsSRecord = false;
};

// "bt19.mot", "bt38.mot" or "bt115.mot" for the three flash rates; "" for any other.
std::string BootcodeFileName(uint32_t flashRate);

// The carried bootcode and firmware record file in a folder (separator kept).
// The bootcode path stays empty for a rate without a bootcode, so that the
// download fails on opening it instead of opening the folder.
FlashFileSet CarriedFlashFiles(const std::string& folder, uint32_t flashRate);

} // namespace vantrel
