#include "codeplug/BlockChecksum.h"

namespace vantrel {

uint8_t AddToByteSum(uint8_t sum, std::span<const uint8_t> bytes)
{
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    return sum;
}

uint8_t BlockChecksum(std::span<const uint8_t> bytes)
{
    return ChecksumFromSum(AddToByteSum(0, bytes));
}

uint8_t BlockChecksum(const uint8_t* bytes, uint16_t length)
{
    return BlockChecksum(std::span<const uint8_t>(bytes, length));
}

} // namespace vantrel
