#pragma once

#include <string>

namespace vantrel {

// Text the command line prints: the program's own messages and notes, which
// may carry paths and, through an operation's note, bytes a radio sent.
// Line breaks, tabs, printable ASCII and well-formed UTF-8 stay as they are;
// every other byte (control characters, C1 controls, bytes that are not part
// of well-formed UTF-8) is written as \xNN, so nothing reaches the terminal as
// a control sequence.
std::string TerminalText(const std::string& text);

// A JSON string literal, quotes included, of text made safe the same way: the
// JSON escapes for quote, backslash, line break, carriage return and tab;
// other unsafe bytes as the text \xNN. The result is pure JSON, valid UTF-8.
std::string JsonString(const std::string& text);

} // namespace vantrel
