#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vantrel {

// Appends one S-record with a correct checksum: type 1 takes a 16-bit
// address, types 2 and 8 a 24-bit one, type 9 ends the data. The data of one
// record are at most 255 - 1 - address bytes.
void AppendSRecord(std::string& out, char type, uint32_t address, std::span<const uint8_t> data,
                   const char* lineEnd = "\r\n");

// Appends data as S2 records of recordSize bytes each from address upwards.
void AppendSRecordData(std::string& out, uint32_t address, std::span<const uint8_t> data, size_t recordSize,
                       const char* lineEnd = "\r\n");

}  // namespace vantrel
