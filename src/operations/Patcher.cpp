#include "operations/Patcher.h"

#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "codeplug/EepromBackup.h"
#include "codeplug/UpgradeBackup.h"
#include "operations/HardwareBlockTransfer.h"
#include "operations/PatchFile.h"
#include "operations/RadioInfoFormat.h"
#include "platform/Files.h"
#include "codeplug/BlockChecksum.h"

#include <algorithm>
#include <filesystem>

namespace vantrel {
namespace {

constexpr uint32_t kNormalRate = 9600;
constexpr uint32_t kProgressRange = 14;
constexpr int kPatchedBlock = 3;
constexpr uint32_t kIdUnsupported = 20149;
constexpr uint32_t kIdFailed = 20150;
constexpr uint32_t kIdPatching = 20161;
constexpr uint32_t kIdUnpatching = 20162;
constexpr uint32_t kIdDone = 20163;
constexpr uint32_t kIdPatchFileInvalid = 20191;
constexpr uint32_t kIdUndoNotSaved = 20192;
constexpr uint32_t kIdNoUndoData = 20193;

// What the patch tool needs to know of the radio before touching it.
struct RadioIdentity {
    bool portOpen = false;
    OpenResult portError;    // why the port did not open
    bool answered = false;   // false: the radio could not be read at all
    std::string modelNumber; // empty when the radio does not give it
    std::string serialNumber;
    std::string softwareVersion;
    std::string codeplugVersion;
    uint16_t hardwareLength = 0; // EEPROM bytes 0 and 1: 512 or 640 on a sound radio

