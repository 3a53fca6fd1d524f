#include "images/SRecordWriter.h"

#include <algorithm>

namespace vantrel {
namespace {

void AppendHexByte(std::string& out, uint8_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[value >> 4];
    out += kDigits[value & 0x0F];
}

}  // namespace

void AppendSRecord(std::string& out, char type, uint32_t address, std::span<const uint8_t> data, const char* lineEnd)
{
    const int addressBytes = (type == '1' || type == '9') ? 2 : (type == '3' || type == '7') ? 4 : 3;
    const auto count = static_cast<uint8_t>(addressBytes + data.size() + 1);
    out += 'S';
    out += type;
    AppendHexByte(out, count);
    unsigned sum = count;
    for (int i = addressBytes - 1; i >= 0; --i) {
        const auto byte = static_cast<uint8_t>(address >> (8 * i));
        AppendHexByte(out, byte);
        sum += byte;
    }
    for (const uint8_t byte : data) {
        AppendHexByte(out, byte);
        sum += byte;
    }
    AppendHexByte(out, static_cast<uint8_t>(~sum));
    out += lineEnd;
}

void AppendSRecordData(std::string& out, uint32_t address, std::span<const uint8_t> data, size_t recordSize,
                       const char* lineEnd)
{
    for (size_t offset = 0; offset < data.size(); offset += recordSize) {
        const size_t n = std::min(recordSize, data.size() - offset);
        AppendSRecord(out, '2', address + static_cast<uint32_t>(offset), data.subspan(offset, n), lineEnd);
    }
}

}  // namespace vantrel
