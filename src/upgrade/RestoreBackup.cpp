#include "upgrade/RestoreBackup.h"

#include "codeplug/EepromBackup.h"
#include "flash/FlashFileSet.h"
#include "flash/FlashLoader.h"
#include "history/OperationJournal.h"
#include "link/Feedback.h"
#include "link/RadioLink.h"
#include "link/StringTable.h"
#include "upgrade/LoaderSteps.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdRestored = 20207;
constexpr uint32_t kIdRestoreFailed = 20208;
constexpr uint32_t kIdCurrentDataUnread = 20244;

RestoreOutcome RestoreFrom(const std::string& backupPath, int portIndex, uint32_t flashRate,
                           const std::string& programFolder);

} // namespace

RestoreOutcome RestoreBackup(const std::string& backupPath, int portIndex, uint32_t flashRate,
                             const std::string& programFolder)
{
    COperationJournal journal("restore", portIndex, flashRate);
    HistoryNoteDetail("Restored from: " + backupPath);
    const RestoreOutcome outcome = RestoreFrom(backupPath, portIndex, flashRate, programFolder);
    journal.SetOutcome(outcome == RestoreOutcome::Restored    ? ServiceOutcome::Succeeded
                       : outcome == RestoreOutcome::Cancelled ? ServiceOutcome::Cancelled
                                                              : ServiceOutcome::Failed);
    return outcome;
}

namespace {

RestoreOutcome RestoreFrom(const std::string& backupPath, int portIndex, uint32_t flashRate,
                           const std::string& programFolder)
{
    // Refused before anything is sent: a missing, damaged or truncated file.
    EepromBackup backup;
    if (!LoadRestorableBackup(backupPath, backup)) return RestoreOutcome::Failed;

    CFlashLoader loader(CarriedFlashFiles(programFolder, flashRate), flashRate, portIndex);
    SendProgress(WM_PROGRESS_OPEN, 3);
    const LoaderStart start = StartLoader(loader);
    if (start == LoaderStart::Cancelled) return RestoreOutcome::Cancelled;
    bool ok = start == LoaderStart::Ready;
    const std::vector<EepromRun> runs = RunsOf(backup);
    std::string savedPath;
    if (ok) {
        const CurrentDataSave saved = SaveCurrentEeprom(runs, portIndex, flashRate, savedPath);
        if (saved == CurrentDataSave::SaveFailed) {
            // 20190 has told the operator that nothing was written.
            SendProgress(WM_PROGRESS_CLOSE);
            return RestoreOutcome::Failed;
        }
        if (saved == CurrentDataSave::ReadFailed) {
            CurrentFeedback().ShowNote(LoadMessageText(kIdCurrentDataUnread));
            ok = false;
        }
    }
    if (ok) {
        bool opened = false;
        CRadioConnection connection(portIndex, flashRate, opened);
        ok = WriteEepromWithRetries(connection, opened, runs, loader, flashRate, savedPath) == EepromWrite::Written;
    }
    if (ok) ok = ResetAtFlashRate(portIndex, flashRate);
    SendProgress(WM_PROGRESS_CLOSE);
    ShowMessage(ok ? kMsgInformation : kMsgError, ok ? kIdRestored : kIdRestoreFailed);
    return ok ? RestoreOutcome::Restored : RestoreOutcome::Failed;
}

} // namespace

} // namespace vantrel
