#pragma once

#include <string>

namespace vantrel {

// The program keeps text and paths in UTF-8; the system's wide functions take
// UTF-16. Invalid sequences become replacement characters.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const wchar_t* text, size_t length);
inline std::string Utf8FromWide(const std::wstring& text)
{
    return Utf8FromWide(text.data(), text.size());
}

} // namespace vantrel
