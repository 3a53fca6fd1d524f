#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vantrel {

// Why a conversion returned 0. The old image comes from a radio, so every
// address and size in it is checked before it is used.
enum class ConversionRefusal {
    None,
    ImageTooShort, // the image cannot hold even the new header
    HeaderOutsideRead,
    DirectoryOutsideRead,
    DirectoryCountWrong, // not 32 entries
    FirstBlockMisplaced, // block 1 does not directly follow the header
    FirstBlockNotOneRecord,
    BlockOutsideRead, // a block's address or records reach beyond the bytes read
    RecordTooLong,    // record length above 300
    TrailerOutsideRead,
    TrailerLengthWrong, // not 7
    PiecesOverlap,      // header, blocks, trailer and directory share bytes
    ResultTooLarge,     // the new layout does not fit the image (20,000 bytes at most)
};

// Why a conversion was refused, in words for the operator.
const char* ConversionRefusalText(ConversionRefusal refusal);

struct ConversionOutcome {
    uint16_t imageLength = 0; // bytes from address 0 to write back; 0 on refusal
    ConversionRefusal refusal = ConversionRefusal::None;
    // Directory entries of the blocks carried over unedited whose checksum did
    // not match: they go into the new layout as read, and the operator is told.
    std::vector<int> damagedBlocks;
};

// Converts the old application codeplug in `image` (after a 640-byte hardware
// codeplug when `phase3`, else 512) into the new layout written from address
// 640 on. Only the first `bytesRead` bytes of the image came from the radio;
// nothing beyond them is read. Returns the new image length (the address just
// after the directory checksum), or 0 when the old image is refused; a refused
// image is left untouched.
uint16_t ConvertApplicationCodeplug(std::span<uint8_t> image, bool phase3, size_t bytesRead);

// The same, telling why a conversion was refused.
ConversionOutcome ConvertApplicationCodeplugChecked(std::span<uint8_t> image, bool phase3, size_t bytesRead);

} // namespace vantrel
