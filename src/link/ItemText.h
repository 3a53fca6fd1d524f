#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// A read-info value shown as text: its bytes up to the first zero byte.
std::string FormatText(const uint8_t* value, uint32_t length);

} // namespace vantrel
