#pragma once

// The working model of one application codeplug conversion: the old codeplug
// parsed into slots, edited, then laid out anew. Records are held in vectors
// sized to what was read (never more than the image), not at full capacity.

#include "codeplug/CodeplugLayout.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vantrel {

struct SlotModel {
    bool present = false;   // written into the new layout
    bool parsed = false;    // read from the old image
    bool recompute = false; // checksum recomputed; else the checksum read is kept
    uint8_t identifier = 0;
    uint16_t recordLength = 0;
    uint8_t count = 0;
    std::vector<uint8_t> records; // count records of recordLength bytes
    uint8_t checksum = 0;

    uint32_t Size() const { return BlockSize(recordLength, count); }
    uint8_t ComputeChecksum() const;

    // Gives every record the new length: a record keeps its first bytes, and
    // bytes it gains are zero.
    void SetRecordLength(uint16_t length);
    // Replaces the block by a fresh one with one record; bytes not listed are zero.
    void Replace(uint8_t id, uint16_t length, std::initializer_list<uint8_t> firstBytes);
    // A fresh block without records, standing in for an absent one.
    void MakeEmpty(uint8_t id, uint16_t length);

    // Record access bounded by the block's shape: a byte outside it is not there,
    // so reading gives nullptr and writing does nothing.
    uint8_t* Byte(int record, int index);
    void Set(int record, int index, uint8_t value);
    void Fill(int record, int first, int last, uint8_t value);
    // Limits the big-endian pair at index, index + 1 to 600.
    void LimitPair(int record, int index);
};

struct ConversionModel {
    std::array<uint8_t, kHeaderByteCount> header{};
    uint16_t trailerLength = 0;
    std::array<uint8_t, kTrailerDataCount> trailerData{};
    uint8_t trailerChecksum = 0;
    std::array<uint16_t, kDirectoryEntries + 1> entries{}; // 1-based
    std::array<SlotModel, kSlotCount> slots;
    int layoutVersion = 0;

    SlotModel& Slot(int number) { return slots[number - 1]; } // 1-based, as the slot table
};

// Edits the parsed model for the new firmware: reshaped blocks, new defaults,
// clamped values, the trailer. Marks which checksums are recomputed.
void ApplyConversionEdits(ConversionModel& model);

} // namespace vantrel
