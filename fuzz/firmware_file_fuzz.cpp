// Arbitrary bytes as a firmware record file: the reader must neither crash
// nor read past the data, and whatever it accepts must be flashable as it
// stands, because it is checked once before the radio is erased: every record
// fits one write command and the radio's address space, its data lie inside
// the image, and the image encodes back to exactly the bytes read.

#include "flash/FirmwareImage.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FirmwareImage image;
    const FirmwareFileError error = ParseFirmwareRecordFile(data, size, image);
    if (error != FirmwareFileError::None) {
        if (!image.records.empty() || !image.data.empty()) std::abort();
        return 0;
    }
    uint64_t used = 0;
    for (const FirmwareRecord& record : image.records) {
        if (CheckFirmwareRecord(record.address, record.length) != FirmwareFileError::None) std::abort();
        if (uint64_t{record.offset} + record.length > image.data.size()) std::abort();
        if (record.offset != used) std::abort();
        used += record.length;
    }
    if (used != image.data.size()) std::abort();
    // An address found written twice lies in two records.
    uint32_t overlap = 0;
    if (CheckFirmwareForFlashing(image, overlap) == FirmwareFileError::Overlap) {
        int holders = 0;
        for (const FirmwareRecord& record : image.records) {
            const uint32_t start = image.RadioAddress(record);
            holders += overlap >= start && overlap - start < record.length;
        }
        if (holders < 2) std::abort();
    }
    const auto encoded = EncodeFirmwareRecordFile(image);
    if (encoded.size() != size || (size != 0 && !std::equal(encoded.begin(), encoded.end(), data))) std::abort();
    return 0;
}
