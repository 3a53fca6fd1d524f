#include "upgrade/RestoreBackup.h"

#include "flash/FlashFileSet.h"
#include "flash/FlashLoader.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "upgrade/CodeplugLayout.h"
#include "upgrade/UpgradeBackup.h"
#include "upgrade/UpgradeLengths.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdWritingEeprom = 20131;
constexpr uint32_t kIdResetting = 20135;
constexpr uint32_t kIdBootcodeRetry = 20153;
constexpr uint32_t kIdFlashingFailed = 20158;
constexpr uint32_t kIdRetryFlashing = 20159;
constexpr uint32_t kIdRestored = 20208;
constexpr uint32_t kIdRestoreFailed = 20209;
constexpr uint32_t kIdBackupDamaged = 20210;
constexpr uint32_t kIdBackupUnreadable = 20211;

// What an upgrade saves: a whole hardware codeplug at least, and never more
// than the upgrade's image.
bool IsRestorableImage(const std::vector<uint8_t>& eeprom)
{
    if (eeprom.size() < kPhase12HardwareLength || eeprom.size() > kImageSize) return false;
    const uint32_t hardwareLength = ReadBigEndian16(eeprom, kHardwareLengthAddress);
    return IsKnownHardwareLength(hardwareLength) && eeprom.size() > hardwareLength;
}

bool WriteWithRetries(const std::vector<uint8_t>& eeprom, CFlashLoader& loader, int portIndex, uint32_t flashRate)
{
    bool ok = false;
    CRadioConnection connection(portIndex, flashRate, ok);
    for (;;) {
        if (ok) {
            SendProgress(WM_PROGRESS_TEXT, kIdWritingEeprom);
            if (WriteMemoryRange(eeprom.data(), 0, static_cast<uint32_t>(eeprom.size()))) return true;
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
    EepromBackupContents backup;
    switch (LoadUpgradeBackup(backupPath, backup)) {
    case BackupLoad::Ok:
        if (IsRestorableImage(backup.eeprom)) break;
        [[fallthrough]];
    case BackupLoad::Damaged:
        ShowMessage(kMsgError, kIdBackupDamaged);
        return RestoreOutcome::Failed;
    case BackupLoad::OpenFailed:
        ShowMessage(kMsgError, kIdBackupUnreadable);
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
    if (ok) ok = WriteWithRetries(backup.eeprom, loader, portIndex, flashRate);
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
