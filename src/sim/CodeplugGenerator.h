#pragma once

// Builds codeplug images for tests and the simulated radio: hardware codeplugs
// of both generations, application codeplugs of the old layouts (version 2 and
// 3) and of the new layout, and model EEPROM data files. Content is pseudo-random
// from a seed, the structure is always sound: every checksum, address and
// length is computed, never typed in.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vantrel {

// One application block to be laid out.
struct GeneratedBlock {
    uint8_t entry = 0; // the directory entry that addresses it
    uint8_t identifier = 0;
    uint16_t recordLength = 0;
    uint8_t count = 0;
    std::vector<uint8_t> records; // count records of recordLength bytes

    uint8_t* Record(int k) { return records.data() + static_cast<size_t>(k) * recordLength; }
};

// A codeplug described piece by piece. Tests edit a description (a record
// byte, a block's shape, the storage order) and build it into an image.
struct CodeplugDescription {
    std::vector<uint8_t> hardware; // the hardware codeplug, 512 or 640 bytes
    std::array<uint8_t, 5> header{};
    std::vector<GeneratedBlock> blocks; // in storage order, from just after the header
    std::array<uint8_t, 4> trailerData{};
    std::array<uint16_t, 33> unslottedEntries{}; // values for entries with no block (19, 20, 26..31)

    GeneratedBlock* Block(int entry); // nullptr when there is none
    void RemoveBlock(int entry);
};

// Lays the description out: hardware codeplug, header, the blocks one after
// the other, trailer, directory. The image is exactly as long as the codeplug
// (L + A + 3 bytes).
std::vector<uint8_t> BuildCodeplugImage(const CodeplugDescription& description);

// A hardware codeplug of 512 (Phase 1/2) or 640 (Phase 3) bytes with valid
// block checksums; the tuning run length at 22 defaults to the largest that fits
// (91 or 97).
std::vector<uint8_t> GenerateHardwareCodeplug(bool phase3, uint32_t seed, int tuningLength = -1);

// Recomputes the seven hardware block checksums after an edit.
void RefreshHardwareChecksums(std::span<uint8_t> hardware);

struct OldCodeplugOptions {
    bool phase3 = false;
    int layoutVersion = 2; // block 1 record byte 26
    bool withEntry17 = false;
    bool withOptionalBlocks = true;    // entries 4..7 and 13 present
    bool reverseOrder = false;         // store the blocks after block 1 in reverse slot order
    uint8_t conversionTestByte = 0x30; // block 1 record byte 19
    uint8_t marker = 0x3C;             // block 1 record byte 28, the codeplug marker
    uint32_t seed = 1;
};

// An application codeplug in the layout of release 1 and 2 firmware behind a
// hardware codeplug of the chosen phase.
CodeplugDescription DescribeOldCodeplug(const OldCodeplugOptions& options);
std::vector<uint8_t> GenerateOldCodeplugImage(const OldCodeplugOptions& options);

struct NewCodeplugOptions {
    bool withEntry17 = true;
    uint8_t marker = 0xC3;
    uint32_t seed = 1;
};

// A Phase 3 hardware codeplug with the new application layout from 640 on.
CodeplugDescription DescribeNewCodeplug(const NewCodeplugOptions& options);
std::vector<uint8_t> GenerateNewCodeplugImage(const NewCodeplugOptions& options);

// What a model EEPROM data file holds (723 bytes): a Phase 3 hardware codeplug
// template in 0..639 and a new-layout block 1 in 651..722; 640..650 are zero.
std::vector<uint8_t> GenerateEepromDataFile(uint32_t seed, int tuningLength = -1);

} // namespace vantrel
