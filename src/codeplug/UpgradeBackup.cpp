#include "codeplug/UpgradeBackup.h"

#include "history/OperationJournal.h"
#include "link/Feedback.h"
#include "link/StringTable.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdBackupFailed = 20190;
constexpr uint32_t kIdBackupSaved = 20206;
constexpr uint32_t kIdBackupKept = 20251;
constexpr uint32_t kIdNoBackup = 20252;

} // namespace

std::string SaveUpgradeBackup(const EepromBackup& backup)
{
    std::string error;
    const std::string path = WriteEepromBackup(backup, error);
    if (path.empty()) {
        CurrentFeedback().ShowNote(error);
        ShowMessage(kMsgError, kIdBackupFailed);
        return {};
    }
    CurrentFeedback().ShowNote(MessageTextWith(kIdBackupSaved, path));
    CurrentFeedback().BackupSaved(path);
    return path;
}

void ShowBackupKeptNote(const std::string& path)
{
    CurrentFeedback().ShowNote(path.empty() ? LoadMessageText(kIdNoBackup) : MessageTextWith(kIdBackupKept, path));
}

} // namespace vantrel
