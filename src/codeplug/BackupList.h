#pragma once

#include "codeplug/EepromBackup.h"

#include <string>
#include <vector>

namespace vantrel {

// One EEPROM backup file found in a folder, with what the operator picks it by.
struct BackupListing {
    std::string path;
    EepromBackup backup;
    // When it was taken, "YYYY-MM-DD HH:MM:SS": from the file name the program
    // gave it, else the file's modification time.
    std::string taken;
};

// The readable EEPROM backups (not patch undo data) in a folder, newest first.
// Files that are not backups, damaged or truncated ones are left out.
std::vector<BackupListing> ListEepromBackups(const std::string& folder);

// The newest backup of the radio with this serial number in a folder whose
// EEPROM data starts at address 0 (an upgrade's); empty path when none.
BackupListing NewestBackupOf(const std::string& folder, const std::string& serialNumber);

} // namespace vantrel
