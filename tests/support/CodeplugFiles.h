#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vantrel {

// The text of a codeplug S-record file whose records hold the image from
// address 0 in order, 32 data bytes a record, ended by an S9 record.
std::string CodeplugSRecordText(std::span<const uint8_t> image);

} // namespace vantrel
