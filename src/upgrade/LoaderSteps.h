#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel {

class CFlashLoader;
class CRadioConnection;
struct EepromBackup;
struct EepromRun;

// Steps that the upgrade, the restore and the recovery take alike on a radio
// whose bootcode runs, so that each behaves the same wherever it is used.

// Reads a backup file and checks that it can be written back: EEPROM data (not
// patch undo data) inside the radio's EEPROM, beginning with a whole hardware
// codeplug when it starts at address 0. Shows 20210 or 20209 with the reason
// as a note and returns false otherwise; nothing is sent.
bool LoadRestorableBackup(const std::string& path, EepromBackup& backup);

enum class LoaderStart { Ready, Failed, Cancelled };

// The bootcode download with the bootstrap prompt, and once more without it
// after 20153 when it fails for another reason than the operator's Cancel.
LoaderStart StartLoader(CFlashLoader& loader);

// Every run of a backup, the main one first.
std::vector<EepromRun> RunsOf(const EepromBackup& backup);

enum class CurrentDataSave { Saved, ReadFailed, SaveFailed };

// Saves what the radio holds over the runs as a new backup
// before it is written over: a backup of another radio, or an older one of
// this radio, must not cost the connected radio the data it has now. Its
// identity cannot be read in bootstrap mode, so the file carries none.
// SaveFailed has shown 20190. savedPath: the new backup's file once Saved.
CurrentDataSave SaveCurrentEeprom(const std::vector<EepromRun>& runs, int portIndex, uint32_t flashRate,
                                  std::string& savedPath);

// Is the radio on the line still the one the run started with (read over the
// attached link after a re-download)? Empty: no check.
using SameRadioCheck = std::function<bool()>;

enum class EepromWrite {
    Written,   // every run written and read back the same
    Cancelled, // a write failed and the operator cancelled (or a stop was requested)
    Differs,   // a block read back different; 20250 and the backup's note were shown
};

// Writes the runs of EEPROM data over the connection (open at the flash rate
// when ok), each block read back as it is written. A failed write asks
// Retry/Cancel (20158); Retry shows 20159, downloads the bootcode again without
// the prompt, reopens the connection and checks the radio before writing
// again. A radio that holds something else than it was given is not retried:
// the box names the address and both values, and a note the backup
// (keptBackup, the radio's data from before the write; empty when none).
EepromWrite WriteEepromWithRetries(CRadioConnection& connection, bool ok, const std::vector<EepromRun>& runs,
                                   CFlashLoader& loader, uint32_t flashRate, const std::string& keptBackup,
                                   const SameRadioCheck& sameRadio = {});

// Flashes the firmware with the same Retry/Cancel handling; every attempt
// starts over with the erase. ok false skips the first attempt.
bool FlashWithRetries(CFlashLoader& loader, bool ok, int portIndex, uint32_t flashRate,
                      const SameRadioCheck& sameRadio = {});

// The final reset at the flash rate, with its status line and the bar hidden.
bool ResetAtFlashRate(int portIndex, uint32_t flashRate);

} // namespace vantrel
