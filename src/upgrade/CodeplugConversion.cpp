#include "upgrade/CodeplugConversion.h"

#include "codeplug/BlockChecksum.h"
#include "upgrade/ConversionModel.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace vantrel {
namespace {

constexpr uint16_t kNewHardwareLength = kPhase3HardwareLength;
constexpr uint16_t kPhase12Shift = kPhase3HardwareLength - kPhase12HardwareLength;

using Refusal = ConversionRefusal;

// A stretch [start, end) of the old image that one piece of the codeplug occupies.
struct Piece {
    uint32_t start;
    uint32_t end;
};

class OldImageParser {
public:
    OldImageParser(std::span<const uint8_t> read, uint16_t hardwareLength, ConversionModel& model)
        : m_read(read), m_base(hardwareLength), m_model(model)
    {
    }

    Refusal Parse()
    {
        if (m_read.size() < uint32_t{m_base} + kHeaderSize) return Refusal::HeaderOutsideRead;
        std::copy_n(m_read.begin() + m_base, kHeaderByteCount, m_model.header.begin());
        const uint16_t trailerAddress = ReadBigEndian16(m_read, m_base + kTrailerAddressOffset);
        const uint16_t directoryAddress = ReadBigEndian16(m_read, m_base + kDirectoryAddressOffset);
        m_pieces.push_back({0, m_base}); // the hardware codeplug
        m_pieces.push_back({m_base, uint32_t{m_base} + kHeaderSize});

        if (Refusal r = ParseDirectory(directoryAddress); r != Refusal::None) return r;
        if (Refusal r = ParseBlocks(); r != Refusal::None) return r;
        if (Refusal r = ParseTrailer(trailerAddress); r != Refusal::None) return r;
        return CheckNoOverlap();
    }

private:
    bool Inside(uint32_t start, uint32_t size) const { return start + size <= m_read.size(); }

    Refusal ParseDirectory(uint16_t at)
    {
        if (!Inside(at, kDirectorySize)) return Refusal::DirectoryOutsideRead;
        if (ReadBigEndian16(m_read, at) != kDirectoryEntries) return Refusal::DirectoryCountWrong;
        for (int n = 1; n <= kDirectoryEntries; ++n)
            m_model.entries[n] = ReadBigEndian16(m_read, at + 2u * n);
        m_pieces.push_back({at, uint32_t{at} + kDirectorySize});
        return Refusal::None;
    }

    Refusal ParseBlocks()
    {
        // The first-block patch and the codeplug marker rely on block 1 sitting
        // right after the header with one record, in the old layout and the new.
        if (m_model.entries[1] != m_base + kHeaderSize) return Refusal::FirstBlockMisplaced;
        for (int i = 0; i < kSlotCount; ++i) {
            const uint16_t address = m_model.entries[kBlockSlots[i].entry];
            if (kBlockSlots[i].optional && address == 0) continue;
            if (Refusal r = ParseBlock(address, m_model.slots[i]); r != Refusal::None) return r;
        }
        if (m_model.Slot(1).count != 1) return Refusal::FirstBlockNotOneRecord;
        const uint8_t* version = m_model.Slot(1).Byte(0, kRecordLayoutVersion);
        m_model.layoutVersion = version != nullptr ? *version : 0;
        return Refusal::None;
    }

    Refusal ParseBlock(uint16_t at, SlotModel& slot)
    {
        if (!Inside(at, kBlockRecordsOffset)) return Refusal::BlockOutsideRead;
        const uint16_t recordLength = ReadBigEndian16(m_read, at + kBlockRecordLengthOffset);
        if (recordLength > kMaxRecordLength) return Refusal::RecordTooLong;
        const uint8_t count = m_read[at + kBlockCountOffset];
        const uint32_t size = BlockSize(recordLength, count);
        if (!Inside(at, size)) return Refusal::BlockOutsideRead;
        const auto records = m_read.subspan(at + kBlockRecordsOffset, size - kBlockOverhead);
        slot.present = true;
        slot.parsed = true;
        slot.identifier = m_read[at + kBlockIdOffset];
        slot.recordLength = recordLength;
        slot.count = count;
        slot.records.assign(records.begin(), records.end());
        slot.checksum = m_read[at + size - 1];
        m_pieces.push_back({at, at + size});
        return Refusal::None;
    }

    Refusal ParseTrailer(uint16_t at)
    {
        if (!Inside(at, kTrailerLength)) return Refusal::TrailerOutsideRead;
        m_model.trailerLength = ReadBigEndian16(m_read, at);
        if (m_model.trailerLength != kTrailerLength) return Refusal::TrailerLengthWrong;
        m_pieces.push_back({at, uint32_t{at} + kTrailerLength});
        return Refusal::None;
    }

    Refusal CheckNoOverlap()
    {
        std::sort(m_pieces.begin(), m_pieces.end(), [](const Piece& a, const Piece& b) { return a.start < b.start; });
        for (size_t i = 1; i < m_pieces.size(); ++i)
            if (m_pieces[i].start < m_pieces[i - 1].end) return Refusal::PiecesOverlap;
        return Refusal::None;
    }

