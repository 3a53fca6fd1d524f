#include "upgrade/UpgradeProcedure.h"

#include "codeplug/BackupList.h"
#include "codeplug/CodeplugLayout.h"
#include "codeplug/CodeplugValidator.h"
#include "codeplug/UpgradeBackup.h"
#include "data/ModelTable.h"
#include "data/VersionTable.h"
#include "flash/FlashFileSet.h"
#include "flash/FlashLoader.h"
#include "history/OperationJournal.h"
#include "link/CauseNotes.h"
#include "link/Feedback.h"
#include "link/MemoryReadBack.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"
#include "link/StringTable.h"
#include "platform/Files.h"
#include "platform/Runtime.h"
#include "platform/StopRequest.h"
#include "upgrade/LoaderSteps.h"
#include "upgrade/UpgradeImage.h"
#include "upgrade/UpgradeLengths.h"
#include "upgrade/UpgradePreflight.h"
#include "upgrade/UpgradedImage.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <span>
#include <vector>

namespace vantrel {
namespace {

constexpr uint32_t kNormalRate = 9600;
constexpr uint32_t kBeforeBootcodeMs = 1000;
constexpr uint8_t kMarkerSet = 127;

constexpr uint32_t kIdReadingEeprom = 20130;
constexpr uint32_t kIdCheckingRadio = 20143;
constexpr uint32_t kIdUpgradeFailed = 20146;
constexpr uint32_t kIdOpenEepromData = 20152;
constexpr uint32_t kIdUpgradeDone = 20154;
constexpr uint32_t kIdFirmwareKept = 20254;
constexpr uint32_t kIdAlreadyConverted = 20241;
constexpr uint32_t kIdPartlyConverted = 20242;
constexpr uint32_t kIdLengthsRefused = 20245;

constexpr int kErrorNotSupported = 1;
constexpr int kErrorBattery = 2;

bool ReadByteAt(uint32_t address, uint8_t& value)
{
    return ReadMemorySpan(&value, address, address + 1);
}

bool WriteByteAt(uint32_t address, uint8_t value)
{
    return WriteMemorySpan(&value, address, address + 1);
}

bool ReadWordAt(uint32_t address, uint32_t& value)
{
    uint8_t high = 0;
    uint8_t low = 0;
    if (!ReadByteAt(address, high) || !ReadByteAt(address + 1, low)) return false;
    value = (static_cast<uint32_t>(high) << 8) | low;
    return true;
}

uint32_t FreshSeed()
{
    std::random_device device;
    return device();
}

// One run of the upgrade: the working state of the procedure and its steps in
// order. Every step runs only while ok holds; the first failure shows its own
// message and the run ends with one summary message.
class CUpgradeRun {
public:
    CUpgradeRun(const UpgradeSettings& settings, const UpgradeHooks& hooks)
        : m_settings(settings), m_hooks(hooks), m_files(CarriedFlashFiles(settings.programFolder, settings.flashRate)),
          m_tags(hooks.tagSeed ? *hooks.tagSeed : FreshSeed())
    {
        if (!settings.firmwarePath.empty()) m_files.firmwarePath = settings.firmwarePath;
        m_files.firmwareIsSRecord = settings.firmwareSelected;
    }

    UpgradeResult Run();

private:
    bool WritesImage() const { return m_plan.hardwareCodeplug != 0 || m_plan.applicationCodeplug != 0; }
    uint32_t MarkerAddress() const { return MarkerAddressOf(m_phase3); }

    std::string EepromDataPath() const
    {
        return m_settings.programFolder + ModelTableRow(m_lookup.modelRow).eepromDataFile;
    }

    void CheckRadio(const CSerialPort& port);
    void ReadLengths();
    void CheckFiles();
    void SaveBackup();
    void SetMarkers();
    bool DownloadBootcode(); // false: the operator cancelled
    void RestoreMarkerAfterCancel();
    void ReadImage();
    bool CheckEarlierConversion(std::span<const uint8_t> read); // false: stop before any write
    void MigrateImage();
    void RestoreMarker();
    bool IsSameRadio(); // over the attached link
    void NoteVersionsAfter();
    void PointToRecovery(const std::string& backupPath);
    UpgradeResult Finish();

