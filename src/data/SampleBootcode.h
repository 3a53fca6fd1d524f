#pragma once

#include <cstdint>

namespace vantrel {

// The sample bootcode images that ship with the program are recognisable: they
// begin with this 4-byte mark followed by the flash rate the loader switches to
// (32-bit little-endian). The simulated radio starts a downloaded bootcode only
// when it carries the mark; it then talks at that rate and sends "P".
constexpr uint8_t kSampleBootcodeMark[4] = {'V', 'L', 'D', 'R'};
constexpr uint32_t kSampleBootcodeHeaderSize = 8;

}  // namespace vantrel
