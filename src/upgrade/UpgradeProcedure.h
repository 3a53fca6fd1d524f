#pragma once

#include "upgrade/FindUpgradePlan.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vantrel {

// How a run ended, for front ends that turn it into an exit status.
enum class UpgradeOutcome {
    Succeeded, // 20154 was shown
    Failed,    // 20146 + errorIndex was shown
    Cancelled, // the operator cancelled the bootstrap prompt; nothing was shown
};

// How far a run got: where the radio stands when the run stops.
enum class UpgradeStage {
    Checking,      // nothing was written to the radio
    Marked,        // normal operation; the codeplug marker and the tag byte may be set
    Bootstrap,     // bootstrap mode or the bootcode running; EEPROM data and firmware as they were
    EepromWriting, // the EEPROM data may be partly written
    Flashing,      // the EEPROM data is written; the firmware is erased or incomplete
    Done,          // everything written, the radio reset
};

struct UpgradeResult {
    UpgradeOutcome outcome = UpgradeOutcome::Failed;
    int errorIndex = 0;     // 0 to 2 when failed: the final message was 20146 + errorIndex
    std::string backupPath; // the saved copy of the radio's EEPROM data; empty when none was read
    UpgradeStage stage = UpgradeStage::Checking;
};

// What the operator chose for a run.
struct UpgradeSettings {
    int portIndex = 0;         // COM1 = 0
    uint32_t flashRate = 0;    // 19200, 38400 or 115200; others find no bootcode
    std::string programFolder; // separator kept: the bootcodes and EEPROM data files live here
    // The firmware to flash: the carried record file (programFolder + "tor5t.mot")
    // when empty, else this file.
    std::string firmwarePath;
    // The firmware path is an S-record file the operator selected (builds with
    // the selected-file firmware source), not a firmware record file.
    bool firmwareSelected = false;
};

// Replaceable parts of a run, for tests.
struct UpgradeHooks {
    // The model and version lookup over the attached link; FindUpgradePlan when empty.
    std::function<UpgradeLookup()> lookup;
    // Seed of the tag byte; a fresh random seed when empty.
    std::optional<uint32_t> tagSeed;
};

// Upgrades the radio on the configured port: checks it, sets the codeplug
// marker and the tag byte, downloads the bootcode, reads, converts and writes
// back the EEPROM image, flashes the firmware and resets the radio. Reports
// through the current feedback and ends with one summary message (none when the
// operator cancels the bootstrap prompt). Before the first write to the radio
// every file the run reads and the backup folder are checked, and every EEPROM
// byte the run will write is read and saved as a backup in the per-user data
// folder; its path is given to the operator as a note.
UpgradeResult RunUpgrade(const UpgradeSettings& settings, const UpgradeHooks& hooks = {});

} // namespace vantrel
