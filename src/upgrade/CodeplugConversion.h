#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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
    KeptChecksumWrong,  // a block carried over unedited does not match its checksum
    ResultTooLarge,     // the new layout does not fit the image (20,000 bytes at most)
};

struct ConversionOutcome {
    uint16_t imageLength = 0; // bytes from address 0 to write back; 0 on refusal
    ConversionRefusal refusal = ConversionRefusal::None;
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
