#include "codeplug/EepromBackup.h"

#include "link/ItemText.h"
#include "link/RadioCommands.h"
#include "platform/Files.h"

#include <array>
#include <cstring>
#include <filesystem>

namespace vantrel {
namespace {

constexpr char kMagic[8] = {'V', 'N', 'T', 'L', 'B', 'K', 'U', 'P'};
constexpr uint16_t kFormatVersion = 1;
constexpr uint16_t kFormatVersionWithRuns = 2;
constexpr uint16_t kFormatVersionWithLookup = 3; // adds the part number and the platform
constexpr uint16_t kFormatVersionWithLookupAndRuns = 4;

bool HasMoreRuns(uint16_t version)
{
    return version == kFormatVersionWithRuns || version == kFormatVersionWithLookupAndRuns;
}

bool HasLookupIdentity(uint16_t version)
{
    return version == kFormatVersionWithLookup || version == kFormatVersionWithLookupAndRuns;
}

bool KeepsLookupIdentity(const EepromBackup& backup)
{
    return !backup.codeplugPartNumber.empty() || backup.platform != BackupPlatform::Unknown;
}
constexpr int kMaxNameTries = 100;
// The largest file a valid backup can be: header, four texts, the platform,
// the bytes, the further runs, the CRC.
constexpr size_t kMaxFileSize = sizeof kMagic + 2 + 1 + 4 * (1 + kBackupMaxText) + 1 + 4 + 4 + kBackupAddressSpace + 1 +
                                kBackupMaxMoreRuns * (8 + kBackupMaxMoreRunBytes) + 4;

// A run of 1 to maxCount bytes inside the address space.
bool RunInside(uint32_t start, size_t count, size_t maxCount)
{
    return count != 0 && count <= maxCount && start < kBackupAddressSpace && count <= kBackupAddressSpace - start;
}

uint32_t Crc32(std::span<const uint8_t> bytes)
{
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : bytes)
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// Reads forward through the file's bytes; every take is bounded by what is left.
class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> data) : m_data(data) {}
    bool Take(size_t n, std::span<const uint8_t>& out)
    {
        if (n > m_data.size() - m_at) return false;
        out = m_data.subspan(m_at, n);
        m_at += n;
        return true;
    }
    bool Take32(uint32_t& value)
    {
        std::span<const uint8_t> b;
        if (!Take(4, b)) return false;
        value = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
        return true;
    }
    bool TakeText(std::string& text)
    {
        std::span<const uint8_t> length;
        std::span<const uint8_t> bytes;
        if (!Take(1, length) || length[0] > kBackupMaxText || !Take(length[0], bytes)) return false;
        text.assign(bytes.begin(), bytes.end());
        return true;
    }
    size_t At() const { return m_at; }
    size_t Left() const { return m_data.size() - m_at; }

private:
    std::span<const uint8_t> m_data;
    size_t m_at = 0;
};

bool TakeMoreRuns(Cursor& in, std::vector<EepromRun>& runs, std::string& error)
{
    std::span<const uint8_t> field;
    if (!in.Take(1, field) || field[0] == 0 || field[0] > kBackupMaxMoreRuns) {
        error = "the file is truncated or damaged (further runs)";
        return false;
    }
    runs.resize(field[0]);
    for (EepromRun& run : runs) {
        uint32_t count = 0;
        if (!in.Take32(run.start) || !in.Take32(count) || !RunInside(run.start, count, kBackupMaxMoreRunBytes) ||
            !in.Take(count, field)) {
            error = "the file is truncated or damaged (further runs)";
            return false;
        }
        run.bytes.assign(field.begin(), field.end());
    }
    return true;
}

bool SameFileContent(const std::string& path, const EepromBackup& expected, std::string& error)
{
    EepromBackup back;
    if (!ReadEepromBackup(path, back, error)) return false;
    if (back == expected) return true;
    error = "the file read back differs from what was written";
    return false;
}

