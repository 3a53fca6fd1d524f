#pragma once

#include <string>

namespace vantrel {

enum class PatchOutcome {
    Done,          // 20163 shown
    Unsupported,   // 20149 shown; nothing written
    NothingToUndo, // no undo data for this radio (20192); nothing written
    Failed,        // 20150 or a message of its own shown
};

// The patch tool: Patch Radio changes bytes of hardware block 3 as the patch
// file in the program folder says, keeping the radio's original block in an
// undo file in the per-user data folder; Undo patch writes that block back.
//
// Undo files are named "undo-SERIAL.vbk" (an EepromBackup of kind Undo holding
// block 3). A second patch of the same radio keeps the first undo file, so
// Undo always returns to the block as it was before the first patch; the file
// is removed only after the block has been written back.
class CPatcher {
public:
    explicit CPatcher(int portIndex);
    CPatcher(int portIndex, std::string patchFilePath);

    PatchOutcome Patch();
    PatchOutcome Undo();

    // Where the undo data of a radio with this serial number are kept.
    static std::string UndoFilePath(const std::string& serialNumber);

private:
    PatchOutcome PatchRadio();
    PatchOutcome UndoPatch();

    int m_portIndex;
    std::string m_patchFilePath;
};

} // namespace vantrel
