#include "upgrade/RestoreBackup.h"

#include "codeplug/EepromBackup.h"
#include "flash/FlashFileSet.h"
#include "flash/FlashLoader.h"
#include "link/Feedback.h"
#include "link/RadioLink.h"
#include "link/StringTable.h"
#include "upgrade/LoaderSteps.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdRestored = 20207;
constexpr uint32_t kIdRestoreFailed = 20208;
constexpr uint32_t kIdCurrentDataUnread = 20244;

} // namespace

RestoreOutcome RestoreBackup(const std::string& backupPath, int portIndex, uint32_t flashRate,
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
    if (ok) {
        const CurrentDataSave saved = SaveCurrentEeprom(runs, portIndex, flashRate);
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
        ok = WriteEepromWithRetries(connection, opened, runs, loader, flashRate);
    }
    if (ok) ok = ResetAtFlashRate(portIndex, flashRate);
    SendProgress(WM_PROGRESS_CLOSE);
    ShowMessage(ok ? kMsgInformation : kMsgError, ok ? kIdRestored : kIdRestoreFailed);
    return ok ? RestoreOutcome::Restored : RestoreOutcome::Failed;
}

} // namespace vantrel