    bool KnownGeneration() const
    {
        return hardwareLength == kPhase12HardwareLength || hardwareLength == kPhase3HardwareLength;
    }
    bool Phase3() const { return hardwareLength == kPhase3HardwareLength; }
};

// An item the radio refuses (not supported, or an intact answer that is not
// the value) reads as empty; a broken or missing answer means the radio is
// not answering.
bool ReadItemText(uint8_t item, std::string& text)
{
    uint8_t value[kInfoBufferSize] = {};
    uint32_t length = 0;
    text.clear();
    if (ReadInfo(value, item, length)) {
        text = FormatText(value, length);
        return true;
    }
    const int32_t status = TheRadioLink().TakeStatus();
    return status == LinkNotSupported || status == LinkOk;
}

RadioIdentity ReadRadioIdentity(int portIndex)
{
    RadioIdentity id;
    CRadioConnection connection(portIndex, kNormalRate, id.portOpen);
    if (!id.portOpen) {
        id.portError = connection.Port().LastOpenError();
        return id;
    }
    uint8_t length[2] = {};
    id.answered = ReadItemText(kItemModelNumber, id.modelNumber) && ReadItemText(kItemSerialNumber, id.serialNumber) &&
                  ReadItemText(kItemSoftwareVersion, id.softwareVersion) &&
                  ReadItemText(kItemCodeplugVersion, id.codeplugVersion) &&
                  ReadMemorySpan(length, kHardwareLengthAddress, kHardwareLengthAddress + 2u);
    id.hardwareLength = ReadBigEndian16(length, 0);
    return id;
}

// Tells the operator that the radio could not be reached.
void ShowUnreachable(const RadioIdentity& id, int portIndex)
{
    if (!id.portOpen) CurrentFeedback().ShowPortOpenFailure(PortNameFromIndex(portIndex), id.portError);
}

// Ends a run that stops before the block transfer's write (which closes the
// window itself) with its message.
PatchOutcome Stop(PatchOutcome outcome, uint32_t id, const std::string& note = {})
{
    SendProgress(WM_PROGRESS_CLOSE);
    ShowMessage(kMsgError, id);
    if (!note.empty()) CurrentFeedback().ShowNote(note);
    return outcome;
}

// The undo data must be block 3 of this radio's generation, saved from this radio.
bool UndoDataFits(const EepromBackup& undo, const RadioIdentity& id, std::string& why)
{
    const HardwareBlock& block = HardwareBlocks(id.Phase3())[kPatchedBlock - 1];
    if (undo.kind != EepromBackupKind::Undo)
        why = "it is not undo data";
    else if (undo.serialNumber != id.serialNumber)
        why = "it was saved from radio " + undo.serialNumber;
    else if (undo.start != block.start || undo.bytes.size() != block.length)
        why = "it holds another block than this radio's (a radio of the other hardware generation?)";
    else
        return true;
    return false;
}

// A block of the radio as a file to keep, with the radio's identity.
EepromBackup BlockCopy(EepromBackupKind kind, const RadioIdentity& id, const HardwareBlock& block,
                       const uint8_t* bytes)
{
    EepromBackup copy;
    copy.kind = kind;
    copy.modelNumber = id.modelNumber;
    copy.serialNumber = id.serialNumber;
    copy.softwareVersion = id.softwareVersion;
    copy.start = block.start;
    copy.bytes.assign(bytes, bytes + block.length);
    return copy;
}

// What the radio holds in a block before it is written over, saved as a
// backup; false (20190 shown: nothing was written) when it cannot be saved.
bool SaveBlockBeforeWrite(const RadioIdentity& id, const HardwareBlock& block, const uint8_t* bytes)
{
    if (!SaveUpgradeBackup(BlockCopy(EepromBackupKind::Backup, id, block, bytes)).empty()) return true;
    SendProgress(WM_PROGRESS_CLOSE);
    return false;
}

PatchOutcome Finish(bool written)
{
    if (!written) {
        ShowMessage(kMsgError, kIdFailed);
        return PatchOutcome::Failed;
    }
    ShowMessage(kMsgInformation, kIdDone);
    return PatchOutcome::Done;
}

} // namespace

CPatcher::CPatcher(int portIndex) : CPatcher(portIndex, ProgramFolder() + kPatchFileName) {}

CPatcher::CPatcher(int portIndex, std::string patchFilePath)
    : m_portIndex(portIndex), m_patchFilePath(std::move(patchFilePath))
{
}

std::string CPatcher::UndoFilePath(const std::string& serialNumber)
{
    const std::string folder = UserDataFolder();
    if (folder.empty()) return {};
    return folder + "undo-" + FileNamePart(serialNumber) + kBackupExtension;
}

PatchOutcome CPatcher::Patch()
{
    PatchDescription patch;
    std::string error;
    if (!LoadPatchFile(m_patchFilePath, patch, error)) {
        ShowMessage(kMsgError, kIdPatchFileInvalid);
        CurrentFeedback().ShowNote(error);
        return PatchOutcome::Failed;
    }

    if (!patch.name.empty()) CurrentFeedback().ShowNote("Patch: " + patch.name);
    // The window opens before the read sends its range and positions.
    SendProgress(WM_PROGRESS_OPEN, kProgressRange);
    SendProgress(WM_PROGRESS_TEXT, kIdPatching);
    const RadioIdentity id = ReadRadioIdentity(m_portIndex);
    if (!id.answered) {
        ShowUnreachable(id, m_portIndex);
        return Stop(PatchOutcome::Failed, kIdFailed);
    }
    // Without a serial number there is nowhere to keep the undo data.
    if (!id.KnownGeneration() || id.serialNumber.empty() ||
        !patch.Supports(id.modelNumber, id.codeplugVersion, id.Phase3()))
        return Stop(PatchOutcome::Unsupported, kIdUnsupported);

    HardwareCodeplugImage image;
    image.generation = id.Phase3() ? 1 : 0;
    CHardwareBlockTransfer transfer(m_portIndex, image);
    if (!transfer.Read()) return Stop(PatchOutcome::Failed, kIdFailed);
    const HardwareBlock& block = image.Block(kPatchedBlock);
    uint8_t* bytes = image.At(block.start);
    // A block that is already damaged would be hidden by a fresh checksum.
    if (BlockChecksum(bytes, block.length - 1) != bytes[block.length - 1])
        return Stop(PatchOutcome::Failed, kIdFailed, "Block 3 of the radio has a wrong checksum; it was not patched.");

    const std::string undoPath = UndoFilePath(id.serialNumber);
    std::error_code ec;
    if (!undoPath.empty() && std::filesystem::exists(PathFromUtf8(undoPath), ec)) {
        // An earlier patch's undo data hold the block as it was first; they stay.
        EepromBackup earlier;
        std::string why;
        if (!ReadEepromBackup(undoPath, earlier, why) || !UndoDataFits(earlier, id, why))
            return Stop(PatchOutcome::Failed, kIdFailed, "The undo data in " + undoPath + " cannot be used: " + why);
        CurrentFeedback().ShowNote("Keeping the undo data of the first patch in " + undoPath);
        // The undo data hold the block before the first patch, not what the
        // radio holds now.
        if (!SaveBlockBeforeWrite(id, block, bytes)) return PatchOutcome::Failed;
    } else {
        const EepromBackup undo = BlockCopy(EepromBackupKind::Undo, id, block, bytes);
        if (undoPath.empty()) error = "there is no per-user data folder to keep it in";
        if (undoPath.empty() || !SaveEepromBackup(undoPath, undo, error))
            return Stop(PatchOutcome::Failed, kIdUndoNotSaved, "Undo data not saved: " + error);
        CurrentFeedback().ShowNote("Undo data saved to " + undoPath);
        CurrentFeedback().BackupSaved(undoPath);
    }

    for (const PatchByte& change : patch.BytesFor(id.Phase3()))
        bytes[change.offset] = change.value;
    return Finish(transfer.Write());
}

PatchOutcome CPatcher::Undo()
{
    SendProgress(WM_PROGRESS_OPEN, kProgressRange);
    SendProgress(WM_PROGRESS_TEXT, kIdUnpatching);
    const RadioIdentity id = ReadRadioIdentity(m_portIndex);
    if (!id.answered) {
        ShowUnreachable(id, m_portIndex);
        return Stop(PatchOutcome::Failed, kIdFailed);
    }
    if (!id.KnownGeneration()) return Stop(PatchOutcome::Unsupported, kIdUnsupported);
    const std::string undoPath = id.serialNumber.empty() ? std::string() : UndoFilePath(id.serialNumber);
    std::error_code ec;
    if (undoPath.empty() || !std::filesystem::exists(PathFromUtf8(undoPath), ec))
        return Stop(PatchOutcome::NothingToUndo, kIdNoUndoData);

    EepromBackup undo;
    std::string why;
    if (!ReadEepromBackup(undoPath, undo, why) || !UndoDataFits(undo, id, why))
        return Stop(PatchOutcome::Failed, kIdFailed, "The undo data in " + undoPath + " cannot be used: " + why);

    HardwareCodeplugImage image;
    image.generation = id.Phase3() ? 1 : 0;
    CHardwareBlockTransfer transfer(m_portIndex, image);
    // What the radio holds now is saved before the undo data go over it.
    if (!transfer.Read()) return Stop(PatchOutcome::Failed, kIdFailed);
    const HardwareBlock& block = image.Block(kPatchedBlock);
    if (!SaveBlockBeforeWrite(id, block, image.At(block.start))) return PatchOutcome::Failed;
    std::copy(undo.bytes.begin(), undo.bytes.end(), image.At(undo.start));
    const bool written = transfer.Write();
    // The undo data go only once the radio has its block back.
    if (written && !std::filesystem::remove(PathFromUtf8(undoPath), ec))
        CurrentFeedback().ShowNote("The undo data in " + undoPath + " could not be removed.");
    return Finish(written);
}

} // namespace vantrel
