#pragma once

#include "codeplug/EepromBackup.h"

#include <string>

namespace vantrel {

// Saves EEPROM data read from a radio as a new backup file in the per-user data
// folder (read back and compared there), and tells the operator where it is
// with a note. Returns the file's path; on failure shows why and that nothing
// was written (20190), and returns an empty path.
std::string SaveUpgradeBackup(const EepromBackup& backup);

} // namespace vantrel
