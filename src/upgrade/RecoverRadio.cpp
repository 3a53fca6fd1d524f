#include "upgrade/RecoverRadio.h"

#include "codeplug/CodeplugLayout.h"
#include "codeplug/EepromBackup.h"
#include "flash/FlashFileSet.h"
#include "flash/FlashLoader.h"
#include "history/OperationJournal.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "link/StringTable.h"
#include "upgrade/LoaderSteps.h"
#include "upgrade/UpgradedImage.h"

#include <vector>

namespace vantrel {
namespace {

constexpr uint32_t kIdOpenEepromData = 20152;
constexpr uint32_t kIdBackupDamaged = 20209;
constexpr uint32_t kIdRecovered = 20230;
constexpr uint32_t kIdRecoveryFailed = 20231;
constexpr uint32_t kIdNothingChosen = 20232;
constexpr uint32_t kIdEepromDataFrom = 20243;
constexpr uint32_t kIdCurrentDataUnread = 20244;
constexpr uint32_t kIdRecovering = 20246;

class CRecoveryRun {
public:
    explicit CRecoveryRun(const RecoverySettings& settings) : m_settings(settings), m_files(Files(settings)) {}

    RecoveryOutcome Run();

private:
    static FlashFileSet Files(const RecoverySettings& settings)
    {
        FlashFileSet files = CarriedFlashFiles(settings.programFolder, settings.flashRate);
        if (!settings.firmwarePath.empty()) files.firmwarePath = settings.firmwarePath;
        files.firmwareIsSRecord = settings.firmwareSelected;
        return files;
    }
    bool WritesEeprom() const { return !m_settings.backupPath.empty(); }

    bool Check(CFlashLoader& loader);
    bool ChooseEepromData(const EepromBackup& backup);
    void WriteEeprom(CFlashLoader& loader);
    void Flash(CFlashLoader& loader);
    RecoveryOutcome Finish();

    RecoverySettings m_settings;
    FlashFileSet m_files;
    bool m_ok = true;
    // The EEPROM data to write: where each run starts and its bytes.
    std::vector<EepromRun> m_runs;
    bool m_told = false; // the failure's own message was the last word
};

RecoveryOutcome CRecoveryRun::Run()
{
    CFlashLoader loader(m_files, m_settings.flashRate, m_settings.portIndex);
    if (!Check(loader)) return RecoveryOutcome::Failed;

    SendProgress(WM_PROGRESS_OPEN, 3);
    // What runs while the operator reads the bootstrap prompt.
    SendProgress(WM_PROGRESS_TEXT, kIdRecovering);
    const LoaderStart start = StartLoader(loader);
    if (start == LoaderStart::Cancelled) return RecoveryOutcome::Cancelled;
    m_ok = start == LoaderStart::Ready;
    if (m_ok && WritesEeprom()) WriteEeprom(loader);
    if (m_ok && m_settings.writeFirmware) Flash(loader);
    if (m_ok) m_ok = ResetAtFlashRate(m_settings.portIndex, m_settings.flashRate);
    return Finish();
}

// Everything the run needs, read and checked before the radio is asked for.
bool CRecoveryRun::Check(CFlashLoader& loader)
{
    if (!m_settings.writeFirmware && !WritesEeprom()) {
        ShowMessage(kMsgError, kIdNothingChosen);
        return false;
    }
    if (WritesEeprom()) {
        EepromBackup backup;
        if (!LoadRestorableBackup(m_settings.backupPath, backup) || !ChooseEepromData(backup)) return false;
    }
    return !m_settings.writeFirmware || loader.CheckFirmware();
}

bool CRecoveryRun::ChooseEepromData(const EepromBackup& backup)
{
    std::string why = "written as saved, without the firmware";
    BackupImage kind = BackupImage::AsSaved;
    std::vector<uint8_t> upgraded;
    // New firmware needs the codeplug in its own layout: what the upgrade
    // would have written, worked out from the data it saved.
    if (m_settings.writeFirmware) kind = UpgradedImageFromBackup(backup, m_settings.programFolder, upgraded, why);
    CurrentFeedback().ShowNote(MessageWith(kIdEepromDataFrom, {m_settings.backupPath, why}));
    switch (kind) {
    case BackupImage::Upgraded:
        m_runs = {{0, std::move(upgraded)}};
        return true;
    case BackupImage::AsSaved:
        m_runs = RunsOf(backup);
        return true;
    case BackupImage::NoDataFile:
        ShowMessage(kMsgError, kIdOpenEepromData);
        return false;
    case BackupImage::Refused:
        break;
    }
    ShowMessage(kMsgError, kIdBackupDamaged);
    return false;
}

void CRecoveryRun::WriteEeprom(CFlashLoader& loader)
{
    std::string savedPath;
    const CurrentDataSave saved = SaveCurrentEeprom(m_runs, m_settings.portIndex, m_settings.flashRate, savedPath);
    if (saved != CurrentDataSave::Saved) {
        // 20190 has already told the operator that nothing was written.
        m_told = saved == CurrentDataSave::SaveFailed;
        if (saved == CurrentDataSave::ReadFailed) CurrentFeedback().ShowNote(LoadMessageText(kIdCurrentDataUnread));
        m_ok = false;
        return;
    }
    bool opened = false;
    CRadioConnection connection(m_settings.portIndex, m_settings.flashRate, opened);
    m_ok = WriteEepromWithRetries(connection, opened, m_runs, loader, m_settings.flashRate, savedPath) ==
           EepromWrite::Written;
}

void CRecoveryRun::Flash(CFlashLoader& loader)
{
    // The tag byte tells this radio from another one connected for a retry.
    uint8_t tag = 0;
    {
        CRadioConnection connection(m_settings.portIndex, m_settings.flashRate, m_ok);
        if (m_ok) m_ok = ReadMemorySpan(&tag, kTagByteAddress, kTagByteAddress + 1);
    }
    const SameRadioCheck sameRadio = [tag] {
        uint8_t now = 0;
        return ReadMemorySpan(&now, kTagByteAddress, kTagByteAddress + 1) && now == tag;
    };
    m_ok = FlashWithRetries(loader, m_ok, m_settings.portIndex, m_settings.flashRate, sameRadio);
}

RecoveryOutcome CRecoveryRun::Finish()
{
    SendProgress(WM_PROGRESS_CLOSE);
    if (m_ok) {
        ShowMessage(kMsgInformation, kIdRecovered);
        return RecoveryOutcome::Recovered;
    }
    if (m_told) return RecoveryOutcome::Failed;
    if (m_settings.writeFirmware) {
        ShowRecoveryHint(RecoveryWay::Firmware, m_settings.backupPath);
    } else {
        ShowRecoveryHint(RecoveryWay::EepromOnly, m_settings.backupPath);
    }
    ShowMessage(kMsgError, kIdRecoveryFailed);
    return RecoveryOutcome::Failed;
}

} // namespace

RecoveryOutcome RecoverRadio(const RecoverySettings& settings)
{
    COperationJournal journal("recovery", settings.portIndex, settings.flashRate);
    if (!settings.backupPath.empty()) HistoryNoteDetail("Recovered from: " + settings.backupPath);
    const RecoveryOutcome outcome = CRecoveryRun(settings).Run();
    journal.SetOutcome(outcome == RecoveryOutcome::Recovered   ? ServiceOutcome::Succeeded
                       : outcome == RecoveryOutcome::Cancelled ? ServiceOutcome::Cancelled
                                                               : ServiceOutcome::Failed);
    return outcome;
}

} // namespace vantrel