std::string ItemText(uint8_t item)
{
    uint8_t value[kInfoBufferSize] = {};
    uint32_t length = 0;
    if (!ReadInfo(value, item, length)) return {};
    return FormatText(value, length);
}

} // namespace

bool EncodeEepromBackup(const EepromBackup& backup, std::vector<uint8_t>& out, std::string& error)
{
    out.clear();
    for (const std::string* text :
         {&backup.modelNumber, &backup.serialNumber, &backup.softwareVersion, &backup.codeplugPartNumber}) {
        if (text->size() > kBackupMaxText) {
            error = "an identity text is longer than a radio gives";
            return false;
        }
    }
    bool inside = RunInside(backup.start, backup.bytes.size(), kBackupAddressSpace) &&
                  backup.moreRuns.size() <= kBackupMaxMoreRuns;
    for (const EepromRun& run : backup.moreRuns)
        inside = inside && RunInside(run.start, run.bytes.size(), kBackupMaxMoreRunBytes);
    if (!inside) {
        error = "the saved range lies outside the EEPROM";
        return false;
    }
    // A backup without the lookup identity or further runs keeps the first
    // format, byte for byte.
    const bool lookup = KeepsLookupIdentity(backup);
    const bool runs = !backup.moreRuns.empty();
    const uint16_t version = lookup ? (runs ? kFormatVersionWithLookupAndRuns : kFormatVersionWithLookup)
                                    : (runs ? kFormatVersionWithRuns : kFormatVersion);
    out.insert(out.end(), std::begin(kMagic), std::end(kMagic));
    out.push_back(static_cast<uint8_t>(version >> 8));
    out.push_back(static_cast<uint8_t>(version & 0xFF));
    out.push_back(static_cast<uint8_t>(backup.kind));
    auto putText = [&out](const std::string& text) {
        out.push_back(static_cast<uint8_t>(text.size()));
        out.insert(out.end(), text.begin(), text.end());
    };
    for (const std::string* text : {&backup.modelNumber, &backup.serialNumber, &backup.softwareVersion})
        putText(*text);
    if (lookup) {
        putText(backup.codeplugPartNumber);
        out.push_back(static_cast<uint8_t>(backup.platform));
    }
    Put32(out, backup.start);
    Put32(out, static_cast<uint32_t>(backup.bytes.size()));
    out.insert(out.end(), backup.bytes.begin(), backup.bytes.end());
    if (!backup.moreRuns.empty()) {
        out.push_back(static_cast<uint8_t>(backup.moreRuns.size()));
        for (const EepromRun& run : backup.moreRuns) {
            Put32(out, run.start);
            Put32(out, static_cast<uint32_t>(run.bytes.size()));
            out.insert(out.end(), run.bytes.begin(), run.bytes.end());
        }
    }
    Put32(out, Crc32(out));
    return true;
}

