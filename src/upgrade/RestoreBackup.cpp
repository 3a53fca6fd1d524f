#include "upgrade/RestoreBackup.h"

#include "flash/FlashFileSet.h"
#include "flash/FlashLoader.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "platform/Files.h"
#include "codeplug/CodeplugLayout.h"
#include "codeplug/UpgradeBackup.h"
#include "upgrade/UpgradeLengths.h"

#include <filesystem>
#include <vector>

namespace vantrel {
namespace {

constexpr uint32_t kIdReadingEeprom = 20130;
constexpr uint32_t kIdWritingEeprom = 20131;
constexpr uint32_t kIdResetting = 20135;
constexpr uint32_t kIdBootcodeRetry = 20153;
constexpr uint32_t kIdFlashingFailed = 20158;
constexpr uint32_t kIdRetryFlashing = 20159;
constexpr uint32_t kIdRestored = 20207;
constexpr uint32_t kIdRestoreFailed = 20208;
constexpr uint32_t kIdBackupDamaged = 20209;
constexpr uint32_t kIdBackupUnreadable = 20210;
constexpr uint32_t kEepromSize = 0x8000;

bool InEeprom(uint32_t start, size_t count)
{
    return start < kEepromSize && count <= kEepromSize - start;
}

// Every run of a backup, the main one first.
std::vector<EepromRun> RunsOf(const EepromBackup& backup)
{
    std::vector<EepromRun> runs{{backup.start, backup.bytes}};
    runs.insert(runs.end(), backup.moreRuns.begin(), backup.moreRuns.end());
    return runs;
}

// A backup of EEPROM data taken before a write, inside the radio's EEPROM. One
// that starts at address 0 (an upgrade's) must begin with a whole hardware
// codeplug of a length the radio can have.
bool IsRestorable(const EepromBackup& backup, std::string& why)
{
    if (backup.kind != EepromBackupKind::Backup) {
        why = "it holds undo data of a patch, not EEPROM data to restore";
        return false;
    }
    bool inside = InEeprom(backup.start, backup.bytes.size());
    for (const EepromRun& run : backup.moreRuns)
        inside = inside && InEeprom(run.start, run.bytes.size());
    if (!inside) {
        why = "it reaches beyond the radio's EEPROM";
        return false;
    }
    if (backup.start != 0) return true;
    if (backup.bytes.size() < kPhase12HardwareLength ||
        !IsKnownHardwareLength(ReadBigEndian16(backup.bytes, kHardwareLengthAddress)) ||
        backup.bytes.size() < ReadBigEndian16(backup.bytes, kHardwareLengthAddress)) {
        why = "it does not begin with a whole hardware codeplug";
        return false;
    }
    return true;
}

enum class SaveResult { Saved, ReadFailed, SaveFailed };

// What the radio holds over the backup's range is saved before it is written
// over: a backup of another radio, or an older one of this radio, must not
// cost the connected radio the data it has now. Its identity cannot be read
// in bootstrap mode, so the file carries none.
SaveResult SaveCurrentData(const EepromBackup& backup, int portIndex, uint32_t flashRate)
{
    bool ok = false;
    CRadioConnection connection(portIndex, flashRate, ok);
    if (!ok) return SaveResult::ReadFailed;
    SendProgress(WM_PROGRESS_TEXT, kIdReadingEeprom);
    EepromBackup current;
    current.kind = EepromBackupKind::Backup;
    current.start = backup.start;
    current.bytes.resize(backup.bytes.size());
    if (!ReadMemoryRange(current.bytes.data(), backup.start, static_cast<uint32_t>(current.bytes.size())))
        return SaveResult::ReadFailed;
    for (const EepromRun& run : backup.moreRuns) {
        EepromRun& now = current.moreRuns.emplace_back(EepromRun{run.start, std::vector<uint8_t>(run.bytes.size())});
        if (!ReadMemoryRange(now.bytes.data(), run.start, static_cast<uint32_t>(now.bytes.size())))
            return SaveResult::ReadFailed;
    }
    return SaveUpgradeBackup(current).empty() ? SaveResult::SaveFailed : SaveResult::Saved;
}

bool WriteWithRetries(const EepromBackup& backup, CFlashLoader& loader, int portIndex, uint32_t flashRate)
{
    bool ok = false;
    CRadioConnection connection(portIndex, flashRate, ok);
    const std::vector<EepromRun> runs = RunsOf(backup);
    for (;;) {
        if (ok) {
            SendProgress(WM_PROGRESS_TEXT, kIdWritingEeprom);
            bool written = true;
            for (const EepromRun& run : runs)
                written =
                    written && WriteMemoryRange(run.bytes.data(), run.start, static_cast<uint32_t>(run.bytes.size()));
            if (written) return true;
        }
        if (ShowMessage(kMsgErrorRetryCancel, kIdFlashingFailed) == 0) return false;
        ShowMessage(kMsgWarning, kIdRetryFlashing);
        connection.Detach();
        ok = loader.LoadBootcode(false);
        connection.Reopen(flashRate);
    }
}

} // namespace

RestoreOutcome RestoreBackup(const std::string& backupPath, int portIndex, uint32_t flashRate,
                             const std::string& programFolder)
{
    // Refused before anything is sent: a missing, damaged or truncated file.
    EepromBackup backup;
    std::string why;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(PathFromUtf8(backupPath), ec)) {
        CurrentFeedback().ShowNote("cannot open " + backupPath);
        ShowMessage(kMsgError, kIdBackupUnreadable);
        return RestoreOutcome::Failed;
    }
    const bool read = ReadEepromBackup(backupPath, backup, why);
    if (!read || !IsRestorable(backup, why)) {
        CurrentFeedback().ShowNote(read ? backupPath + ": " + why : why);
        ShowMessage(kMsgError, kIdBackupDamaged);
        return RestoreOutcome::Failed;
    }

    CFlashLoader loader(CarriedFlashFiles(programFolder, flashRate), flashRate, portIndex);
    SendProgress(WM_PROGRESS_OPEN, 3);
    bool ok = loader.LoadBootcode(true);
    if (!ok && loader.cancelled) return RestoreOutcome::Cancelled;
    if (!ok) {
        ShowMessage(kMsgWarning, kIdBootcodeRetry);
        ok = loader.LoadBootcode(false);
    }
    if (ok) {
        const SaveResult saved = SaveCurrentData(backup, portIndex, flashRate);
        if (saved == SaveResult::SaveFailed) {
            // 20190 has told the operator that nothing was written.
            SendProgress(WM_PROGRESS_CLOSE);
            return RestoreOutcome::Failed;
        }
        if (saved == SaveResult::ReadFailed) {
            CurrentFeedback().ShowNote("the radio's current EEPROM data could not be read; nothing was written");
            ok = false;
        }
    }
    if (ok) ok = WriteWithRetries(backup, loader, portIndex, flashRate);
    if (ok) {
        CRadioConnection connection(portIndex, flashRate, ok);
        if (ok) {
            SendProgress(WM_PROGRESS_TEXT, kIdResetting);
            SendProgress(WM_PROGRESS_HIDEBAR);
            ok = ResetRadio();
        }
    }
    SendProgress(WM_PROGRESS_CLOSE);
    ShowMessage(ok ? kMsgInformation : kMsgError, ok ? kIdRestored : kIdRestoreFailed);
    return ok ? RestoreOutcome::Restored : RestoreOutcome::Failed;
}

} // namespace vantrel
