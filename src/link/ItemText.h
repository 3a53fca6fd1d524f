#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// A read-info value shown as text: its bytes up to the first zero byte.
std::string FormatText(const uint8_t* value, uint32_t length);
// How the Radio Info fields show the model number and the ESN.
std::string FormatModelNumber(const uint8_t* value, uint32_t length); // 2 bytes → "ID = $4A $01"
std::string FormatEsn(const uint8_t* value, uint32_t length);         // 5 bytes → "012/03/077881", else "?"

} // namespace vantrel
