#include "operations/PatchFile.h"

#include "platform/Files.h"
#include "codeplug/CodeplugLayout.h"

#include <algorithm>

namespace vantrel {
namespace {

constexpr size_t kMaxFileSize = 16 * 1024;
constexpr size_t kMaxLineLength = 200;
constexpr size_t kMaxPatternLength = 39; // a read-info value is never longer
constexpr int kFormatVersion = 1;
constexpr int kPatchedBlockIndex = 2; // block 3

std::vector<std::string_view> Tokens(std::string_view line)
{
    std::vector<std::string_view> tokens;
    size_t at = 0;
    while (at < line.size()) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string_view::npos) break;
        const size_t end = std::min(line.find_first_of(" \t", at), line.size());
        tokens.push_back(line.substr(at, end - at));
        at = end;
    }
    return tokens;
}

// A decimal or 0x-hex number no larger than max.
bool ParseNumber(std::string_view text, uint32_t max, uint32_t& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 8) return false;
    uint32_t v = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) return false;
        v = v * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    }
    if (v > max) return false;
    value = v;
    return true;
}

bool ValidPattern(std::string_view pattern)
{
    if (pattern.empty() || pattern.size() > kMaxPatternLength) return false;
    const size_t star = pattern.find('*');
    return star == std::string_view::npos || star == pattern.size() - 1;
}

class PatchParser {
public:
    explicit PatchParser(PatchDescription& out) : m_out(out) {}

    bool Line(std::string_view line, size_t number, std::string& error)
    {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMaxLineLength) return Fail(number, "the line is too long", error);
        const auto tokens = Tokens(line);
        if (tokens.empty() || tokens[0].front() == '#') return true;
        const std::string_view key = tokens[0];
        if (!m_sawHeader) {
            uint32_t version = 0;
            if (key != "mendkit-patch" || tokens.size() != 2 || !ParseNumber(tokens[1], 0xFFFF, version))
                return Fail(number, "expected \"mendkit-patch 1\" first", error);
            if (version != kFormatVersion) return Fail(number, "patch file version not known to this program", error);
            m_sawHeader = true;
            return true;
        }
        if (key == "name") {
            const size_t at = line.find("name") + 4;
            const size_t begin = line.find_first_not_of(" \t", at);
            m_out.name = begin == std::string_view::npos ? std::string() : std::string(line.substr(begin));
            return true;
        }
        if (key == "model" || key == "codeplug") {
            if (tokens.size() != 2 || !ValidPattern(tokens[1]))
                return Fail(number, "expected one value, with '*' only at its end", error);
            (key == "model" ? m_out.models : m_out.codeplugVersions).emplace_back(tokens[1]);
            return true;
        }
        if (key == "set") return Set(tokens, number, error);
        return Fail(number, "unknown keyword \"" + std::string(key) + "\"", error);
    }

    bool Finish(std::string& error)
    {
        if (!m_sawHeader)
            error = "not a patch file: \"mendkit-patch 1\" is missing";
        else if (m_out.models.empty())
            error = "no \"model\" line: the patch would be for no radio";
        else if (m_out.codeplugVersions.empty())
            error = "no \"codeplug\" line: the patch would be for no radio";
        else if (m_out.phase3.empty() && m_out.phase12.empty())
            error = "no \"set\" line: the patch changes nothing";
        else
            return true;
        return false;
    }

private:
    bool Set(const std::vector<std::string_view>& tokens, size_t number, std::string& error)
    {
        if (tokens.size() != 4) return Fail(number, "expected \"set phase3|phase12 OFFSET VALUE\"", error);
        bool phase3 = false;
        if (tokens[1] == "phase3")
            phase3 = true;
        else if (tokens[1] != "phase12")
            return Fail(number, "the generation is phase3 or phase12", error);
        // The last byte of the block is its checksum, recomputed on writing.
        const uint32_t lastOffset = HardwareBlocks(phase3)[kPatchedBlockIndex].length - 2u;
        uint32_t offset = 0;
        uint32_t value = 0;
        if (!ParseNumber(tokens[2], lastOffset, offset))
            return Fail(number, "the offset must be 0 to " + std::to_string(lastOffset), error);
        if (!ParseNumber(tokens[3], 0xFF, value)) return Fail(number, "the value must be 0 to 255", error);
        auto& bytes = phase3 ? m_out.phase3 : m_out.phase12;
        const bool duplicate =
            std::any_of(bytes.begin(), bytes.end(), [&](const PatchByte& b) { return b.offset == offset; });
        if (duplicate) return Fail(number, "the offset is set twice", error);
        bytes.push_back({static_cast<uint16_t>(offset), static_cast<uint8_t>(value)});
        return true;
    }

    static bool Fail(size_t number, const std::string& why, std::string& error)
    {
        error = "line " + std::to_string(number) + ": " + why;
        return false;
    }

    PatchDescription& m_out;
    bool m_sawHeader = false;
};

} // namespace

bool MatchesPattern(const std::string& pattern, const std::string& value)
{
    if (!pattern.empty() && pattern.back() == '*')
        return value.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0 &&
               value.size() >= pattern.size() - 1;
    return pattern == value;
}

bool PatchDescription::Supports(const std::string& model, const std::string& codeplugVersion, bool phase3Radio) const
{
    auto matches = [](const std::vector<std::string>& patterns, const std::string& value) {
        return !value.empty() && std::any_of(patterns.begin(), patterns.end(),
                                             [&](const std::string& p) { return MatchesPattern(p, value); });
    };
    return !BytesFor(phase3Radio).empty() && matches(models, model) && matches(codeplugVersions, codeplugVersion);
}

bool ParsePatchFile(std::string_view text, PatchDescription& out, std::string& error)
{
    if (text.size() > kMaxFileSize) {
        error = "the file is too large for a patch file";
        return false;
    }
    PatchDescription description;
    PatchParser parser(description);
    size_t number = 1;
    for (size_t at = 0; at <= text.size(); ++number) {
        const size_t end = std::min(text.find('\n', at), text.size());
        if (!parser.Line(text.substr(at, end - at), number, error)) return false;
        at = end + 1;
    }
    if (!parser.Finish(error)) return false;
    out = std::move(description);
    return true;
}

bool LoadPatchFile(const std::string& path, PatchDescription& out, std::string& error)
{
    std::vector<uint8_t> data;
    if (!ReadFileAtMost(path, kMaxFileSize, "patch file", data, error)) return false;
    if (!ParsePatchFile(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace vantrel
