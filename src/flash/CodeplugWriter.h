#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// The radio's present codeplug layout and the file's, as the Codeplug Update
// dialog names them.
enum class CodeplugLayoutChoice {
    Phase12ToPhase12, // radio and file Phase 1/2
    Phase3ToPhase3,   // radio and file Phase 3
    Phase12ToPhase3,  // radio Phase 1/2, file Phase 3
};

struct CodeplugWriteOptions {
    int portIndex = 0;
    std::string codeplugPath; // the S-record file to write
    CodeplugLayoutChoice layout = CodeplugLayoutChoice::Phase3ToPhase3;
    bool writeHardware = true;    // "Write hardware codeplug"
    bool saveTuning = true;       // "Save tuning data"
    bool writeApplication = true; // "Write application codeplug"
    bool saveRegionalId = true;
    bool saveSerialNumber = true;
    bool saveEsn = true;
    // Save the EEPROM range about to be overwritten to a file in the per-user
    // data folder first; a backup that cannot be saved stops the run.
    bool backup = true;
};

enum class CodeplugWriteOutcome {
    Success,   // 20154 shown
    Failure,   // the first failure's message, then 20147
    Cancelled, // the operator cancelled a retry of the write; 20147 shown
};

// A failed write pass is offered again (Retry/Cancel box 20158) up to this
// many passes in all, so that a radio that has gone away cannot hold the run.
constexpr int kMaxCodeplugWritePasses = 5;

// Writes a codeplug file into the radio on COM<portIndex + 1> at 9600 Bd,
// keeping the radio-specific data the options ask for; the radio is reset at
// the end whatever happened. Everything is reported through the current
// feedback; the outcome tells the front end how it ended.
CodeplugWriteOutcome WriteCodeplug(const CodeplugWriteOptions& options);

} // namespace vantrel
