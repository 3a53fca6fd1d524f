#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace vantrel {

// The program's one string table: every message, status line, prompt and title by id.
// Returns "" for an id without a text.
const char* LoadMessageText(uint32_t id);
bool HasMessageText(uint32_t id);
// The text of the id with value in place of its first "%s".
std::string MessageTextWith(uint32_t id, const std::string& value);
// The text of an id with each "%s" in turn replaced by the next argument.
std::string MessageWith(uint32_t id, std::initializer_list<std::string> args);

// Well-known ids outside the message range.
constexpr uint32_t kIdsAppTitle = 57344;   // "Vantrel"
constexpr uint32_t kIdsIdlePrompt = 57345; // " "

} // namespace vantrel
