#include "upgrade/LoaderSteps.h"

#include "codeplug/CodeplugLayout.h"
#include "codeplug/EepromBackup.h"
#include "codeplug/UpgradeBackup.h"
#include "flash/FlashLoader.h"
#include "link/Feedback.h"
#include "link/MemoryReadBack.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "platform/Files.h"
#include "platform/StopRequest.h"
#include "upgrade/UpgradeLengths.h"

#include <filesystem>

namespace vantrel {
namespace {

constexpr uint32_t kIdReadingEeprom = 20130;
constexpr uint32_t kIdWritingEeprom = 20131;
constexpr uint32_t kIdResetting = 20135;
constexpr uint32_t kIdBootcodeRetry = 20153;
constexpr uint32_t kIdFlashingFailed = 20158;
constexpr uint32_t kIdRetryFlashing = 20159;
constexpr uint32_t kIdBackupDamaged = 20209;
constexpr uint32_t kIdBackupUnreadable = 20210;
constexpr uint32_t kEepromSize = 0x8000;

bool InEeprom(uint32_t start, size_t count)
{
    return start < kEepromSize && count <= kEepromSize - start;
}

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

} // namespace

bool LoadRestorableBackup(const std::string& path, EepromBackup& backup)
{
    std::string why;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(PathFromUtf8(path), ec)) {
        CurrentFeedback().ShowNote("cannot open " + path);
        ShowMessage(kMsgError, kIdBackupUnreadable);
        return false;
    }
    const bool read = ReadEepromBackup(path, backup, why);
    if (!read || !IsRestorable(backup, why)) {
        CurrentFeedback().ShowNote(read ? path + ": " + why : why);
        ShowMessage(kMsgError, kIdBackupDamaged);
        return false;
    }
    return true;
}

LoaderStart StartLoader(CFlashLoader& loader)
{
    if (loader.LoadBootcode(true)) return LoaderStart::Ready;
    if (loader.cancelled) return LoaderStart::Cancelled;
    // A stopped run asks the operator for nothing more.
    if (StopRequested()) return LoaderStart::Failed;
    ShowMessage(kMsgWarning, kIdBootcodeRetry);
    return loader.LoadBootcode(false) ? LoaderStart::Ready : LoaderStart::Failed;
}

std::vector<EepromRun> RunsOf(const EepromBackup& backup)
{
    std::vector<EepromRun> runs{{backup.start, backup.bytes}};
    runs.insert(runs.end(), backup.moreRuns.begin(), backup.moreRuns.end());
    return runs;
}

CurrentDataSave SaveCurrentEeprom(const std::vector<EepromRun>& runs, int portIndex, uint32_t flashRate,
                                  std::string& savedPath)
{
    if (runs.empty()) return CurrentDataSave::Saved;
    bool ok = false;
    CRadioConnection connection(portIndex, flashRate, ok);
    if (!ok) return CurrentDataSave::ReadFailed;
    SendProgress(WM_PROGRESS_TEXT, kIdReadingEeprom);
    EepromBackup current;
    current.kind = EepromBackupKind::Backup;
    for (const EepromRun& run : runs) {
        EepromRun now{run.start, std::vector<uint8_t>(run.bytes.size())};
        if (!ReadMemoryRange(now.bytes.data(), run.start, static_cast<uint32_t>(now.bytes.size())))
            return CurrentDataSave::ReadFailed;
        if (&run == &runs.front()) {
            current.start = now.start;
            current.bytes = std::move(now.bytes);
        } else {
            current.moreRuns.push_back(std::move(now));
        }
    }
    savedPath = SaveUpgradeBackup(current);
    return savedPath.empty() ? CurrentDataSave::SaveFailed : CurrentDataSave::Saved;
}

EepromWrite WriteEepromWithRetries(CRadioConnection& connection, bool ok, const std::vector<EepromRun>& runs,
                                   CFlashLoader& loader, uint32_t flashRate, const std::string& keptBackup,
                                   const SameRadioCheck& sameRadio)
{
    for (;;) {
        if (ok) {
            SendProgress(WM_PROGRESS_TEXT, kIdWritingEeprom);
            MemoryMismatch mismatch;
            CheckedWrite written = CheckedWrite::Done;
            for (const EepromRun& run : runs) {
                written = WriteMemoryRangeChecked(run.bytes.data(), run.start, static_cast<uint32_t>(run.bytes.size()),
                                                  mismatch);
                if (written != CheckedWrite::Done) break;
            }
            if (written == CheckedWrite::Done) return EepromWrite::Written;
            if (written == CheckedWrite::Differs) {
                // Writing again would not make the radio keep its data.
                ShowReadBackMismatch(mismatch);
                ShowBackupKeptNote(keptBackup);
                return EepromWrite::Differs;
            }
        }
        if (StopRequested() || ShowMessage(kMsgErrorRetryCancel, kIdFlashingFailed) == 0) return EepromWrite::Cancelled;
        ShowMessage(kMsgWarning, kIdRetryFlashing);
        connection.Detach();
        ok = loader.LoadBootcode(false);
        connection.Reopen(flashRate);
        if (ok && sameRadio) ok = sameRadio();
    }
}

bool FlashWithRetries(CFlashLoader& loader, bool ok, int portIndex, uint32_t flashRate, const SameRadioCheck& sameRadio)
{
    for (;;) {
        if (ok && loader.FlashFirmware()) return true;
        if (StopRequested() || ShowMessage(kMsgErrorRetryCancel, kIdFlashingFailed) == 0) return false;
        ShowMessage(kMsgWarning, kIdRetryFlashing);
        ok = loader.LoadBootcode(false);
        if (ok && sameRadio) {
            CRadioConnection connection(portIndex, flashRate, ok);
            if (ok) ok = sameRadio();
        }
    }
}

bool ResetAtFlashRate(int portIndex, uint32_t flashRate)
{
    bool ok = false;
    CRadioConnection connection(portIndex, flashRate, ok);
    if (!ok) return false;
    SendProgress(WM_PROGRESS_TEXT, kIdResetting);
    SendProgress(WM_PROGRESS_HIDEBAR);
    return ResetRadio();
}

} // namespace vantrel
