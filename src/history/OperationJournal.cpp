#include "history/OperationJournal.h"

#include "history/HistoryStore.h"
#include "link/ItemText.h"
#include "link/RadioLink.h"
#include "link/StringTable.h"
#include "platform/Files.h"
#include "platform/Runtime.h"

namespace vantrel {
namespace {

constexpr uint32_t kIdHistoryNotWritten = 20256;
constexpr uint32_t kIdHistorySetAside = 20257;

const HistorySetup* g_setup = nullptr;
COperationJournal* g_journal = nullptr;

bool IsErrorKind(int kind)
{
    return kind == kMsgError || kind == kMsgErrorRetryCancel;
}

} // namespace

ScopedServiceHistory::ScopedServiceHistory(HistorySetup setup) : m_setup(std::move(setup)), m_previous(g_setup)
{
    g_setup = &m_setup;
}

ScopedServiceHistory::~ScopedServiceHistory()
{
    g_setup = m_previous;
}

COperationJournal::COperationJournal(const char* operation, int portIndex, uint32_t rate)
{
    if (g_journal != nullptr || g_setup == nullptr || !ServiceHistoryBuiltIn()) return;
    m_active = true;
    m_setup = g_setup;
    m_previousJournal = g_journal;
    g_journal = this;
    m_forward = &CurrentFeedback();
    m_installed.emplace(*this);
    m_previousListener = SetInfoValueListener(
        [this](uint8_t item, const uint8_t* value, uint32_t length) { NoteItem(item, value, length); });

    m_record.time = UtcTimestamp();
    m_record.operation = operation;
    m_record.frontEnd = m_setup->frontEnd;
    m_record.port = PortNameFromIndex(portIndex);
    if (m_setup->deviceOf) m_record.device = m_setup->deviceOf(portIndex);
    m_record.rate = rate;
    m_record.programVersion = m_setup->programVersion;
    m_startMs = CurrentClock().NowMs();
    OpenHistory();
}

void COperationJournal::OpenHistory()
{
    m_path = m_setup->path.empty() ? DefaultHistoryPath() : m_setup->path;
    auto store = std::make_unique<CHistoryStore>(m_path);
    std::string error;
    std::string setAside;
    const bool opened = store->Open(error, setAside);
    if (!setAside.empty()) m_forward->ShowNote(MessageTextWith(kIdHistorySetAside, setAside));
    if (opened)
        m_store = std::move(store);
    else
        NoteNotWritten(error);
}

void COperationJournal::NoteNotWritten(const std::string& error)
{
    m_forward->ShowNote(MessageTextWith(kIdHistoryNotWritten, m_path.empty() ? error : m_path + ": " + error));
}

COperationJournal::~COperationJournal()
{
    if (!m_active) return;
    SetInfoValueListener(std::move(m_previousListener));
    m_installed.reset();
    g_journal = m_previousJournal;
    Write();
}

void COperationJournal::NoteItem(uint8_t item, const uint8_t* value, uint32_t length)
{
    switch (item) {
    case kItemModelNumber:
        m_record.modelNumber = FormatModelNumber(value, length);
        break;
    case kItemSerialNumber:
        m_record.serialNumber = FormatText(value, length);
        break;
    case kItemEsn:
        m_record.esn = FormatEsn(value, length);
        break;
    case kItemSoftwareVersion:
        m_record.softwareBefore = FormatText(value, length);
        break;
    case kItemCodeplugVersion:
        m_record.codeplugBefore = FormatText(value, length);
        break;
    default:
        break;
    }
}

void COperationJournal::NoteResult(int kind, uint32_t id, const std::string& text)
{
    if (IsErrorKind(kind) && m_firstFailure.empty()) m_firstFailure = text;
    // The boxes that end an operation; warnings and questions come on the way.
    if (kind == kMsgError || kind == kMsgInformation) {
        m_record.resultId = id;
        m_record.resultText = text;
    }
}

void COperationJournal::Write()
{
    ServiceRecord& r = m_record;
    r.durationMs = CurrentClock().NowMs() - m_startMs;
    if (m_versionsUnchanged) {
        if (r.softwareAfter.empty()) r.softwareAfter = r.softwareBefore;
        if (r.codeplugAfter.empty()) r.codeplugAfter = r.codeplugBefore;
    }
    if (!m_firstFailure.empty() && m_firstFailure != r.resultText)
        r.detail = r.detail.empty() ? m_firstFailure : r.detail + "\n" + m_firstFailure;

    // Told once: when the file could not be opened, the operator knows already.
    std::string error;
    if (m_store && !m_store->Append(r, error)) NoteNotWritten(error);
}

void COperationJournal::SendProgress(uint32_t message, uint32_t wParam)
{
    m_forward->SendProgress(message, wParam);
}

int COperationJournal::ShowMessageBox(int kind, uint32_t id)
{
    NoteResult(kind, id, LoadMessageText(id));
    return m_forward->ShowMessageBox(kind, id);
}

int COperationJournal::ShowMessageBoxText(int kind, uint32_t id, const std::string& text)
{
    NoteResult(kind, id, text);
    return m_forward->ShowMessageBoxText(kind, id, text);
}

void COperationJournal::ShowPortOpenFailure(const std::string& portName, const OpenResult& failure)
{
    NoteResult(kMsgError, PortOpenFailureId(failure.error), PortOpenFailureText(portName, failure.error));
    if (!failure.message.empty()) HistoryNoteDetail(failure.message);
    m_forward->ShowPortOpenFailure(portName, failure);
}

void COperationJournal::BackupSaved(const std::string& path)
{
    HistoryNoteBackupFile(path);
    m_forward->BackupSaved(path);
}

void COperationJournal::BeginWaitCursor()
{
    m_forward->BeginWaitCursor();
}

void COperationJournal::EndWaitCursor()
{
    m_forward->EndWaitCursor();
}

void COperationJournal::ShowNote(const std::string& text)
{
    m_forward->ShowNote(text);
}

void COperationJournal::ShowFailureNote(const std::string& text)
{
    // What went wrong, in the operation's own words: kept with the record.
    HistoryNoteDetail(text);
    m_forward->ShowFailureNote(text);
}

void HistoryNoteBackupFile(const std::string& path)
{
    // The first file saved is the one that holds the radio as it was.
    if (g_journal != nullptr && g_journal->m_record.backupFile.empty()) g_journal->m_record.backupFile = path;
}

void HistoryNoteDetail(const std::string& text)
{
    if (g_journal == nullptr || text.empty()) return;
    std::string& detail = g_journal->m_record.detail;
    detail = detail.empty() ? text : detail + "\n" + text;
}

void HistoryNoteVersionsAfter(const std::string& software, const std::string& codeplug)
{
    if (g_journal == nullptr) return;
    g_journal->m_record.softwareAfter = software;
    g_journal->m_record.codeplugAfter = codeplug;
}

} // namespace vantrel
