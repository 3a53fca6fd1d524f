#pragma once

#include <cstdio>
#include <string>

namespace vantrel::test {

// Everything written to a temporary stream so far, read from its start.
inline std::string StreamText(std::FILE* f)
{
    std::string text;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
}

} // namespace vantrel::test
