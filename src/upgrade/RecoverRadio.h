#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// What a recovery writes into a radio in bootstrap mode.
struct RecoverySettings {
    int portIndex = 0;         // COM1 = 0
    uint32_t flashRate = 0;    // 19200, 38400 or 115200; chooses the bootcode
    std::string programFolder; // separator kept: bootcodes, firmware, EEPROM data files
    bool writeFirmware = true;
    // The firmware: the carried record file (programFolder + "tor5t.mot") when
    // empty, else this file; an S-record file with firmwareSelected.
    std::string firmwarePath;
    bool firmwareSelected = false;
    // The EEPROM backup to write; none when empty. With the firmware, a
    // backup an upgrade took before it converted the codeplug is converted
    // first, exactly as that upgrade would have; without the firmware it is
    // written as saved.
    std::string backupPath;
};

enum class RecoveryOutcome {
    Recovered, // 20230 was shown
    Failed,    // the failure's message was shown
    Cancelled, // the operator cancelled the bootstrap prompt; nothing was shown
};

// Brings back a radio that answers only in bootstrap mode, for instance after
// an upgrade lost power once the flash was erased. Checks everything it will
// need first (the backup, the EEPROM data it leads to, the firmware file) and
// sends nothing when one is unusable; then the bootstrap prompt and the
// bootcode, the EEPROM data (what the radio holds there is saved first), the
// firmware, the reset, and one final box. No step needs the radio's normal
// mode.
RecoveryOutcome RecoverRadio(const RecoverySettings& settings);

} // namespace vantrel
