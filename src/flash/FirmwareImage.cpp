#include "flash/FirmwareImage.h"

#include "link/RadioCommands.h"

#include <algorithm>
#include <utility>

namespace vantrel {
namespace {

constexpr uint32_t kAddressSpaceEnd = 0x1000000;
constexpr size_t kCountSize = 4;
constexpr size_t kRecordHeaderSize = 5;

constexpr uint32_t kIdCountMismatch = 20186;
constexpr uint32_t kIdRecordTooLong = 20187;
constexpr uint32_t kIdAddressOutOfRange = 20188;
constexpr uint32_t kIdNoData = 20211;
constexpr uint32_t kIdOverlap = 20212;

uint32_t GetLe32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutLe32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

} // namespace

FirmwareFileError CheckFirmwareRecord(uint32_t address, uint32_t length)
{
    if (length > kMaxWriteMemoryCount) return FirmwareFileError::RecordTooLong;
    const uint32_t radioAddress = address | kFlashAddressBit;
    if (radioAddress >= kAddressSpaceEnd || length > kAddressSpaceEnd - radioAddress)
        return FirmwareFileError::AddressOutOfRange;
    return FirmwareFileError::None;
}

FirmwareFileError AddFirmwareRecord(FirmwareImage& image, uint32_t address, const uint8_t* data, uint32_t length)
{
    if (const FirmwareFileError error = CheckFirmwareRecord(address, length); error != FirmwareFileError::None)
        return error;
    image.records.push_back({address, static_cast<uint32_t>(image.data.size()), length});
    image.data.insert(image.data.end(), data, data + length);
    return FirmwareFileError::None;
}

FirmwareFileError ParseFirmwareRecordFile(const uint8_t* bytes, size_t size, FirmwareImage& image)
{
    image = {};
    if (bytes == nullptr || size < kCountSize) return FirmwareFileError::CountMismatch;
    const uint32_t count = GetLe32(bytes);
    // Every record takes at least its header, so a count the file cannot hold
    // is refused before anything is reserved for it.
    if (count > (size - kCountSize) / kRecordHeaderSize) return FirmwareFileError::CountMismatch;
    image.records.reserve(count);

    FirmwareFileError error = FirmwareFileError::None;
    size_t pos = kCountSize;
    for (uint32_t i = 0; i < count && error == FirmwareFileError::None; ++i) {
        if (size - pos < kRecordHeaderSize) {
            error = FirmwareFileError::CountMismatch;
            break;
        }
        const uint32_t length = bytes[pos];
        const uint32_t address = GetLe32(bytes + pos + 1);
        pos += kRecordHeaderSize;
        if (length > kMaxWriteMemoryCount) {
            error = FirmwareFileError::RecordTooLong;
        } else if (size - pos < length) {
            error = FirmwareFileError::CountMismatch;
        } else {
            error = AddFirmwareRecord(image, address, bytes + pos, length);
            pos += length;
        }
    }
    if (error == FirmwareFileError::None && pos != size) error = FirmwareFileError::CountMismatch;
    if (error != FirmwareFileError::None) image = {};
    return error;
}

FirmwareFileError CheckFirmwareForFlashing(const FirmwareImage& image, uint32_t& overlapAddress)
{
    // [start, end) in radio addresses, records without data left out.
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    spans.reserve(image.records.size());
    for (const FirmwareRecord& record : image.records) {
        if (record.length == 0) continue;
        const uint32_t start = image.RadioAddress(record);
        spans.emplace_back(start, start + record.length);
    }
    if (spans.empty()) return FirmwareFileError::NoData;
    std::sort(spans.begin(), spans.end());
    uint32_t end = spans.front().second;
    for (size_t i = 1; i < spans.size(); ++i) {
        // Sorted by start: the first span that begins before the furthest end
        // so far begins the lowest address written twice.
        if (spans[i].first < end) {
            overlapAddress = spans[i].first;
            return FirmwareFileError::Overlap;
        }
        end = std::max(end, spans[i].second);
    }
    return FirmwareFileError::None;
}

std::vector<uint8_t> EncodeFirmwareRecordFile(const FirmwareImage& image)
{
    std::vector<uint8_t> out;
    PutLe32(out, static_cast<uint32_t>(image.records.size()));
    for (const FirmwareRecord& record : image.records) {
        out.push_back(static_cast<uint8_t>(record.length));
        PutLe32(out, record.address);
        const uint8_t* data = image.Data(record);
        out.insert(out.end(), data, data + record.length);
    }
    return out;
}

uint32_t FirmwareFileMessage(FirmwareFileError error)
{
    switch (error) {
    case FirmwareFileError::CountMismatch:
        return kIdCountMismatch;
    case FirmwareFileError::RecordTooLong:
        return kIdRecordTooLong;
    case FirmwareFileError::AddressOutOfRange:
        return kIdAddressOutOfRange;
    case FirmwareFileError::NoData:
        return kIdNoData;
    case FirmwareFileError::Overlap:
        return kIdOverlap;
    case FirmwareFileError::None:
        break;
    }
    return 0;
}

} // namespace vantrel
