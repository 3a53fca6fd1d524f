#include "flash/CodeplugWriter.h"

#include "codeplug/CodeplugLayout.h"
#include "codeplug/EepromBackup.h"
#include "codeplug/UpgradeBackup.h"
#include "flash/CodeplugMerge.h"
#include "history/OperationJournal.h"
#include "images/SRecordFile.h"
#include "link/Feedback.h"
#include "link/MemoryReadBack.h"
#include "link/RadioCommands.h"
#include "link/RadioLink.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

namespace vantrel {
namespace {

constexpr uint32_t kNormalRate = 9600;
constexpr uint32_t kProgressSteps = 4;
constexpr uint32_t kIdBufferError = 20108;
constexpr uint32_t kIdSRecordError = 20111;
constexpr uint32_t kIdReadingEeprom = 20130;
constexpr uint32_t kIdResetting = 20135;
constexpr uint32_t kIdChecking = 20143;
constexpr uint32_t kIdWritingEeprom = 20144;
constexpr uint32_t kIdFailed = 20147;
constexpr uint32_t kIdOpenFileFailed = 20152;
constexpr uint32_t kIdDone = 20154;
constexpr uint32_t kIdWriteFailedRetry = 20158;

constexpr const char* kRadioReadFailed = "Reading the radio's data to keep failed; nothing was written to the radio.";

// The tuning block is read in these four commands; the last one ends where the
// radio's tuning block ends (117 or 123).
constexpr uint16_t kTuningReadBounds[] = {21, 51, 81, 111};

// The addresses one write pass covers: [start, end), empty when nothing is written.
struct WriteRange {
    uint32_t start = 0;
    uint32_t end = 0;
    bool Empty() const { return end <= start; }
};

class CodeplugWriteRun {
public:
    explicit CodeplugWriteRun(const CodeplugWriteOptions& options)
        : m_options(options), m_layouts(LayoutsOf(options.layout)), m_hardwareSize(HardwareLength(m_layouts.filePhase3))
    {
    }

    CodeplugWriteOutcome Run();

private:
    void ReadTuning();
    void ReadIdentity();
    void LoadImage();
    void MergeKeptData();
    WriteRange RangeToWrite() const;
    void SaveBackup(const WriteRange& range);
    CheckedWrite WritePass(MemoryMismatch& mismatch);
    void WriteWithRetries();