    std::span<const uint8_t> m_read;
    uint16_t m_base;
    ConversionModel& m_model;
    std::vector<Piece> m_pieces;
};

// New block addresses, in slot order from block 1 on; sized in 32 bits so that
// nothing wraps before the result is checked against the image.
struct NewLayout {
    uint32_t trailerAddress = 0;
    uint32_t directoryAddress = 0;
    uint32_t end = 0;
};

NewLayout AssignAddresses(ConversionModel& m, bool phase3)
{
    uint32_t next = m.entries[1] + (phase3 ? 0u : kPhase12Shift);
    for (int i = 0; i < kSlotCount; ++i) {
        const SlotModel& slot = m.slots[i];
        if (!slot.present) continue; // only slot 17 can be absent here; its entry stays 0
        m.entries[kBlockSlots[i].entry] = static_cast<uint16_t>(next); // checked against the image before use
        next += slot.Size();
    }
    NewLayout layout;
    layout.trailerAddress = next;
    layout.directoryAddress = next + m.trailerLength;
    layout.end = layout.directoryAddress + kDirectorySize;
    return layout;
}

class ImageWriter {
public:
    ImageWriter(std::span<uint8_t> image, size_t at) : m_image(image), m_at(at) {}
    void Byte(uint8_t b) { m_image[m_at++] = b; }
    void Word(uint16_t w)
    {
        Byte(static_cast<uint8_t>(w >> 8));
        Byte(static_cast<uint8_t>(w & 0xFF));
    }
    void Bytes(std::span<const uint8_t> bytes)
    {
        std::copy(bytes.begin(), bytes.end(), m_image.begin() + m_at);
        m_at += bytes.size();
    }
    size_t Position() const { return m_at; }

private:
    std::span<uint8_t> m_image;
    size_t m_at;
};

void WriteNewLayout(std::span<uint8_t> image, const ConversionModel& m, const NewLayout& layout)
{
    ImageWriter out(image, kNewHardwareLength);
    out.Bytes(m.header);
    out.Word(static_cast<uint16_t>(layout.directoryAddress + 2 * kDirectoryEntries - kNewHardwareLength));
    out.Word(static_cast<uint16_t>(layout.trailerAddress));
    out.Word(static_cast<uint16_t>(layout.directoryAddress));
    for (const SlotModel& slot : m.slots) {
        if (!slot.present) continue;
        out.Byte(slot.identifier);
        out.Word(slot.recordLength);
        out.Byte(slot.count);
        out.Bytes(slot.records);
        out.Byte(slot.recompute ? slot.ComputeChecksum() : slot.checksum);
    }
    out.Word(m.trailerLength);
    out.Bytes(m.trailerData);
    out.Byte(m.trailerChecksum);

    const size_t directoryStart = out.Position();
    out.Word(kDirectoryEntries);
    for (int n = 1; n <= kDirectoryEntries; ++n)
        out.Word(m.entries[n]);
    out.Byte(BlockChecksum(image.subspan(directoryStart, out.Position() - directoryStart)));
}

} // namespace

ConversionOutcome ConvertApplicationCodeplugChecked(std::span<uint8_t> image, bool phase3, size_t bytesRead)
{
    if (image.size() < kNewHardwareLength + kHeaderSize) return {0, Refusal::ImageTooShort, {}};
    const std::span<const uint8_t> read = std::span<const uint8_t>(image).first(std::min(bytesRead, image.size()));

    // One model per conversion, on the heap; its records hold no more than was read.
    auto model = std::make_unique<ConversionModel>();
    OldImageParser parser(read, HardwareLength(phase3), *model);
    if (Refusal r = parser.Parse(); r != Refusal::None) return {0, r, {}};

    ApplyConversionEdits(*model);
    // A block carried over unedited keeps the checksum read, right or wrong:
    // the new firmware then sees the damage as the old one did. The operator
    // is told which blocks they are.
    std::vector<int> damaged;
    for (int i = 0; i < kSlotCount; ++i) {
        const SlotModel& slot = model->slots[i];
        if (slot.present && !slot.recompute && slot.checksum != slot.ComputeChecksum())
            damaged.push_back(kBlockSlots[i].entry);
    }

    const NewLayout layout = AssignAddresses(*model, phase3);
    if (layout.end > std::min(image.size(), kImageSize)) return {0, Refusal::ResultTooLarge, {}};

    WriteNewLayout(image, *model, layout);
    return {static_cast<uint16_t>(layout.end), Refusal::None, std::move(damaged)};
}

const char* ConversionRefusalText(ConversionRefusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        break;
    case Refusal::ImageTooShort:
        return "the image is too short for the new layout";
    case Refusal::HeaderOutsideRead:
        return "its header lies beyond the bytes read from the radio";
    case Refusal::DirectoryOutsideRead:
        return "its directory lies beyond the bytes read from the radio";
    case Refusal::DirectoryCountWrong:
        return "its directory does not hold 32 entries";
    case Refusal::FirstBlockMisplaced:
        return "its first block does not follow the header";
    case Refusal::FirstBlockNotOneRecord:
        return "its first block does not hold exactly one record";
    case Refusal::BlockOutsideRead:
        return "a block reaches beyond the bytes read from the radio";
    case Refusal::RecordTooLong:
        return "a block has records longer than 300 bytes";
    case Refusal::TrailerOutsideRead:
        return "its trailer lies beyond the bytes read from the radio";
    case Refusal::TrailerLengthWrong:
        return "its trailer length is not 7";
    case Refusal::PiecesOverlap:
        return "its header, blocks, trailer and directory overlap";
    case Refusal::ResultTooLarge:
        return "the converted codeplug would be larger than 20,000 bytes";
    }
    return "";
}

uint16_t ConvertApplicationCodeplug(std::span<uint8_t> image, bool phase3, size_t bytesRead)
{
    return ConvertApplicationCodeplugChecked(image, phase3, bytesRead).imageLength;
}

} // namespace vantrel
