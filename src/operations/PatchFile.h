#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// What a patch changes: byte offsets of hardware block 3 and their new values,
// per hardware generation, and which radios it is for. Read from a small text
// file in the program folder:
//
//   # comment
//   mendkit-patch 1                 first line that is not blank or a comment
//   name Squelch fix                optional, shown to the operator
//   model H25TVA*                   one or more; "*" at the end matches a prefix
//   codeplug R03.07.*               one or more codeplug versions (item 4), same rule
//   set phase3 12 0x5A              block 3 offset and value, Phase 3 radios
//   set phase12 12 0x5A             the same for Phase 1/2 radios
//
// Offsets count from the block's first byte and stop before its checksum (0 to
// 104 for Phase 3, 0 to 86 for Phase 1/2); values are 0 to 255, decimal or 0x
// hex. A generation without "set" lines is not supported.
constexpr const char* kPatchFileName = "mendkit.patch";

struct PatchByte {
    uint16_t offset = 0;
    uint8_t value = 0;
    bool operator==(const PatchByte&) const = default;
};

struct PatchDescription {
    std::string name;
    std::vector<std::string> models;
    std::vector<std::string> codeplugVersions;
    std::vector<PatchByte> phase3;
    std::vector<PatchByte> phase12;

    const std::vector<PatchByte>& BytesFor(bool phase3Radio) const { return phase3Radio ? phase3 : phase12; }
    bool Supports(const std::string& model, const std::string& codeplugVersion, bool phase3Radio) const;
};

// Parses the text; on a fault returns false and error says which line and why.
bool ParsePatchFile(std::string_view text, PatchDescription& out, std::string& error);
bool LoadPatchFile(const std::string& path, PatchDescription& out, std::string& error);

// "H25TVA*" matches any value that starts with "H25TVA"; otherwise exactly.
bool MatchesPattern(const std::string& pattern, const std::string& value);

} // namespace vantrel
