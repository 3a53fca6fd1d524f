#include "codeplug/UpgradeBackup.h"

#include "link/Feedback.h"
#include "link/StringTable.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdBackupFailed = 20190;
constexpr uint32_t kIdBackupSaved = 20206;

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
    std::string note = LoadMessageText(kIdBackupSaved);
    if (const size_t at = note.find("%s"); at != std::string::npos) note.replace(at, 2, path);
    CurrentFeedback().ShowNote(note);
    CurrentFeedback().BackupSaved(path);
    return path;
}

} // namespace vantrel
