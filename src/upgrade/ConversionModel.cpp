#include "upgrade/ConversionModel.h"

#include "codeplug/BlockChecksum.h"

#include <algorithm>

namespace vantrel {

uint8_t SlotModel::ComputeChecksum() const
{
    const uint8_t shape[4] = {identifier, static_cast<uint8_t>(recordLength >> 8),
                              static_cast<uint8_t>(recordLength & 0xFF), count};
    return ChecksumFromSum(AddToByteSum(AddToByteSum(0, shape), records));
}

void SlotModel::SetRecordLength(uint16_t length)
{
    std::vector<uint8_t> reshaped(static_cast<size_t>(length) * count, 0);
    const size_t kept = std::min(length, recordLength);
    for (size_t k = 0; k < count; ++k)
        std::copy_n(records.begin() + k * recordLength, kept, reshaped.begin() + k * length);
    records = std::move(reshaped);
    recordLength = length;
}

void SlotModel::Replace(uint8_t id, uint16_t length, std::initializer_list<uint8_t> firstBytes)
{
    present = true;
    recompute = true;
    identifier = id;
    recordLength = length;
    count = 1;
    records.assign(length, 0);
    std::copy_n(firstBytes.begin(), std::min<size_t>(firstBytes.size(), length), records.begin());
}

void SlotModel::MakeEmpty(uint8_t id, uint16_t length)
{
    present = true;
    recompute = true;
    identifier = id;
    recordLength = length;
    count = 0;
    records.clear();
}

uint8_t* SlotModel::Byte(int record, int index)
{
    if (record < 0 || record >= count || index < 0 || index >= recordLength) return nullptr;
    return &records[static_cast<size_t>(record) * recordLength + index];
}

void SlotModel::Set(int record, int index, uint8_t value)
{
    if (uint8_t* b = Byte(record, index)) *b = value;
}

void SlotModel::Fill(int record, int first, int last, uint8_t value)
{
    for (int i = first; i <= last; ++i)
        Set(record, i, value);
}

void SlotModel::LimitPair(int record, int index)
{
    uint8_t* high = Byte(record, index);
    uint8_t* low = Byte(record, index + 1);
    if (high == nullptr || low == nullptr) return;
    constexpr int kLimit = 600;
    if (((*high << 8) | *low) > kLimit) {
        *high = kLimit >> 8;
        *low = kLimit & 0xFF;
    }
}

} // namespace vantrel
