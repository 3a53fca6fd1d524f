#include "codeplug/CodeplugValidator.h"

#include "codeplug/BlockChecksum.h"
#include "codeplug/CodeplugLayout.h"

#include <algorithm>
#include <cstdio>

namespace vantrel {
namespace {

std::string Hex(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

struct Piece {
    uint32_t start;
    uint32_t end;
    std::string name;
};

class ApplicationChecker {
public:
    ApplicationChecker(std::span<const uint8_t> image, uint16_t base, ApplicationLayout layout)
        : m_image(image), m_base(base), m_layout(layout)
    {
    }

    CodeplugProblems Run()
    {
        if (m_image.size() < uint32_t{m_base} + kHeaderSize) {
            Problem("application header at " + std::to_string(m_base) + " is beyond the image");
            return m_problems;
        }
        if (m_layout == ApplicationLayout::New && m_base != kPhase3HardwareLength)
            Problem("the new layout starts at 640, not at " + std::to_string(m_base));
        const uint16_t appLength = ReadBigEndian16(m_image, m_base + kAppLengthOffset);
        m_end = uint32_t{m_base} + appLength + kAppLengthSlack;
        if (m_end > m_image.size())
            Problem("application length " + std::to_string(appLength) + " ends beyond the image");
        m_pieces.push_back({m_base, uint32_t{m_base} + kHeaderSize, "header"});

        CheckDirectory(ReadBigEndian16(m_image, m_base + kDirectoryAddressOffset));
        CheckTrailer(ReadBigEndian16(m_image, m_base + kTrailerAddressOffset));
        if (m_directoryRead) CheckBlocks();
        CheckPieces();
        return m_problems;
    }

private:
    void Problem(std::string text) { m_problems.push_back(std::move(text)); }
    bool Inside(uint32_t start, uint32_t size) const { return start + size <= m_image.size(); }

    void CheckDirectory(uint16_t at)
    {
        if (!Inside(at, kDirectorySize)) {
            Problem("directory at " + std::to_string(at) + " is beyond the image");
            return;
        }
        const uint16_t count = ReadBigEndian16(m_image, at);
        if (count != kDirectoryEntries) Problem("directory count is " + std::to_string(count) + ", not 32");
        const uint8_t expected = BlockChecksum(m_image.subspan(at, kDirectorySize - 1));
        if (m_image[at + kDirectorySize - 1] != expected)
            Problem("directory checksum is " + Hex(m_image[at + kDirectorySize - 1]) + ", expected " + Hex(expected));
        if (uint32_t{at} + kDirectorySize != m_end)
            Problem("the application length does not end at the directory's end");
        for (int n = 1; n <= kDirectoryEntries; ++n)
            m_entries[n] = ReadBigEndian16(m_image, at + 2u * n);
        m_directoryRead = true;
        m_directory = at;
        m_pieces.push_back({at, uint32_t{at} + kDirectorySize, "directory"});
    }

    void CheckTrailer(uint16_t at)
    {
        if (!Inside(at, kTrailerLength)) {
            Problem("trailer at " + std::to_string(at) + " is beyond the image");
            return;
        }
        const uint16_t length = ReadBigEndian16(m_image, at);
        if (length != kTrailerLength) {
            Problem("trailer length is " + std::to_string(length) + ", not 7");
            return;
        }
        const uint8_t expected = BlockChecksum(m_image.subspan(at, kTrailerLength - 1));
        if (m_image[at + kTrailerLength - 1] != expected)
            Problem("trailer checksum is " + Hex(m_image[at + kTrailerLength - 1]) + ", expected " + Hex(expected));
        m_trailer = at;
        m_pieces.push_back({at, uint32_t{at} + kTrailerLength, "trailer"});
    }

    bool Required(int slotIndex) const
    {
        if (m_layout == ApplicationLayout::New)
            return kBlockSlots[slotIndex].entry != kSlotOfEntry17; // a conversion writes every other slot
        return !kBlockSlots[slotIndex].optional;
    }

    void CheckBlocks()
    {
        uint32_t expectedNext = uint32_t{m_base} + kHeaderSize; // new layout: packed in slot order
        for (int i = 0; i < kSlotCount; ++i) {
            const int entry = kBlockSlots[i].entry;
            const uint16_t at = m_entries[entry];
            const std::string name = "block of entry " + std::to_string(entry);
            if (at == 0) {
                if (Required(i)) Problem(name + " is missing");
                continue;
            }
            if (m_layout == ApplicationLayout::New && at != expectedNext)
                Problem(name + " is at " + std::to_string(at) + ", expected " + std::to_string(expectedNext));
            expectedNext = CheckBlock(at, entry, name);
        }
        if (m_layout == ApplicationLayout::New && m_trailer != 0 && m_trailer != expectedNext)
            Problem("trailer does not follow the last block");
        if (m_layout == ApplicationLayout::New && m_trailer != 0 && m_directory != uint32_t{m_trailer} + kTrailerLength)
            Problem("directory does not follow the trailer");
    }

    // Returns the address just after the block.
    uint32_t CheckBlock(uint16_t at, int entry, const std::string& name)
    {
        if (!Inside(at, kBlockRecordsOffset)) {
            Problem(name + " at " + std::to_string(at) + " is beyond the image");
            return at;
        }
        const uint16_t recordLength = ReadBigEndian16(m_image, at + kBlockRecordLengthOffset);
        const uint8_t count = m_image[at + kBlockCountOffset];
        if (recordLength > kMaxRecordLength) Problem(name + " has record length " + std::to_string(recordLength));
        const uint32_t size = BlockSize(recordLength, count);
        if (!Inside(at, size)) {
            Problem(name + " runs beyond the image");
            return at + size;
        }
        const uint8_t expected = BlockChecksum(m_image.subspan(at, size - 1));
        if (m_image[at + size - 1] != expected)
            Problem(name + " checksum is " + Hex(m_image[at + size - 1]) + ", expected " + Hex(expected));
        if (entry == 1) CheckFirstBlock(at, recordLength, count);
        m_pieces.push_back({at, at + size, name});
        return at + size;
    }

    void CheckFirstBlock(uint16_t at, uint16_t recordLength, uint8_t count)
    {
        if (at != m_base + kHeaderSize) Problem("block 1 does not follow the header");
        if (count != 1) Problem("block 1 holds " + std::to_string(count) + " records, not 1");
        if (m_layout == ApplicationLayout::New && recordLength != kNewBlock1RecordLength)
            Problem("block 1 record length is " + std::to_string(recordLength) + ", not 67");
    }

    void CheckPieces()
    {
        std::sort(m_pieces.begin(), m_pieces.end(), [](const Piece& a, const Piece& b) { return a.start < b.start; });
        for (size_t i = 0; i < m_pieces.size(); ++i) {
            const Piece& p = m_pieces[i];
            if (p.end > m_end) Problem(p.name + " lies beyond the application length");
            if (i > 0 && p.start < m_pieces[i - 1].end) Problem(p.name + " overlaps " + m_pieces[i - 1].name);
        }
    }

    std::span<const uint8_t> m_image;
    uint16_t m_base;
    ApplicationLayout m_layout;
    uint32_t m_end = 0;
    uint16_t m_trailer = 0;
    bool m_directoryRead = false;
    uint32_t m_directory = 0;
    uint16_t m_entries[kDirectoryEntries + 1] = {};
    std::vector<Piece> m_pieces;
    CodeplugProblems m_problems;
};

} // namespace

CodeplugProblems ValidateHardwareCodeplug(std::span<const uint8_t> image)
{
    CodeplugProblems problems;
    if (image.size() < 2) {
        problems.push_back("no hardware codeplug length");
        return problems;
    }
    const uint16_t length = ReadBigEndian16(image, kHardwareLengthAddress);
    if (length != kPhase12HardwareLength && length != kPhase3HardwareLength) {
        problems.push_back("hardware codeplug length is " + std::to_string(length) + ", not 512 or 640");
        return problems;
    }
    if (image.size() < length) {
        problems.push_back("hardware codeplug runs beyond the image");
        return problems;
    }
    const bool phase3 = length == kPhase3HardwareLength;
    const HardwareBlockTable& blocks = HardwareBlocks(phase3);
    for (int i = 0; i < kHardwareBlockCount; ++i) {
        const HardwareBlock& block = blocks[i];
        const uint8_t expected = BlockChecksum(image.subspan(block.start, block.length - 1));
        if (image[block.ChecksumAddress()] != expected)
            problems.push_back("hardware block " + std::to_string(i + 1) + " checksum is " +
                               Hex(image[block.ChecksumAddress()]) + ", expected " + Hex(expected));
    }
    if (image[kTuningLengthAddress] > MaxTuningLength(phase3))
        problems.push_back("tuning run length " + std::to_string(image[kTuningLengthAddress]) +
                           " reaches the tuning checksum");
    return problems;
}

CodeplugProblems ValidateApplicationCodeplug(std::span<const uint8_t> image, uint16_t hardwareLength,
                                             ApplicationLayout layout)
{
    return ApplicationChecker(image, hardwareLength, layout).Run();
}

CodeplugProblems ValidateCodeplugImage(std::span<const uint8_t> image, ApplicationLayout layout)
{
    CodeplugProblems problems = ValidateHardwareCodeplug(image);
    if (!problems.empty()) return problems;
    const uint16_t length = ReadBigEndian16(image, kHardwareLengthAddress);
    return ValidateApplicationCodeplug(image, length, layout);
}

CodeplugProblems ValidateEepromDataFile(std::span<const uint8_t> data)
{
    if (data.size() < kEepromDataFileMinSize)
        return {"EEPROM data file holds " + std::to_string(data.size()) + " bytes, fewer than 723"};
    CodeplugProblems problems = ValidateHardwareCodeplug(data.first(kPhase3HardwareLength));
    if (ReadBigEndian16(data, kHardwareLengthAddress) != kPhase3HardwareLength)
        problems.push_back("the template is not a Phase 3 hardware codeplug");
    const size_t at = kNewBlock1Address;
    if (ReadBigEndian16(data, at + kBlockRecordLengthOffset) != kNewBlock1RecordLength ||
        data[at + kBlockCountOffset] != 1)
        problems.push_back("block 1 is not one record of 67 bytes");
    const uint8_t expected = BlockChecksum(data.subspan(at, kNewBlock1ChecksumAddress - at));
    if (data[kNewBlock1ChecksumAddress] != expected)
        problems.push_back("block 1 checksum is " + Hex(data[kNewBlock1ChecksumAddress]) + ", expected " +
                           Hex(expected));
    return problems;
}

} // namespace vantrel
