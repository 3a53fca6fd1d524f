#pragma once

#include "flash/FlashFileCheck.h"
#include "flash/FlashFileSet.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The checks a run that changes a radio makes before its first write: every
// file it will read and the folder it saves the radio's data in. They send
// nothing to the radio and change no file; each gives the problem found (with
// the message that belongs to that file) without showing it.

// The model's EEPROM data file: a regular file of at least 723 bytes (20152).
// Its bytes go to data when it is fit.
FileProblem CheckEepromDataFile(const std::string& path, std::vector<uint8_t>& data);

// The per-user data folder exists or can be made, and a file can be written in
// it (20190: the radio's data could not be backed up, nothing was written).
FileProblem CheckBackupFolder();

// What an upgrade will read and write.
struct UpgradeNeeds {
    FlashFileSet files;          // the bootcode for the flash rate, the firmware
    bool flashesFirmware = true; // the plan flashes the firmware
    std::string eepromDataPath;  // the model's EEPROM data file
};

// The upgrade's checks, in the order the run uses the files: bootcode,
// firmware, EEPROM data file, backup folder. The EEPROM data file's bytes go to
// eepromData.
FileProblem CheckUpgradeNeeds(const UpgradeNeeds& needs, std::vector<uint8_t>& eepromData);

} // namespace vantrel