    const CodeplugWriteOptions& m_options;
    const CodeplugLayoutPair m_layouts;
    const uint32_t m_hardwareSize; // S: the file layout's hardware codeplug
    bool m_ok = true;
    bool m_cancelled = false;
    KeptRadioData m_kept;
    std::vector<uint8_t> m_image;
    uint32_t m_imageLength = 0;
    std::string m_backupPath; // empty when the run saved none
};

void CodeplugWriteRun::ReadTuning()
{
    const bool reading = m_ok; // false: the port did not open, nothing was read
    const uint32_t end = kTuningReadStart + TuningByteCount(m_layouts.radioPhase3);
    for (size_t i = 0; i < std::size(kTuningReadBounds) && m_ok; ++i) {
        const uint32_t from = kTuningReadBounds[i];
        const uint32_t to = i + 1 < std::size(kTuningReadBounds) ? kTuningReadBounds[i + 1] : end;
        m_ok = ReadMemorySpan(m_kept.tuning.data() + (from - kTuningReadStart), from, to);
    }
    m_kept.hasTuning = m_ok;
    if (reading && !m_ok) CurrentFeedback().ShowFailureNote(kRadioReadFailed);
    SendProgress(WM_PROGRESS_POS, m_options.writeApplication ? 1 : 4);
}

void CodeplugWriteRun::ReadIdentity()
{
    const IdentityAddresses at = IdentityAddressesOf(m_layouts.radioPhase3);
    if (m_options.saveRegionalId && m_ok) {
        m_ok = ReadMemorySpan(&m_kept.regionalId, at.regionalId, at.regionalId + 1u);
        m_kept.hasRegionalId = m_ok;
    }
    SendProgress(WM_PROGRESS_POS, 2);
    if (m_options.saveSerialNumber && m_ok) {
        m_ok = ReadMemorySpan(m_kept.serialNumber.data(), at.serialNumber, at.serialNumber + kIdentitySerialSize);
        m_kept.hasSerialNumber = m_ok;
    }
    SendProgress(WM_PROGRESS_POS, 3);
    if (m_options.saveEsn && m_ok) {
        m_ok = ReadMemorySpan(m_kept.esn.data(), at.esn, at.esn + kIdentityEsnSize);
        m_kept.hasEsn = m_ok;
    }
    if (!m_ok) CurrentFeedback().ShowFailureNote(kRadioReadFailed);
    SendProgress(WM_PROGRESS_POS, 4);
}

void CodeplugWriteRun::LoadImage()
{
    // The one allocation of the run; failing it is reported, not thrown on.
    try {
        m_image.assign(kImageSize, 0);
    } catch (const std::bad_alloc&) {
        ShowMessage(kMsgError, kIdBufferError);
        m_ok = false;
        return;
    }
    if (!m_ok) return;
    CSRecordFile file(static_cast<uint32_t>(kImageSize));
    if (!file.Open(m_options.codeplugPath)) {
        ShowMessage(kMsgError, kIdOpenFileFailed);
        m_ok = false;
        return;
    }
    // The reader refuses an image larger than the buffer rather than cut it.
    ImageBuffer buffer{m_image.data(), static_cast<uint32_t>(m_image.size()), 0};
    const bool loaded = file.LoadImage(buffer);
    m_imageLength = buffer.length;
    std::string why;
    if (!loaded) {
        // The reader's own fault says it.
    } else if (file.EndedEarly()) {
        why = "Reading the codeplug file stopped at a line that is not an S-record, before its end.";
    } else if (m_options.writeHardware && m_imageLength < m_hardwareSize) {
        // A hardware codeplug shorter than the layout's would be completed
        // with bytes the file never had.
        why = "The codeplug file holds ";
        why += std::to_string(m_imageLength);
        why += " bytes, less than its hardware codeplug.";
    } else if (m_imageLength < 2 || ReadBigEndian16(m_image, kHardwareLengthAddress) != m_hardwareSize) {
        // The file must be of the layout chosen: its length word tells. A file
        // of the other layout, or one shifted by a header record, would put
        // the radio's kept data and the blocks in the wrong places.
        const uint32_t word = m_imageLength < 2 ? 0 : ReadBigEndian16(m_image, kHardwareLengthAddress);
        why = "The codeplug file's hardware codeplug length is ";
        why += std::to_string(word);
        why += "; the layout chosen needs ";
        why += std::to_string(m_hardwareSize);
        why += ". Nothing was written to the radio.";
    } else {
        return;
    }
    ShowMessage(kMsgError, kIdSRecordError);
    if (!why.empty()) CurrentFeedback().ShowFailureNote(why);
    m_ok = false;
}

void CodeplugWriteRun::MergeKeptData()
{
    if (m_options.writeHardware && m_options.saveTuning && m_ok) MergeTuning(m_image, m_options.layout, m_kept);
    if (m_options.writeApplication && m_ok) MergeIdentity(m_image, m_layouts.filePhase3, m_kept);
}

WriteRange CodeplugWriteRun::RangeToWrite() const
{
    const bool hardware = m_options.writeHardware;
    const bool application = m_options.writeApplication && m_imageLength > m_hardwareSize;
    if (hardware && m_options.writeApplication) return {0, m_imageLength};
    if (hardware) return {0, m_hardwareSize};
    if (application) return {m_hardwareSize, m_imageLength};
    return {};
}

void CodeplugWriteRun::SaveBackup(const WriteRange& range)
{
    SendProgress(WM_PROGRESS_TEXT, kIdReadingEeprom);
    EepromBackup backup;
    ReadBackupIdentity(backup);
    backup.start = range.start;
    backup.bytes.resize(range.end - range.start);
    m_ok = ReadMemoryRange(backup.bytes.data(), range.start, range.end - range.start);
    if (!m_ok) {
        CurrentFeedback().ShowFailureNote(
            "Reading the radio's EEPROM for the backup failed; nothing was written to the radio.");
        return;
    }
    // Saved, read back and named to the operator the same way as an upgrade's.
    m_backupPath = SaveUpgradeBackup(backup);
    if (m_backupPath.empty()) {
        m_ok = false;
        return;
    }
    SendProgress(WM_PROGRESS_TEXT, kIdWritingEeprom);
}

CheckedWrite CodeplugWriteRun::WritePass(MemoryMismatch& mismatch)
{
    const uint8_t* image = m_image.data();
    if (m_options.writeHardware && m_options.writeApplication)
        return WriteMemoryRangeChecked(image, 0, m_imageLength, mismatch);
    if (m_options.writeHardware) {
        const CheckedWrite hardware = WriteMemoryRangeChecked(image, 0, m_hardwareSize, mismatch);
        if (hardware != CheckedWrite::Done) return hardware;
    }
    if (m_options.writeApplication && m_imageLength > m_hardwareSize)
        return WriteMemoryRangeChecked(image + m_hardwareSize, m_hardwareSize, m_imageLength - m_hardwareSize,
                                       mismatch);
    return CheckedWrite::Done;
}

void CodeplugWriteRun::WriteWithRetries()
{
    for (int pass = 1;; ++pass) {
        MemoryMismatch mismatch;
        const CheckedWrite written = WritePass(mismatch);
        if (written == CheckedWrite::Done) return;
        if (written == CheckedWrite::Differs) {
            // Writing again would not make the radio keep its data.
            ShowReadBackMismatch(mismatch);
            ShowBackupKeptNote(m_backupPath);
            break;
        }
        if (pass >= kMaxCodeplugWritePasses) break;
        if (ShowMessage(kMsgErrorRetryCancel, kIdWriteFailedRetry) == 0) {
            m_cancelled = true;
            break;
        }
    }
    CurrentFeedback().ShowFailureNote("Writing the codeplug into the radio failed; the radio may hold part of it.");
    m_ok = false;
}

CodeplugWriteOutcome CodeplugWriteRun::Run()
{
    bool resetOk = false;
    bool writing = false;
    {
        bool portOpen = false;
        CRadioConnection connection(m_options.portIndex, kNormalRate, portOpen);
        m_ok = portOpen;
        if (!portOpen) {
            CurrentFeedback().ShowPortOpenFailure(PortNameFromIndex(m_options.portIndex),
                                                  connection.Port().LastOpenError());
        }

        SendProgress(WM_PROGRESS_OPEN, kProgressSteps);
        SendProgress(WM_PROGRESS_TEXT, kIdChecking);
        if (m_options.writeHardware && m_options.saveTuning) ReadTuning();
        if (m_options.writeApplication && m_ok) ReadIdentity();

        LoadImage();
        SendProgress(WM_PROGRESS_TEXT, kIdWritingEeprom);
        MergeKeptData();

        const WriteRange range = RangeToWrite();
        if (m_ok && m_options.backup && !range.Empty()) SaveBackup(range);
        writing = m_ok && !range.Empty();
        if (m_ok) WriteWithRetries();
        m_image = {};

        SendProgress(WM_PROGRESS_TEXT, kIdResetting);
        SendProgress(WM_PROGRESS_HIDEBAR);
        // The radio is restarted whatever happened before (there is no radio
        // to reach without a port).
        resetOk = portOpen && ResetRadio();
        if (portOpen && m_ok && !resetOk)
            CurrentFeedback().ShowFailureNote("The radio did not take the reset command.");
    }
    // The port is closed before the operator is shown the outcome.
    SendProgress(WM_PROGRESS_CLOSE);
    if (m_ok && resetOk) {
        ShowMessage(kMsgInformation, kIdDone);
        return CodeplugWriteOutcome::Success;
    }
    // A write that failed may have left part of the codeplug in the radio:
    // the backup brings the rest back.
    if (writing && !m_ok && !m_backupPath.empty()) ShowRecoveryHint(RecoveryWay::EepromOnly, m_backupPath);
    ShowMessage(kMsgError, kIdFailed);
    return m_cancelled ? CodeplugWriteOutcome::Cancelled : CodeplugWriteOutcome::Failure;
}

} // namespace

CodeplugWriteOutcome WriteCodeplug(const CodeplugWriteOptions& options)
{
    COperationJournal journal("write-codeplug", options.portIndex, kNormalRate);
    HistoryNoteDetail("Codeplug file: " + options.codeplugPath);
    const CodeplugWriteOutcome outcome = CodeplugWriteRun(options).Run();
    journal.SetOutcome(outcome == CodeplugWriteOutcome::Success     ? ServiceOutcome::Succeeded
                       : outcome == CodeplugWriteOutcome::Cancelled ? ServiceOutcome::Cancelled
                                                                    : ServiceOutcome::Failed);
    return outcome;
}

} // namespace vantrel
