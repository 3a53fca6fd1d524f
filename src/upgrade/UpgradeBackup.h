#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantrel {

// Who a radio is, as it said in normal operation; kept with its EEPROM data.
struct RadioIdentity {
    std::string modelNumber;
    std::string serialNumber;
    std::string softwareVersion;
    bool operator==(const RadioIdentity&) const = default;
};

// A saved copy of a radio's EEPROM data from address 0.
struct EepromBackupContents {
    RadioIdentity radio;
    std::vector<uint8_t> eeprom;
};

// The largest EEPROM image a backup holds (the radio's whole EEPROM).
constexpr uint32_t kMaxBackupEeprom = 0x8000;

// The file's bytes for a backup, and back. The file carries a checksum over
// everything, so a damaged or truncated file is refused, never half used.
std::vector<uint8_t> EncodeEepromBackup(const EepromBackupContents& backup);
bool DecodeEepromBackup(std::span<const uint8_t> bytes, EepromBackupContents& backup);

// Saves EEPROM data read from a radio as a new backup file in the per-user data
// folder (never over an earlier one), reads the file back and compares it, and
// tells the operator where it is (a note). Returns the file's path; on failure
// shows why (20206) and returns an empty path.
std::string SaveUpgradeBackup(const EepromBackupContents& backup);

enum class BackupLoad { Ok, OpenFailed, Damaged };
BackupLoad LoadUpgradeBackup(const std::string& path, EepromBackupContents& backup);

} // namespace vantrel