    UpgradeSettings m_settings;
    UpgradeHooks m_hooks;
    FlashFileSet m_files;
    TagByteSource m_tags;
    std::unique_ptr<CFlashLoader> m_loader;

    bool m_ok = true;
    int m_errorIndex = 0;
    UpgradeLookup m_lookup;
    UpgradePlan m_plan;
    bool m_phase3 = false;
    uint32_t m_imageLength = 0;
    uint32_t m_bytesRead = 0;
    uint8_t m_marker = 0;
    bool m_markerInverted = false;
    uint8_t m_tagByte = 0;
    uint8_t m_heldTag = 0; // the byte the radio held at the tag address before the run
    std::vector<uint8_t> m_image = std::vector<uint8_t>(kImageSize, 0);
    std::vector<uint8_t> m_eepromData; // the model's EEPROM data file, as checked before the run
    EepromBackup m_backup;             // who the radio is, then its EEPROM data
    std::string m_backupPath;
    uint32_t m_backupEnd = 0; // the backup holds addresses [0, m_backupEnd)
    UpgradeStage m_stage = UpgradeStage::Checking;
    // An earlier upgrade has written the converted codeplug already: only the
    // firmware is left to do.
    bool m_firmwareOnly = false;
    // The radio may be left without working firmware or codeplug from here
    // on: a failure tells the operator how to recover it.
    bool m_changing = false;
    bool m_recoveryShown = false;
};

UpgradeResult CUpgradeRun::Run()
{
    m_loader = std::make_unique<CFlashLoader>(m_files, m_settings.flashRate, m_settings.portIndex);
    SendProgress(WM_PROGRESS_OPEN, 3);

    {
        CRadioConnection normal(m_settings.portIndex, kNormalRate, m_ok);
        // Why the port did not open, before the run's own summary; the
        // note says that nothing was sent.
        if (!m_ok) {
            CurrentFeedback().ShowPortOpenFailure(PortNameFromIndex(m_settings.portIndex),
                                                  normal.Port().LastOpenError());
            ShowPortNotOpenedNote(normal.Port());
        }
        if (m_ok) CheckRadio(normal.Port());
        if (m_ok) ReadLengths();
        // Nothing is written until every file of the run has been checked
        // and every byte the run will write has been saved.
        if (m_ok) CheckFiles();
        if (m_ok) SaveBackup();
        if (m_ok) SetMarkers();
    }
    if (m_ok) {
        CurrentClock().Sleep(kBeforeBootcodeMs);
        m_stage = UpgradeStage::Bootstrap;
        if (!DownloadBootcode()) {
            RestoreMarkerAfterCancel();
            return {UpgradeOutcome::Cancelled, 0, m_backupPath, UpgradeStage::Marked};
        }
    }
    if (m_ok) ReadImage();
    if (m_ok) {
        CRadioConnection loader(m_settings.portIndex, m_settings.flashRate, m_ok);
        if (m_ok && m_firmwareOnly) RestoreMarker();
        if (m_ok && !m_firmwareOnly) MigrateImage();
        if (m_ok && WritesImage() && !m_firmwareOnly) {
            m_stage = UpgradeStage::EepromWriting;
            const std::vector<EepromRun> image{
                {0, std::vector<uint8_t>(m_image.begin(), m_image.begin() + m_imageLength)}};
            const EepromWrite written = WriteEepromWithRetries(loader, m_ok, image, *m_loader, m_settings.flashRate,
                                                               m_backupPath, [this] { return IsSameRadio(); });
            m_ok = written == EepromWrite::Written;
            // A radio that does not keep what it is given is not erased: it
            // keeps the firmware that runs its data.
            if (written == EepromWrite::Differs) CurrentFeedback().ShowNote(LoadMessageText(kIdFirmwareKept));
        }
    }
    if (m_ok && m_plan.firmware != 0) {
        m_stage = UpgradeStage::Flashing;
        m_changing = true;
        m_ok = FlashWithRetries(*m_loader, m_ok, m_settings.portIndex, m_settings.flashRate,
                                [this] { return IsSameRadio(); });
    }
    if (m_ok) m_ok = ResetAtFlashRate(m_settings.portIndex, m_settings.flashRate);
    if (m_ok) m_stage = UpgradeStage::Done;
    return Finish();
}

UpgradeResult CUpgradeRun::Finish()
{
    SendProgress(WM_PROGRESS_CLOSE);
    if (m_ok) {
        NoteVersionsAfter();
        ShowMessage(kMsgInformation, kIdUpgradeDone);
        return {UpgradeOutcome::Succeeded, 0, m_backupPath, m_stage};
    }
    if (m_changing) PointToRecovery(m_backupPath);
    ShowMessage(kMsgError, kIdUpgradeFailed + static_cast<uint32_t>(m_errorIndex));
    return {UpgradeOutcome::Failed, m_errorIndex, m_backupPath, m_stage};
}

// Once: the final box names the backup and the command that brings the radio back.
void CUpgradeRun::PointToRecovery(const std::string& backupPath)
{
    if (m_recoveryShown) return;
    m_recoveryShown = true;
    ShowRecoveryHint(RecoveryWay::Firmware, backupPath);
}

void CUpgradeRun::CheckRadio(const CSerialPort& port)
{
    if (!IsBatteryOk()) {
        // A radio that says nothing at all is no battery problem: its firmware
        // may be gone.
        if (TheRadioLink().Status() == LinkNoResponse) ShowNoAnswerNote(port);
        m_ok = false;
        m_errorIndex = kErrorBattery;
        return;
    }
    SendProgress(WM_PROGRESS_TEXT, kIdCheckingRadio);
    m_lookup = m_hooks.lookup ? m_hooks.lookup() : FindUpgradePlan();
    m_plan = m_lookup.plan;
    if (m_plan.supported == 0 || m_lookup.modelRow < 0 || m_lookup.modelRow >= kModelTableRows) {
        m_ok = false;
        m_errorIndex = kErrorNotSupported;
        return;
    }
    // Who the radio is, for the backup of its EEPROM data; a radio that keeps
    // one of these to itself is still upgraded.
    ReadBackupIdentity(m_backup);
    TheRadioLink().TakeStatus();
    SendProgress(WM_PROGRESS_POS, 1);
}

void CUpgradeRun::ReadLengths()
{
    // The hardware codeplug length tells the marker's address even when no
    // image is written, so it is read for every plan.
    uint32_t hardwareLength = 0;
    if (!ReadWordAt(kHardwareLengthAddress, hardwareLength) || !IsKnownHardwareLength(hardwareLength)) {
        m_ok = false;
        return;
    }
    m_phase3 = hardwareLength == kPhase3HardwareLength;
    if (!WritesImage()) {
        SendProgress(WM_PROGRESS_POS, 3);
        return;
    }
    SendProgress(WM_PROGRESS_POS, 2);
    uint32_t extra = 0;
    if (m_plan.applicationCodeplug != 0 || m_phase3) {
        if (!ReadWordAt(SecondLengthAddress(m_plan, hardwareLength), extra)) {
            m_ok = false;
            return;
        }
    }
    SendProgress(WM_PROGRESS_POS, 3);
    // Refused before anything is written: a length beyond the image, an erased
    // or damaged length word, or a hardware-only plan on a Phase 1/2 radio.
    m_imageLength = UpgradeImageLength(m_plan, hardwareLength, extra);
    if (m_imageLength == 0) {
        m_ok = false;
        // Lengths like these are what an EEPROM write cut short leaves behind.
        CurrentFeedback().ShowNote(LoadMessageText(kIdLengthsRefused));
        PointToRecovery(NewestBackupOf(UserDataFolder(), m_backup.serialNumber).path);
    }
}

void CUpgradeRun::CheckFiles()
{
    UpgradeNeeds needs;
    needs.files = m_files;
    needs.flashesFirmware = m_plan.firmware != 0;
    needs.eepromDataPath = EepromDataPath();
    if (ShowFileProblem(CheckUpgradeNeeds(needs, m_eepromData))) m_ok = false;
}

void CUpgradeRun::SaveBackup()
{
    // The byte the tag goes to is saved, and the tag chosen differs from it.
    if (!ReadByteAt(kTagByteAddress, m_heldTag)) {
        m_ok = false;
        return;
    }
    std::vector<uint8_t> saved;
    // Without an image the run writes only the marker.
    uint32_t end = MarkerAddress() + 1u;
    if (WritesImage()) {
        SendProgress(WM_PROGRESS_TEXT, kIdReadingEeprom);
        saved.resize(m_imageLength);
        if (!ReadMemoryRange(saved.data(), 0, m_imageLength)) {
            m_ok = false;
            return;
        }
        // Stopped before anything is saved or written when an earlier run
        // left its conversion half done.
        m_ok = CheckEarlierConversion(saved);
        if (!m_ok) return;
    }
    if (WritesImage() && !m_firmwareOnly) {
        // The codeplug steps on a copy tell how much the run will write, and
        // refuse a codeplug they cannot take while the radio is still as it was.
        std::vector<uint8_t> trial(kImageSize, 0);
        std::copy(saved.begin(), saved.end(), trial.begin());
        const PreparedImage prepared =
            PrepareUpgradeImage(trial, m_imageLength, m_plan, m_phase3, m_lookup.column, m_eepromData);
        if (prepared.refused) {
            CurrentFeedback().ShowFailureNote(prepared.refusal + " Nothing was written to the radio.");
            m_ok = false;
            return;
        }
        if (!prepared.damagedBlocks.empty()) CurrentFeedback().ShowNote(DamagedBlocksNote(prepared.damagedBlocks));
        end = std::max({m_imageLength, prepared.length, kPhase3MarkerAddress + 1u});
    }
    if (end > saved.size()) {
        const uint32_t from = static_cast<uint32_t>(saved.size());
        saved.resize(end);
        if (!ReadMemoryRange(saved.data() + from, from, end - from)) {
            m_ok = false;
            return;
        }
    }
    m_backup.kind = EepromBackupKind::Backup;
    m_backup.start = 0;
    m_backup.bytes = std::move(saved);
    m_backup.moreRuns = {{kTagByteAddress, {m_heldTag}}};
    // With the lookup's identity a recovery can redo the conversion from this file.
    KeepLookupIdentity(m_lookup, m_backup);
    m_backupPath = SaveUpgradeBackup(m_backup);
    if (m_backupPath.empty()) m_ok = false;
    m_backupEnd = end;
}

void CUpgradeRun::SetMarkers()
{
    m_stage = UpgradeStage::Marked;
    if (!ReadByteAt(MarkerAddress(), m_marker)) {
        m_ok = false;
        return;
    }
    if (m_marker < kMarkerSet) {
        m_marker = static_cast<uint8_t>(255 - m_marker);
        if (!WriteByteAt(MarkerAddress(), m_marker)) {
            m_ok = false;
            return;
        }
        m_markerInverted = true;
    }
    m_tagByte = m_tags.NextDifferentFrom(m_heldTag);
    if (!WriteByteAt(kTagByteAddress, m_tagByte)) m_ok = false;
}

bool CUpgradeRun::DownloadBootcode()
{
    const LoaderStart start = StartLoader(*m_loader);
    m_ok = start == LoaderStart::Ready;
    return start != LoaderStart::Cancelled;
}

void CUpgradeRun::RestoreMarkerAfterCancel()
{
    if (!m_markerInverted) return;
    bool opened = false;
    CRadioConnection normal(m_settings.portIndex, kNormalRate, opened);
    uint8_t value = 0;
    if (opened && ReadByteAt(MarkerAddress(), value) && WriteByteAt(MarkerAddress(), static_cast<uint8_t>(255 - value)))
        ResetRadio();
}

void CUpgradeRun::ReadImage()
{
    CRadioConnection loader(m_settings.portIndex, m_settings.flashRate, m_ok);
    if (!m_ok) return;
    uint8_t marker = 0;
    // The loader must see the marker this run set; otherwise it is not the
    // radio (or not the EEPROM) the run prepared.
    if (!ReadByteAt(MarkerAddress(), marker) || marker < kMarkerSet) {
        m_ok = false;
        return;
    }
    if (!WritesImage()) return;
    SendProgress(WM_PROGRESS_TEXT, kIdReadingEeprom);
    if (!ReadMemoryRange(m_image.data(), 0, m_imageLength)) {
        m_ok = false;
        return;
    }
    m_bytesRead = m_imageLength;
}

// A radio whose EEPROM already holds the converted codeplug (an earlier run
// stopped after writing it) must not be converted a second time.
bool CUpgradeRun::CheckEarlierConversion(std::span<const uint8_t> read)
{
    if (m_plan.applicationCodeplug == 0 || !HoldsConvertedLayout(read)) return true;
    if (ValidateCodeplugImage(read, ApplicationLayout::New).empty()) {
        CurrentFeedback().ShowNote(LoadMessageText(kIdAlreadyConverted));
        m_firmwareOnly = true;
        return true;
    }
    // Written only in part: the earlier run's backup holds the data to finish it with.
    CurrentFeedback().ShowNote(LoadMessageText(kIdPartlyConverted));
    PointToRecovery(NewestBackupOf(UserDataFolder(), m_backup.serialNumber).path);
    return false;
}

void CUpgradeRun::MigrateImage()
{
    // The file is read again: it may have changed since the check.
    std::vector<uint8_t> data;
    if (CheckEepromDataFile(EepromDataPath(), data).Found()) {
        ShowMessage(kMsgError, kIdOpenEepromData);
        m_ok = false;
        return;
    }
    const PreparedImage prepared = PrepareUpgradeImage(m_image, m_bytesRead, m_plan, m_phase3, m_lookup.column, data);
    if (prepared.refused) {
        CurrentFeedback().ShowFailureNote(prepared.refusal);
        m_ok = false;
        return;
    }
    if (WritesImage()) {
        m_imageLength = prepared.length;
        // Only bytes the backup holds are written.
        if (m_imageLength > m_backupEnd) {
            CurrentFeedback().ShowFailureNote(
                "The image to write is longer than the backup saved before the run; nothing more was written.");
            m_ok = false;
            return;
        }
    }
    // A written image carries the new layout, whose marker lies at 683, and
    // overwrites it again; without an image the marker goes back where it was
    // read, and only when this run inverted it.
    if (WritesImage()) {
        // From here on the radio may be left without a working codeplug.
        m_changing = true;
        if (!WriteByteAt(kPhase3MarkerAddress, static_cast<uint8_t>(255 - m_marker))) m_ok = false;
    } else {
        RestoreMarker();
    }
}

// The marker goes back to what it was before this run, where it was read.
void CUpgradeRun::RestoreMarker()
{
    if (m_markerInverted && !WriteByteAt(MarkerAddress(), static_cast<uint8_t>(255 - m_marker))) m_ok = false;
}

void CUpgradeRun::NoteVersionsAfter()
{
    // The carried firmware is the program's own release; a selected file's
    // version is not known. The converted codeplug's version is the radio's to tell.
    if (m_plan.firmware == 0)
        HistoryNoteVersionsAfter(m_backup.softwareVersion, {});
    else if (!m_settings.firmwareSelected)
        HistoryNoteVersionsAfter(NewestReleaseVersion(), {});
}

bool CUpgradeRun::IsSameRadio()
{
    uint8_t tag = 0;
    return ReadByteAt(kTagByteAddress, tag) && tag == m_tagByte;
}

} // namespace

UpgradeResult RunUpgrade(const UpgradeSettings& settings, const UpgradeHooks& hooks)
{
    COperationJournal journal(settings.firmwareSelected ? "flash-firmware" : "upgrade", settings.portIndex,
                              settings.flashRate);
    CUpgradeRun run(settings, hooks);
    const UpgradeResult result = run.Run();
    journal.SetOutcome(result.outcome == UpgradeOutcome::Succeeded   ? ServiceOutcome::Succeeded
                       : result.outcome == UpgradeOutcome::Cancelled ? ServiceOutcome::Cancelled
                                                                     : ServiceOutcome::Failed);
    return result;
}

} // namespace vantrel