bool DecodeEepromBackup(std::span<const uint8_t> data, EepromBackup& out, std::string& error)
{
    Cursor in(data);
    std::span<const uint8_t> field;
    if (!in.Take(sizeof kMagic, field) || std::memcmp(field.data(), kMagic, sizeof kMagic) != 0) {
        error = "not a Vantrel EEPROM backup file";
        return false;
    }
    if (!in.Take(2, field)) {
        error = "the file is truncated";
        return false;
    }
    const uint16_t version = static_cast<uint16_t>((field[0] << 8) | field[1]);
    if (version < kFormatVersion || version > kFormatVersionWithLookupAndRuns) {
        error = "backup format version " + std::to_string(version) + " is not known to this program";
        return false;
    }
    EepromBackup backup;
    uint32_t count = 0;
    if (!in.Take(1, field)) {
        error = "the file is truncated";
        return false;
    }
    if (field[0] != static_cast<uint8_t>(EepromBackupKind::Backup) &&
        field[0] != static_cast<uint8_t>(EepromBackupKind::Undo)) {
        error = "the file is damaged (unknown kind)";
        return false;
    }
    backup.kind = static_cast<EepromBackupKind>(field[0]);
    if (!in.TakeText(backup.modelNumber) || !in.TakeText(backup.serialNumber) || !in.TakeText(backup.softwareVersion)) {
        error = "the file is truncated or damaged (identity)";
        return false;
    }
    if (HasLookupIdentity(version)) {
        if (!in.TakeText(backup.codeplugPartNumber) || !in.Take(1, field) ||
            field[0] > static_cast<uint8_t>(BackupPlatform::Meq)) {
            error = "the file is truncated or damaged (identity)";
            return false;
        }
        backup.platform = static_cast<BackupPlatform>(field[0]);
    }
    if (!in.Take32(backup.start) || !in.Take32(count)) {
        error = "the file is truncated or damaged (identity)";
        return false;
    }
    if (count == 0 || backup.start >= kBackupAddressSpace || count > kBackupAddressSpace - backup.start) {
        error = "the file is damaged (the saved range lies outside the EEPROM)";
        return false;
    }
    if (!in.Take(count, field)) {
        error = "the file is truncated (" + std::to_string(in.Left()) + " of " + std::to_string(count) + " data bytes)";
        return false;
    }
    backup.bytes.assign(field.begin(), field.end());
    if (HasMoreRuns(version) && !TakeMoreRuns(in, backup.moreRuns, error)) return false;
    const size_t covered = in.At();
    uint32_t crc = 0;
    if (!in.Take32(crc)) {
        error = "the file is truncated (no checksum)";
        return false;
    }
    if (in.Left() != 0) {
        error = "the file is damaged (bytes after the checksum)";
        return false;
    }
    if (crc != Crc32(data.first(covered))) {
        error = "the file is damaged (checksum mismatch)";
        return false;
    }
    out = std::move(backup);
    return true;
}

bool SaveEepromBackup(const std::string& path, const EepromBackup& backup, std::string& error)
{
    std::vector<uint8_t> encoded;
    if (!EncodeEepromBackup(backup, encoded, error)) return false;
    std::error_code ec;
    if (std::filesystem::exists(PathFromUtf8(path), ec)) {
        error = "a file of that name already exists: " + path;
        return false;
    }
    if (!WriteFileAtomically(path, encoded.data(), encoded.size())) {
        error = "could not write " + path;
        return false;
    }
    if (!SameFileContent(path, backup, error)) {
        std::filesystem::remove(PathFromUtf8(path), ec);
        error = "the backup " + path + " did not read back: " + error;
        return false;
    }
    return true;
}

std::string WriteEepromBackup(const EepromBackup& backup, std::string& error)
{
    const std::string folder = UserDataFolder();
    if (folder.empty()) {
        error = "there is no per-user data folder to save it in";
        return {};
    }
    const std::string stem = folder + FileNamePart(backup.serialNumber) + "-" + FileNameTimestamp();
    for (int n = 1; n <= kMaxNameTries; ++n) {
        std::string path = stem;
        if (n > 1) path.append("-").append(std::to_string(n));
        path.append(kBackupExtension);
        std::error_code ec;
        if (std::filesystem::exists(PathFromUtf8(path), ec) ||
            std::filesystem::exists(PathFromUtf8(path + ".part"), ec))
            continue;
        return SaveEepromBackup(path, backup, error) ? path : std::string();
    }
    error = "no free file name for " + stem;
    return {};
}

bool ReadEepromBackup(const std::string& path, EepromBackup& out, std::string& error)
{
    std::vector<uint8_t> data;
    if (!ReadFileAtMost(path, kMaxFileSize, "backup file", data, error)) return false;
    if (!DecodeEepromBackup(data, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

void ReadBackupIdentity(EepromBackup& backup)
{
    backup.modelNumber = ItemText(kItemModelNumber);
    backup.serialNumber = ItemText(kItemSerialNumber);
    backup.softwareVersion = ItemText(kItemSoftwareVersion);
}

std::string FileNamePart(const std::string& text)
{
    std::string out;
    for (char c : text) {
        const bool keep =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        out += keep ? c : '_';
    }
    if (out.find_first_not_of('_') == std::string::npos) return "unknown";
    return out;
}

} // namespace vantrel
