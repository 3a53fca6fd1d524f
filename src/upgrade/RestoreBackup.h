#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

enum class RestoreOutcome {
    Restored,  // 20207 was shown
    Failed,    // the failure's message was shown
    Cancelled, // the operator cancelled the bootstrap prompt; nothing was shown
};

// Brings a radio back to EEPROM data saved by an upgrade: checks the backup
// file, downloads the bootcode (the operator puts the radio into bootstrap mode
// at the prompt), writes the saved image from address 0 with the upgrade's
// Retry/Cancel handling, and resets the radio. A damaged or truncated backup is
// refused before anything is sent. The flash rate chooses the bootcode in the
// program folder, as for an upgrade.
RestoreOutcome RestoreBackup(const std::string& backupPath, int portIndex, uint32_t flashRate,
                             const std::string& programFolder);

} // namespace vantrel
