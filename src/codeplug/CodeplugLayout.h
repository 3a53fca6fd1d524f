#pragma once

// The radio's EEPROM image: byte n is EEPROM address n, every multi-byte number
// is big-endian. A hardware codeplug (length word, seven checksummed blocks)
// comes first; the application codeplug (header, blocks, trailer, directory)
// follows it at address L, the hardware codeplug length.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel {

// ---- The image as a whole ----
constexpr size_t kImageSize = 20000; // the upgrade's image buffer
constexpr uint16_t kTagByteAddress = 0x3FF0;

// ---- Hardware codeplug ----
constexpr uint16_t kHardwareLengthAddress = 0; // 2-byte length word
constexpr uint16_t kPhase12HardwareLength = 512;
constexpr uint16_t kPhase3HardwareLength = 640;
constexpr uint16_t kFirstHardwareBlockAddress = 4;

// One hardware block; its last byte is the checksum over the others.
struct HardwareBlock {
    uint16_t start;
    uint16_t length; // checksum byte included
    constexpr uint16_t ChecksumAddress() const { return static_cast<uint16_t>(start + length - 1); }
    constexpr uint16_t End() const { return static_cast<uint16_t>(start + length); }
};

constexpr int kHardwareBlockCount = 7;
using HardwareBlockTable = std::array<HardwareBlock, kHardwareBlockCount>;

constexpr HardwareBlockTable kPhase3HardwareBlocks = {
    {{4, 17}, {21, 102}, {123, 106}, {229, 81}, {310, 198}, {508, 37}, {545, 95}}};
constexpr HardwareBlockTable kPhase12HardwareBlocks = {
    {{4, 17}, {21, 96}, {117, 88}, {205, 80}, {285, 153}, {438, 37}, {475, 37}}};

constexpr const HardwareBlockTable& HardwareBlocks(bool phase3)
{
    return phase3 ? kPhase3HardwareBlocks : kPhase12HardwareBlocks;
}
constexpr uint16_t HardwareLength(bool phase3)
{
    return phase3 ? kPhase3HardwareLength : kPhase12HardwareLength;
}

// ---- Tuning block (hardware block 2) ----
constexpr int kTuningBlockIndex = 1; // index into the hardware block tables
constexpr uint16_t kTuningBlockStart = 21;
constexpr uint16_t kTuningLengthAddress = 22; // N: the data run is 24 .. 24 + N inclusive
constexpr uint16_t kTuningDataAddress = 24;
constexpr uint8_t kPhase12MaxTuningLength = 91; // the run ends just before the checksum at 116
constexpr uint8_t kPhase3MaxTuningLength = 97;  // the run ends just before the checksum at 122
constexpr uint16_t kPhase12TuningChecksumAddress = 116;
constexpr uint16_t kPhase3TuningChecksumAddress = 122;
constexpr uint16_t kTuningColumnPatchAddress = 58; // four bytes, set for one variant column
constexpr uint16_t kTuningAdjustAddress = 112;     // raised per variant column
// A Phase 1/2 run gains six zero bytes at run positions 41 to 46 in the Phase 3 layout.
constexpr uint8_t kTuningGapFirst = 41;
constexpr uint8_t kTuningGapLast = 46;

constexpr uint8_t MaxTuningLength(bool phase3)
{
    return phase3 ? kPhase3MaxTuningLength : kPhase12MaxTuningLength;
}

// ---- Application header, at L ----
constexpr uint16_t kHeaderByteCount = 5; // carried through a conversion unchanged
constexpr uint16_t kAppLengthOffset = 5; // A: the image ends at L + A + 3
constexpr uint16_t kTrailerAddressOffset = 7;
constexpr uint16_t kDirectoryAddressOffset = 9;
constexpr uint16_t kHeaderSize = 11;    // block 1 follows directly
constexpr uint16_t kAppLengthSlack = 3; // L + A + 3 is the address after the directory

// ---- Application block ----
constexpr uint16_t kBlockIdOffset = 0;
constexpr uint16_t kBlockRecordLengthOffset = 1; // 2 bytes
constexpr uint16_t kBlockCountOffset = 3;
constexpr uint16_t kBlockRecordsOffset = 4;
constexpr uint32_t kBlockOverhead = 5; // identifier, record length, count, checksum
constexpr uint16_t kMaxRecordLength = 300;
constexpr uint8_t kFreshBlockIdentifier = 129; // what the new firmware writes for a fresh block

constexpr uint32_t BlockSize(uint32_t recordLength, uint32_t count)
{
    return recordLength * count + kBlockOverhead;
}

// ---- Trailer ----
constexpr uint16_t kTrailerLength = 7; // T: length word, 4 data bytes, checksum
constexpr uint16_t kTrailerDataCount = 4;

