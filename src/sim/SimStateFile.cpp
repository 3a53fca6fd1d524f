#include "sim/SimStateFile.h"

#include "platform/Files.h"

#include <cstring>

namespace vantrel {
namespace {

constexpr char kMagic[8] = {'V', 'S', 'I', 'M', 'R', 'A', 'D', 0x1A};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxProfileName = 64;

enum Section : uint8_t { kProfile = 1, kItems = 2, kEeprom = 3, kFlash = 4, kMode = 5 };

} // namespace

uint32_t SimStateChecksum(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutSection(std::vector<uint8_t>& out, Section tag, const std::vector<uint8_t>& body)
{
    out.push_back(tag);
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

// Reads from a bounded span; every read checks what is left.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Take(size_t n, const uint8_t*& at)
    {
        if (n > m_size - m_pos) return false;
        at = m_data + m_pos;
        m_pos += n;
        return true;
    }
    bool U8(uint8_t& v)
    {
        const uint8_t* at = nullptr;
        if (!Take(1, at)) return false;
        v = *at;
        return true;
    }
    bool U32(uint32_t& v)
    {
        const uint8_t* at = nullptr;
        if (!Take(4, at)) return false;
        v = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
            static_cast<uint32_t>(at[3]) << 24;
        return true;
    }
    bool AtEnd() const { return m_pos == m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

bool DecodeItems(Reader r, SimRadioState& state, std::string& error)
{
    bool seen[kSimInfoItems] = {};
    while (!r.AtEnd()) {
        uint8_t index = 0, supported = 0, length = 0;
        const uint8_t* value = nullptr;
        if (!r.U8(index) || !r.U8(supported) || !r.U8(length) || !r.Take(length, value)) {
            error = "an identity item is cut short";
            return false;
        }
        if (index >= kSimInfoItems || seen[index] || supported > 1) {
            error = "bad identity item " + std::to_string(index);
            return false;
        }
        seen[index] = true;
        state.items[index] = SimInfoItem{supported == 1, std::vector<uint8_t>(value, value + length)};
    }
    return true;
}

bool DecodeFlash(Reader r, SimRadioState& state, std::string& error)
{
    while (!r.AtEnd()) {
        uint32_t offset = 0;
        const uint8_t* bytes = nullptr;
        if (!r.U32(offset) || !r.Take(SimFlash::kPageSize, bytes)) {
            error = "a flash page is cut short";
            return false;
        }
        if (offset % SimFlash::kPageSize != 0 || offset >= SimFlash::kSize || state.flash.Pages().count(offset) != 0) {
            error = "bad flash page offset " + std::to_string(offset);
            return false;
        }
        SimFlash::Page page;
        std::memcpy(page.data(), bytes, page.size());
        state.flash.SetPage(offset, page);
    }
    return true;
}

bool DecodeMode(Reader r, SimRadioState& state, std::string& error)
{
    uint8_t mode = 0, adapter = 0, erased = 0;
    uint32_t rate = 0;
    // The firmware byte came later; a file without it holds a radio with its firmware.
    if (!r.U8(mode) || !r.U8(adapter) || !r.U32(rate) || (!r.AtEnd() && !r.U8(erased)) || !r.AtEnd() ||
        mode > static_cast<uint8_t>(SimMode::Halted) || adapter > 1 || erased > 1) {
        error = "bad radio mode";
        return false;
    }
    state.mode = static_cast<SimMode>(mode);
    state.adapterFlashMode = adapter == 1;
    state.loaderRate = rate;
    state.firmwareErased = erased == 1;
    return true;
}

} // namespace

std::vector<uint8_t> EncodeSimState(const std::string& profile, const SimRadioState& state)
{
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    Put32(out, kVersion);
    PutSection(
        out, kProfile,
        std::vector<uint8_t>(profile.begin(), profile.begin() + std::min<size_t>(profile.size(), kMaxProfileName)));
    std::vector<uint8_t> items;
    for (uint32_t i = 0; i < kSimInfoItems; ++i) {
        const auto& item = state.items[i];
        const size_t length = std::min<size_t>(item.value.size(), 255);
        items.push_back(static_cast<uint8_t>(i));
        items.push_back(item.supported ? 1 : 0);
        items.push_back(static_cast<uint8_t>(length));
        items.insert(items.end(), item.value.begin(), item.value.begin() + static_cast<long>(length));
    }
    PutSection(out, kItems, items);
    std::vector<uint8_t> eeprom = state.eeprom;
    eeprom.resize(kSimEepromSize, 0xFF);
    PutSection(out, kEeprom, eeprom);
    std::vector<uint8_t> flash;
    for (const auto& [offset, page] : state.flash.Pages()) {
        Put32(flash, offset);
        flash.insert(flash.end(), page.begin(), page.end());
    }
    PutSection(out, kFlash, flash);
    std::vector<uint8_t> mode{static_cast<uint8_t>(state.mode), static_cast<uint8_t>(state.adapterFlashMode ? 1 : 0)};
    Put32(mode, state.loaderRate);
    mode.push_back(state.firmwareErased ? 1 : 0);
    PutSection(out, kMode, mode);
    Put32(out, SimStateChecksum(out.data(), out.size()));
    return out;
}

bool DecodeSimState(const std::vector<uint8_t>& bytes, std::string& profile, SimRadioState& state, std::string& error)
{
    if (bytes.size() < sizeof kMagic + 8 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        error = "not a simulated radio state file";
        return false;
    }
    const size_t bodySize = bytes.size() - 4;
    Reader tail(bytes.data() + bodySize, 4);
    uint32_t crc = 0;
    tail.U32(crc);
    if (crc != SimStateChecksum(bytes.data(), bodySize)) {
        error = "the file is damaged or cut short (checksum mismatch)";
        return false;
    }
    Reader r(bytes.data() + sizeof kMagic, bodySize - sizeof kMagic);
    uint32_t version = 0;
    r.U32(version);
    if (version != kVersion) {
        error = "unknown state file version " + std::to_string(version);
        return false;
    }
    SimRadioState loaded;
    std::string loadedProfile;
    bool seen[6] = {};
    while (!r.AtEnd()) {
        uint8_t tag = 0;
        uint32_t length = 0;
        const uint8_t* body = nullptr;
        if (!r.U8(tag) || !r.U32(length) || !r.Take(length, body)) {
            error = "a section is cut short";
            return false;
        }
        if (tag < kProfile || tag > kMode || seen[tag]) {
            error = "unknown or repeated section " + std::to_string(tag);
            return false;
        }
        seen[tag] = true;
        const Reader section(body, length);
        bool ok = true;
        switch (tag) {
        case kProfile:
            ok = length <= kMaxProfileName;
            loadedProfile.assign(body, body + (ok ? length : 0));
            if (!ok) error = "profile name too long";
            break;
        case kItems:
            ok = DecodeItems(section, loaded, error);
            break;
        case kEeprom:
            ok = length == kSimEepromSize;
            if (ok)
                loaded.eeprom.assign(body, body + length);
            else
                error = "EEPROM image of " + std::to_string(length) + " bytes";
            break;
        case kFlash:
            ok = DecodeFlash(section, loaded, error);
            break;
        case kMode:
            ok = DecodeMode(section, loaded, error);
            break;
        }
        if (!ok) return false;
    }
    if (!seen[kItems] || !seen[kEeprom] || !seen[kMode]) {
        error = "a section is missing";
        return false;
    }
    profile = loadedProfile;
    state = std::move(loaded);
    return true;
}

bool SaveSimState(const std::string& path, const std::string& profile, const SimRadioState& state, std::string& error)
{
    const auto bytes = EncodeSimState(profile, state);
    if (!WriteFileAtomically(path, bytes.data(), bytes.size())) {
        error = "cannot write the simulated radio state file " + path;
        return false;
    }
    return true;
}

bool LoadSimState(const std::string& path, std::string& profile, SimRadioState& state, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        error = "cannot read the simulated radio state file " + path;
        return false;
    }
    if (!DecodeSimState(bytes, profile, state, error)) {
        error = "the simulated radio state file " + path + " cannot be used: " + error;
        return false;
    }
    return true;
}

} // namespace vantrel
