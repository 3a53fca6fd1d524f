#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel {

// Flash memory is addressed with this bit set while the loader runs.
constexpr uint32_t kFlashAddressBit = 0x400000;

// One record to flash: one write command.
struct FirmwareRecord {
    uint32_t address = 0; // load address as in the source
    uint32_t offset = 0;  // first data byte in FirmwareImage::data
    uint32_t length = 0;  // data bytes, at most one write command's worth
};

// A whole firmware, checked and in memory before anything is sent, so that a
// damaged file is found while the radio's old firmware is still intact.
struct FirmwareImage {
    std::vector<uint8_t> data;
    std::vector<FirmwareRecord> records;

    uint32_t RadioAddress(const FirmwareRecord& record) const { return record.address | kFlashAddressBit; }
    const uint8_t* Data(const FirmwareRecord& record) const { return data.data() + record.offset; }
};

enum class FirmwareFileError {
    None,
    CountMismatch,     // the file ends before its record count, or goes on after it
    RecordTooLong,     // more data than one write command carries
    AddressOutOfRange, // the record does not fit the 24-bit radio address space
    NoData,            // no record carries a data byte: flashing would only erase
    Overlap,           // two records write the same flash address
};

// Checks one record against the write command and the radio's address space.
FirmwareFileError CheckFirmwareRecord(uint32_t address, uint32_t length);

// Appends a checked record to the image.
FirmwareFileError AddFirmwareRecord(FirmwareImage& image, uint32_t address, const uint8_t* data, uint32_t length);

// Decodes a whole firmware record file: a 32-bit little-endian count, then
// exactly that many records of length (1 byte), address (32-bit little-endian)
// and data, and nothing after them. On failure the image is left empty.
FirmwareFileError ParseFirmwareRecordFile(const uint8_t* bytes, size_t size, FirmwareImage& image);

// Whether an image is fit to be flashed: some record carries data, and no two
// records write the same radio address (the erase runs once, so a second write
// of an address fails and every retry would erase again). On Overlap,
// overlapAddress is the lowest radio address written twice.
FirmwareFileError CheckFirmwareForFlashing(const FirmwareImage& image, uint32_t& overlapAddress);

// The record file of an image; ParseFirmwareRecordFile gives the image back.
std::vector<uint8_t> EncodeFirmwareRecordFile(const FirmwareImage& image);

// The message that tells the operator about the error.
uint32_t FirmwareFileMessage(FirmwareFileError error);

} // namespace vantrel
