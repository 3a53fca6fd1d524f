#pragma once

// Helpers for reading converted images in tests: blocks are found through the
// image's own header and directory, independently of the conversion code.

#include "sim/CodeplugGenerator.h"
#include "upgrade/CodeplugConversion.h"
#include "codeplug/CodeplugLayout.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vantrel::testing {

struct BlockView {
    uint16_t address = 0;
    uint8_t identifier = 0;
    uint16_t recordLength = 0;
    uint8_t count = 0;
    std::span<const uint8_t> records;
    uint8_t checksum = 0;

    uint32_t Size() const { return BlockSize(recordLength, count); }
    std::span<const uint8_t> Record(int k) const { return records.subspan(size_t{recordLength} * k, recordLength); }
    std::span<const uint8_t> Whole(std::span<const uint8_t> image) const { return image.subspan(address, Size()); }
};

class CodeplugView {
public:
    CodeplugView(std::span<const uint8_t> image, uint16_t hardwareLength) : m_image(image), m_base(hardwareLength) {}

    uint16_t Word(size_t at) const { return ReadBigEndian16(m_image, at); }
    uint16_t TrailerAddress() const { return Word(m_base + kTrailerAddressOffset); }
    uint16_t DirectoryAddress() const { return Word(m_base + kDirectoryAddressOffset); }
    uint16_t Entry(int n) const { return Word(DirectoryAddress() + 2u * n); }
    BlockView Block(int entry) const
    {
        BlockView b;
        b.address = Entry(entry);
        b.identifier = m_image[b.address];
        b.recordLength = Word(b.address + 1u);
        b.count = m_image[b.address + 3u];
        b.records = m_image.subspan(b.address + 4u, size_t{b.recordLength} * b.count);
        b.checksum = m_image[b.address + 4u + b.records.size()];
        return b;
    }
    std::span<const uint8_t> TrailerData() const { return m_image.subspan(TrailerAddress() + 2u, 4); }

private:
    std::span<const uint8_t> m_image;
    uint16_t m_base;
};

// An old codeplug as the upgrade holds it: read into a 20,000-byte buffer whose
// unread tail is filled with `filler`.
struct Conversion {
    std::vector<uint8_t> old;
    std::vector<uint8_t> image;
    ConversionOutcome outcome;

    CodeplugView Old(bool phase3) const { return CodeplugView(old, HardwareLength(phase3)); }
    CodeplugView New() const { return CodeplugView(image, kPhase3HardwareLength); }
};

inline Conversion Convert(std::vector<uint8_t> old, bool phase3, uint8_t filler = 0xFF)
{
    Conversion c;
    c.image = old;
    c.image.resize(kImageSize, filler);
    c.outcome = ConvertApplicationCodeplugChecked(c.image, phase3, old.size());
    c.old = std::move(old);
    return c;
}

} // namespace vantrel::testing
