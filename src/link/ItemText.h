#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// A read-info value shown as text: its bytes up to the first zero byte.
std::string FormatText(const uint8_t* value, uint32_t length);

// Text from a radio made safe to print on a terminal or in a log: printable
// ASCII stays, every other byte (and the backslash, so that the result reads
// back unambiguously) is written as \xNN. A radio's control sequences never
// reach the terminal, and 8-bit bytes show as what they are.
std::string EscapedRadioText(const std::string& text);

} // namespace vantrel
