#include "sim/CodeplugGenerator.h"

#include "codeplug/BlockChecksum.h"
#include "codeplug/CodeplugLayout.h"

#include <algorithm>

namespace vantrel {
namespace {

// Layout version byte that the sample data gives the new layout's block 1.
constexpr int kSampleNewLayoutVersion = 4;

// Small deterministic generator (xorshift32): the same seed gives the same radio.
class Bytes {
public:
    explicit Bytes(uint32_t seed) : m_state(seed * 2654435761u + 0x9E3779B9u) {}
    uint32_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    uint8_t Byte() { return static_cast<uint8_t>(Next() >> 24); }
    uint32_t Below(uint32_t limit) { return Next() % limit; }
    void Fill(std::span<uint8_t> out)
    {
        for (uint8_t& b : out)
            b = Byte();
    }

private:
    uint32_t m_state;
};

GeneratedBlock MakeBlock(Bytes& random, uint8_t entry, uint8_t identifier, uint16_t recordLength, uint8_t count)
{
    GeneratedBlock block;
    block.entry = entry;
    block.identifier = identifier;
    block.recordLength = recordLength;
    block.count = count;
    block.records.resize(static_cast<size_t>(recordLength) * count);
    random.Fill(block.records);
    return block;
}

void PutPair(uint8_t* record, int at, unsigned value)
{
    record[at] = static_cast<uint8_t>(value >> 8);
    record[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

// Block 1: the radio's identity.
GeneratedBlock MakeFirstBlock(Bytes& random, uint16_t recordLength, int version, uint8_t testByte, uint8_t marker)
{
    GeneratedBlock block = MakeBlock(random, 1, 1, recordLength, 1);
    uint8_t* r = block.Record(0);
    for (int i = 0; i < kSerialNumberSize; ++i)
        r[kRecordSerialNumber + i] = static_cast<uint8_t>('0' + random.Below(10));
    r[kRecordConversionTest] = testByte;
    r[kRecordLayoutVersion] = static_cast<uint8_t>(version);
    r[kRecordCodeplugMarker] = marker;
    r[kRecordRegionalId] = static_cast<uint8_t>(1 + random.Below(8));
    if (recordLength > kRecordNewLayoutZeros + 1) {
        r[kRecordNewLayoutZeros] = 0;
        r[kRecordNewLayoutZeros + 1] = 0;
    }
    return block;
}

// Channel-like blocks: limits stored as big-endian pairs, a few above 600.
void FillPairs(Bytes& random, GeneratedBlock& block, std::initializer_list<int> offsets)
{
    for (int k = 0; k < block.count; ++k)
        for (int at : offsets)
            if (at + 1 < block.recordLength) PutPair(block.Record(k), at, random.Below(700));
}

void FillSmallValues(Bytes& random, GeneratedBlock& block, int byte, uint32_t limit)
{
    for (int k = 0; k < block.count; ++k)
        if (byte < block.recordLength) block.Record(k)[byte] = static_cast<uint8_t>(random.Below(limit));
}

// The blocks the old and the new layout share, in slot order from slot 8 to 21.
void AddMiddleBlocks(Bytes& random, CodeplugDescription& d)
{
    GeneratedBlock channels = MakeBlock(random, 8, 8, 24, 16);
    FillPairs(random, channels, {5, 9, 13, 15, 19, 21});
    d.blocks.push_back(std::move(channels));
    d.blocks.push_back(MakeBlock(random, 9, 9, 32, 16));
    d.blocks.push_back(MakeBlock(random, 10, 10, 16, 8));
    d.blocks.push_back(MakeBlock(random, 11, 11, 24, 4));
    d.blocks.push_back(MakeBlock(random, 12, 12, 8, 10));
}

void AddBlocks14To23(Bytes& random, CodeplugDescription& d, bool withEntry17)
{
    GeneratedBlock levels = MakeBlock(random, 14, 14, 4, 16);
    FillSmallValues(random, levels, 2, 80);
    d.blocks.push_back(std::move(levels));
    d.blocks.push_back(MakeBlock(random, 15, 15, 8, 16));
    d.blocks.push_back(MakeBlock(random, 16, 16, 20, 8));
    if (withEntry17) d.blocks.push_back(MakeBlock(random, 17, 17, 10, 4));
    GeneratedBlock limits = MakeBlock(random, 18, 18, 6, 8);
    FillPairs(random, limits, {0, 2, 4});
    d.blocks.push_back(std::move(limits));
    GeneratedBlock keys = MakeBlock(random, 21, 21, 8, 1);
    const uint8_t remapped[4] = {5, 33, 9, 41};
    std::copy(remapped, remapped + 4, keys.Record(0));
    d.blocks.push_back(std::move(keys));
}

std::vector<uint8_t> MakeHardware(bool phase3, Bytes& random, int tuningLength)
{
    const int n = tuningLength < 0 ? MaxTuningLength(phase3) : tuningLength;
    std::vector<uint8_t> hw(HardwareLength(phase3));
    random.Fill(hw);
    WriteBigEndian16(hw, kHardwareLengthAddress, HardwareLength(phase3));
    hw[2] = 0;
    hw[3] = 0;
    hw[kTuningLengthAddress] = static_cast<uint8_t>(n);
    RefreshHardwareChecksums(hw);
    return hw;
}

} // namespace

GeneratedBlock* CodeplugDescription::Block(int entry)
{
    for (GeneratedBlock& block : blocks)
        if (block.entry == entry) return &block;
    return nullptr;
}

void CodeplugDescription::RemoveBlock(int entry)
{
    std::erase_if(blocks, [entry](const GeneratedBlock& b) { return b.entry == entry; });
}

void RefreshHardwareChecksums(std::span<uint8_t> hardware)
{
    const bool phase3 = hardware.size() >= kPhase3HardwareLength;
    for (const HardwareBlock& block : HardwareBlocks(phase3))
        hardware[block.ChecksumAddress()] = BlockChecksum(hardware.subspan(block.start, block.length - 1));
}

std::vector<uint8_t> GenerateHardwareCodeplug(bool phase3, uint32_t seed, int tuningLength)
{
    Bytes random(seed);
    return MakeHardware(phase3, random, tuningLength);
}

std::vector<uint8_t> BuildCodeplugImage(const CodeplugDescription& d)
{
    std::vector<uint8_t> image = d.hardware;
    const uint32_t base = static_cast<uint32_t>(image.size());
    std::array<uint16_t, kDirectoryEntries + 1> entries = d.unslottedEntries;

    image.resize(base + kHeaderSize);
    std::copy(d.header.begin(), d.header.end(), image.begin() + base);
    for (const GeneratedBlock& block : d.blocks) {
        entries[block.entry] = static_cast<uint16_t>(image.size());
        const size_t at = image.size();
        image.push_back(block.identifier);
        image.push_back(static_cast<uint8_t>(block.recordLength >> 8));
        image.push_back(static_cast<uint8_t>(block.recordLength & 0xFF));
        image.push_back(block.count);
        image.insert(image.end(), block.records.begin(), block.records.end());
        image.push_back(BlockChecksum(std::span<const uint8_t>(image).subspan(at)));
    }

    const size_t trailer = image.size();
    image.push_back(0);
    image.push_back(kTrailerLength);
    image.insert(image.end(), d.trailerData.begin(), d.trailerData.end());
    image.push_back(BlockChecksum(std::span<const uint8_t>(image).subspan(trailer)));

    const size_t directory = image.size();
    image.push_back(0);
    image.push_back(kDirectoryEntries);
    for (int n = 1; n <= kDirectoryEntries; ++n) {
        image.push_back(static_cast<uint8_t>(entries[n] >> 8));
        image.push_back(static_cast<uint8_t>(entries[n] & 0xFF));
    }
    image.push_back(BlockChecksum(std::span<const uint8_t>(image).subspan(directory)));

    const auto appLength = static_cast<uint16_t>(image.size() - kAppLengthSlack - base);
    WriteBigEndian16(image, base + kAppLengthOffset, appLength);
    WriteBigEndian16(image, base + kTrailerAddressOffset, static_cast<uint16_t>(trailer));
    WriteBigEndian16(image, base + kDirectoryAddressOffset, static_cast<uint16_t>(directory));
    return image;
}

CodeplugDescription DescribeOldCodeplug(const OldCodeplugOptions& o)
{
    Bytes random(o.seed);
    const bool v3 = o.layoutVersion == 3;
    CodeplugDescription d;
    d.hardware = MakeHardware(o.phase3, random, -1);
    random.Fill(d.header);

    d.blocks.push_back(MakeFirstBlock(random, kOldBlock1RecordLength, o.layoutVersion, o.conversionTestByte, o.marker));
    GeneratedBlock settings = MakeBlock(random, 2, 2, v3 ? 199 : 120, 1);
    settings.Record(0)[17] = 0;
    d.blocks.push_back(std::move(settings));
    GeneratedBlock display = MakeBlock(random, 3, 3, 16, 1);
    display.Record(0)[7] = static_cast<uint8_t>(40 + random.Below(60));
    d.blocks.push_back(std::move(display));
    if (o.withOptionalBlocks) {
        // Version 3 firmware already keeps these blocks in their new shape.
        d.blocks.push_back(MakeBlock(random, 4, v3 ? kFreshBlockIdentifier : 4, v3 ? 29 : 20, 1));
        d.blocks.push_back(MakeBlock(random, 5, v3 ? kFreshBlockIdentifier : 5, v3 ? 17 : 12, 1));
        d.blocks.push_back(MakeBlock(random, 6, v3 ? kFreshBlockIdentifier : 6, v3 ? 17 : 12, 1));
        d.blocks.push_back(MakeBlock(random, 7, v3 ? kFreshBlockIdentifier : 7, v3 ? 50 : 40, 1));
    }
    AddMiddleBlocks(random, d);
    if (o.withOptionalBlocks)
        d.blocks.push_back(MakeBlock(random, 13, v3 ? kFreshBlockIdentifier : 13, v3 ? 12 : 10, 1));
    AddBlocks14To23(random, d, o.withEntry17);
    d.blocks.push_back(MakeBlock(random, 22, 22, 13, 1));
    d.blocks.push_back(MakeBlock(random, 23, 23, 16, 4));
    if (v3) {
        d.blocks.push_back(MakeBlock(random, 24, kFreshBlockIdentifier, 17, 1));
        d.blocks.push_back(MakeBlock(random, 25, kFreshBlockIdentifier, 1, 1));
    }
    d.blocks.push_back(MakeBlock(random, 32, 32, v3 ? 296 : 40, 1));
    if (o.reverseOrder) std::reverse(d.blocks.begin() + 1, d.blocks.end());
    d.trailerData = {0xFF, 0xFF, static_cast<uint8_t>(o.withEntry17 ? 0xF3 : 0xF2), 0x01};
    return d;
}

std::vector<uint8_t> GenerateOldCodeplugImage(const OldCodeplugOptions& options)
{
    return BuildCodeplugImage(DescribeOldCodeplug(options));
}

CodeplugDescription DescribeNewCodeplug(const NewCodeplugOptions& o)
{
    Bytes random(o.seed);
    CodeplugDescription d;
    d.hardware = MakeHardware(true, random, -1);
    random.Fill(d.header);

    d.blocks.push_back(MakeFirstBlock(random, kNewBlock1RecordLength, kSampleNewLayoutVersion, 0x31, o.marker));
    d.blocks.push_back(MakeBlock(random, 2, 2, 199, 1));
    d.blocks.push_back(MakeBlock(random, 3, 3, 16, 1));
    d.blocks.push_back(MakeBlock(random, 4, kFreshBlockIdentifier, 29, 1));
    d.blocks.push_back(MakeBlock(random, 5, kFreshBlockIdentifier, 17, 1));
    d.blocks.push_back(MakeBlock(random, 6, kFreshBlockIdentifier, 17, 1));
    d.blocks.push_back(MakeBlock(random, 7, kFreshBlockIdentifier, 50, 1));
    AddMiddleBlocks(random, d);
    d.blocks.push_back(MakeBlock(random, 13, kFreshBlockIdentifier, 12, 1));
    AddBlocks14To23(random, d, o.withEntry17);
    d.blocks.push_back(MakeBlock(random, 22, 22, 15, 1));
    d.blocks.push_back(MakeBlock(random, 23, 23, 16, 4));
    d.blocks.push_back(MakeBlock(random, 24, kFreshBlockIdentifier, 17, 1));
    d.blocks.push_back(MakeBlock(random, 25, kFreshBlockIdentifier, 1, 1));
    d.blocks.push_back(MakeBlock(random, 32, 32, 296, 1));
    d.trailerData = {0xFF, 0xFF, static_cast<uint8_t>(o.withEntry17 ? 0xF3 : 0xF2), 0x81};
    return d;
}

std::vector<uint8_t> GenerateNewCodeplugImage(const NewCodeplugOptions& options)
{
    return BuildCodeplugImage(DescribeNewCodeplug(options));
}

std::vector<uint8_t> GenerateEepromDataFile(uint32_t seed, int tuningLength)
{
    Bytes random(seed);
    std::vector<uint8_t> data = MakeHardware(true, random, tuningLength);
    data.resize(kNewBlock1Address, 0);
    GeneratedBlock first = MakeFirstBlock(random, kNewBlock1RecordLength, kSampleNewLayoutVersion, 0x31, 0xC3);
    data.push_back(first.identifier);
    data.push_back(0);
    data.push_back(static_cast<uint8_t>(kNewBlock1RecordLength));
    data.push_back(1);
    data.insert(data.end(), first.records.begin(), first.records.end());
    data.push_back(BlockChecksum(std::span<const uint8_t>(data).subspan(kNewBlock1Address)));
    return data;
}

} // namespace vantrel
