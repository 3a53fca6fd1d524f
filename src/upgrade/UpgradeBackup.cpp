#include "upgrade/UpgradeBackup.h"

#include "link/Feedback.h"
#include "link/StringTable.h"
#include "platform/Files.h"

#include <array>
#include <filesystem>

namespace vantrel {
namespace {

// File layout, little-endian: the magic, a version byte, three identity texts
// (a length byte, then the characters), the EEPROM length (32 bits) and its
// bytes, then a CRC-32 of everything before it.
constexpr std::array<uint8_t, 8> kMagic = {'V', 'N', 'T', 'R', 'L', 'E', 'E', 'P'};
constexpr uint8_t kVersion = 1;
constexpr uint32_t kIdBackupFailed = 20206;
constexpr uint32_t kIdBackupSaved = 20207;
constexpr int kMaxBackupsPerRadio = 9999;

uint32_t Crc32(std::span<const uint8_t> bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutText(std::vector<uint8_t>& out, const std::string& text)
{
    const size_t length = std::min<size_t>(text.size(), 255);
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<long>(length));
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Reads the file's fields in order, never past its end.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    bool Take(size_t count, std::span<const uint8_t>& out)
    {
        if (count > m_bytes.size() - m_at) return false;
        out = m_bytes.subspan(m_at, count);
        m_at += count;
        return true;
    }
    bool Text(std::string& text)
    {
        std::span<const uint8_t> length;
        std::span<const uint8_t> chars;
        if (!Take(1, length) || !Take(length[0], chars)) return false;
        text.assign(chars.begin(), chars.end());
        return true;
    }
    bool Get32(uint32_t& value)
    {
        std::span<const uint8_t> bytes;
        if (!Take(4, bytes)) return false;
        value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
        return true;
    }
    size_t Position() const { return m_at; }
    bool AtEnd() const { return m_at == m_bytes.size(); }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_at = 0;
};

// Letters, digits and '-' of a radio's serial number (or model), for a file name.
std::string NamePart(const RadioIdentity& radio)
{
    std::string part;
    for (char c : radio.serialNumber.empty() ? radio.modelNumber : radio.serialNumber) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-') part += c;
    }
    return part.empty() ? std::string("radio") : part;
}

std::string FreeBackupPath(const std::string& folder, const RadioIdentity& radio)
{
    const std::string stem = folder + "eeprom-" + NamePart(radio) + "-";
    for (int n = 1; n <= kMaxBackupsPerRadio; ++n) {
        const std::string path = stem + std::to_string(n) + ".vbak";
        std::error_code ec;
        if (!std::filesystem::exists(path, ec) && !ec) return path;
    }
    return {};
}

std::string SavedNote(const std::string& path)
{
    std::string text = LoadMessageText(kIdBackupSaved);
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path);
    return text;
}

} // namespace

std::vector<uint8_t> EncodeEepromBackup(const EepromBackupContents& backup)
{
    std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
    out.push_back(kVersion);
    PutText(out, backup.radio.modelNumber);
    PutText(out, backup.radio.serialNumber);
    PutText(out, backup.radio.softwareVersion);
    Put32(out, static_cast<uint32_t>(backup.eeprom.size()));
    out.insert(out.end(), backup.eeprom.begin(), backup.eeprom.end());
    Put32(out, Crc32(out));
    return out;
}

bool DecodeEepromBackup(std::span<const uint8_t> bytes, EepromBackupContents& backup)
{
    Reader reader(bytes);
    std::span<const uint8_t> magic;
    std::span<const uint8_t> version;
    if (!reader.Take(kMagic.size(), magic) || !std::equal(magic.begin(), magic.end(), kMagic.begin()) ||
        !reader.Take(1, version) || version[0] != kVersion)
        return false;
    EepromBackupContents read;
    uint32_t length = 0;
    std::span<const uint8_t> eeprom;
    if (!reader.Text(read.radio.modelNumber) || !reader.Text(read.radio.serialNumber) ||
        !reader.Text(read.radio.softwareVersion) || !reader.Get32(length) || length == 0 || length > kMaxBackupEeprom ||
        !reader.Take(length, eeprom))
        return false;
    const size_t covered = reader.Position();
    uint32_t crc = 0;
    if (!reader.Get32(crc) || !reader.AtEnd() || crc != Crc32(bytes.first(covered))) return false;
    read.eeprom.assign(eeprom.begin(), eeprom.end());
    backup = std::move(read);
    return true;
}

std::string SaveUpgradeBackup(const EepromBackupContents& backup)
{
    const std::string folder = UserDataFolder();
    const std::string path = folder.empty() ? std::string() : FreeBackupPath(folder, backup.radio);
    const std::vector<uint8_t> bytes = EncodeEepromBackup(backup);
    std::vector<uint8_t> back;
    if (path.empty() || backup.eeprom.empty() || !WriteFileAtomically(path, bytes.data(), bytes.size()) ||
        !ReadWholeFile(path, back) || back != bytes) {
        ShowMessage(kMsgError, kIdBackupFailed);
        return {};
    }
    CurrentFeedback().ShowNote(SavedNote(path));
    return path;
}

BackupLoad LoadUpgradeBackup(const std::string& path, EepromBackupContents& backup)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) return BackupLoad::OpenFailed;
    return DecodeEepromBackup(bytes, backup) ? BackupLoad::Ok : BackupLoad::Damaged;
}

} // namespace vantrel
