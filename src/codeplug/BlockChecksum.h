#pragma once

#include <cstdint>
#include <span>

namespace vantrel {

// The checksum byte of a codeplug block, hardware block, trailer or directory:
// 0x5A minus the 8-bit sum of the covered bytes, so that the covered bytes and
// the checksum together sum to 0x5A.
uint8_t BlockChecksum(std::span<const uint8_t> bytes);
uint8_t BlockChecksum(const uint8_t* bytes, uint16_t length);

// Folds more bytes into a running 8-bit sum; the checksum of the whole is
// ChecksumFromSum(sum). Lets a block be summed piece by piece.
uint8_t AddToByteSum(uint8_t sum, std::span<const uint8_t> bytes);
constexpr uint8_t ChecksumFromSum(uint8_t sum)
{
    return static_cast<uint8_t>(0x5A - sum);
}

} // namespace vantrel
