// Feeds arbitrary bytes to the S-record reader, read whole from memory and
// parsed from disk, and checks that both ways agree with each other and with
// the flat image.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "images/SRecordFile.h"

namespace {

struct Reading {
    std::vector<uint32_t> addresses;
    std::vector<uint8_t> data;
    uint32_t count = 0;
    vantrel::SRecordError error = vantrel::SRecordError::None;
    std::vector<uint8_t> image;
    bool imageOk = false;
};

void Check(bool condition)
{
    if (!condition) __builtin_trap();
}

Reading Read(const std::string& path, uint32_t capacity)
{
    Reading r;
    vantrel::CSRecordFile file(capacity);
    Check(file.Open(path));
    r.count = file.CountRecords();
    uint8_t data[vantrel::kMaxRecordData];
    vantrel::ImageRecord record{data, sizeof data};
    // A fault found by counting keeps the reader failed.
    if (file.Failed()) Check(!file.NextRecord(record));
    Check(file.Open(path));
    while (file.NextRecord(record)) {
        r.addresses.push_back(record.address);
        r.data.insert(r.data.end(), data, data + record.length);
    }
    r.error = file.Error();
    Check(r.addresses.size() == r.count);

    // A small image, so that overflow is exercised too.
    Check(file.Open(path));
    r.image.resize(4096);
    vantrel::ImageBuffer buffer{r.image.data(), static_cast<uint32_t>(r.image.size())};
    r.imageOk = file.LoadImage(buffer);
    Check(buffer.length <= r.image.size());
    r.image.resize(buffer.length);

    // Through a small buffer: the same bytes up to the same fault.
    Check(file.Open(path));
    std::vector<uint8_t> chunk(300), parts;
    vantrel::ImageBuffer part{chunk.data(), static_cast<uint32_t>(chunk.size())};
    bool partOk = true;
    while (partOk && !file.AtEnd()) {
        part.length = 0;
        partOk = file.LoadImagePart(part);
        Check(part.length <= chunk.size());
        parts.insert(parts.end(), chunk.begin(), chunk.begin() + part.length);
    }
    // Every record fits in 300 bytes, so only the file's own faults stop it.
    Check(parts == r.data && file.Error() == r.error && partOk == (r.error == vantrel::SRecordError::None));
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static const std::string path = "/tmp/srecord_fuzz_" + std::to_string(::getpid()) + ".0";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(bytes, 1, size, f);
    std::fclose(f);

    const Reading buffered = Read(path, static_cast<uint32_t>(size));
    const Reading fromDisk = Read(path, 0);
    Check(buffered.addresses == fromDisk.addresses && buffered.data == fromDisk.data);
    Check(buffered.error == fromDisk.error && buffered.image == fromDisk.image);
    // The flat image is the records' data, up to where it stopped.
    Check(buffered.image.size() <= buffered.data.size());
    Check(std::equal(buffered.image.begin(), buffered.image.end(), buffered.data.begin()));
    if (buffered.imageOk) Check(buffered.image == buffered.data && buffered.error == vantrel::SRecordError::None);
    return 0;
}