// ---- Directory ----
constexpr uint16_t kDirectoryEntries = 32;
constexpr uint16_t kDirectorySize = 2 + 2 * kDirectoryEntries + 1; // count, entries, checksum

// ---- Block slots: the blocks a conversion knows, in the order the new layout stores them ----
struct BlockSlot {
    uint8_t entry; // directory entry (1..32) that addresses the block
    bool optional; // only present when its entry is not 0
};
constexpr int kSlotCount = 24;
constexpr std::array<BlockSlot, kSlotCount> kBlockSlots = {{
    {1, false}, {2, false},  {3, false},  {4, true},   {5, true},   {6, true},   {7, true},   {8, false},
    {9, false}, {10, false}, {11, false}, {12, false}, {13, true},  {14, false}, {15, false}, {16, false},
    {17, true}, {18, false}, {21, false}, {22, false}, {23, false}, {24, true},  {25, true},  {32, false},
}};
// Slot numbers (1-based) of the slots with special rules.
constexpr int kSlotOfEntry17 = 17;
// Entries 19, 20 and 26..31 belong to no slot: their values are carried over unchanged.

// ---- Block 1 (one record) ----
constexpr uint16_t kOldBlock1RecordLength = 65;
constexpr uint16_t kNewBlock1RecordLength = 67;
constexpr uint16_t kPhase12Block1Address = 523;
constexpr uint16_t kPhase3Block1Address = 651; // old Phase 3 and new layout alike
constexpr uint16_t kNewBlock1Address = 651;
constexpr uint16_t kNewBlock1ChecksumAddress = 722;

// Record byte numbers of block 1.
constexpr uint16_t kRecordSerialNumber = 0; // 10 bytes
constexpr uint16_t kSerialNumberSize = 10;
constexpr uint16_t kRecordConversionTest = 19;
constexpr uint16_t kRecordLayoutVersion = 26;
constexpr uint16_t kRecordPatchPair = 27; // renewed with byte 26 by the first-block patch
constexpr uint16_t kRecordCodeplugMarker = 28;
constexpr uint16_t kRecordPatchRun = 43; // 10 bytes renewed by the first-block patch
constexpr uint16_t kPatchRunSize = 10;
constexpr uint16_t kRecordRegionalId = 55;
constexpr uint16_t kRecordEsn = 60; // 5 bytes
constexpr uint16_t kEsnSize = 5;
constexpr uint16_t kRecordNewLayoutZeros = 65; // 65 and 66, new layout only

constexpr uint16_t Block1Address(bool phase3)
{
    return phase3 ? kPhase3Block1Address : kPhase12Block1Address;
}
constexpr uint16_t Block1RecordAddress(bool phase3, uint16_t recordByte)
{
    return static_cast<uint16_t>(Block1Address(phase3) + kBlockRecordsOffset + recordByte);
}

constexpr uint16_t kPhase12MarkerAddress = Block1RecordAddress(false, kRecordCodeplugMarker); // 555
constexpr uint16_t kPhase3MarkerAddress = Block1RecordAddress(true, kRecordCodeplugMarker);   // 683
static_assert(kPhase12MarkerAddress == 555 && kPhase3MarkerAddress == 683);
static_assert(kNewBlock1ChecksumAddress == kNewBlock1Address + kBlockRecordsOffset + kNewBlock1RecordLength);

// ---- Model EEPROM data file ----
// Bytes 0..639 are the model's Phase 3 hardware codeplug template, 651..722 its new block 1.
constexpr size_t kEepromDataFileMinSize = 723;
constexpr uint16_t kTemplateEnd = kPhase3HardwareLength;

inline bool IsEepromDataFileLongEnough(std::span<const uint8_t> data)
{
    return data.size() >= kEepromDataFileMinSize;
}

// ---- Variant fix-ups of the byte at 112, by variant column ----
constexpr int kVariantColumns = 9;
constexpr std::array<uint8_t, kVariantColumns> kVariantThreshold = {0xFF, 0xFF, 0xFF, 0xBE, 0xFF,
                                                                    0xFF, 0xBE, 0xBE, 0xFF};
constexpr std::array<uint8_t, kVariantColumns> kVariantAddend = {0x00, 0x00, 0x00, 0x25, 0x00, 0x00, 0x25, 0x25, 0x00};
constexpr int kColumnWithTuningPatch = 6;
constexpr std::array<uint8_t, 4> kColumnTuningPatch = {0x60, 0x6F, 0x6F, 0x6F};

// ---- Big-endian helpers ----
inline uint16_t ReadBigEndian16(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}
inline void WriteBigEndian16(std::span<uint8_t> bytes, size_t at, uint16_t value)
{
    bytes[at] = static_cast<uint8_t>(value >> 8);
    bytes[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

} // namespace vantrel
