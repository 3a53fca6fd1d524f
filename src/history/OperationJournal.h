#pragma once

#include "history/ServiceRecord.h"
#include "link/Feedback.h"
#include "link/RadioCommands.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vantrel {

class CHistoryStore;

// What a front end tells the service history about itself, for its whole run.
struct HistorySetup {
    std::string path;     // the history file; DefaultHistoryPath() when empty
    std::string frontEnd; // "cli", "gui"
    // The device a port index reaches ("/dev/ttyUSB0", "sim:default").
    std::function<std::string(int portIndex)> deviceOf;
    std::string programVersion; // "R03.08.08"
};

// Installs the setup while it lives: from then on every radio operation adds
// one record to the history. Without one nothing is recorded (tests and
// benchmarks that do not ask for it).
class ScopedServiceHistory {
public:
    explicit ScopedServiceHistory(HistorySetup setup);
    ~ScopedServiceHistory();
    ScopedServiceHistory(const ScopedServiceHistory&) = delete;
    ScopedServiceHistory& operator=(const ScopedServiceHistory&) = delete;

private:
    HistorySetup m_setup;
    const HistorySetup* m_previous;
};

// The record of one radio operation while it runs. The operation's entry point
// opens one; it learns on its own what passes through the link and the
// feedback (the radio's identity items, the messages shown), and the operation
// adds what only it knows. When the journal ends, the record is added to the
// history. A history that cannot be written never fails the operation: the
// operator is told so in a note, as the operation begins when the file cannot
// be opened (so that the note comes with the operation's own final box). An operation run inside another (a restore
// inside a recovery) adds to the outer one's record instead of its own.
//
// Layering: the journal sits above the link and the platform, below the
// EEPROM image layer and the operations, which report to it through the free
// functions below; the front ends only install the setup and read the history.
class COperationJournal final : public Feedback {
public:
    COperationJournal(const char* operation, int portIndex, uint32_t rate);
    ~COperationJournal() override;
    COperationJournal(const COperationJournal&) = delete;
    COperationJournal& operator=(const COperationJournal&) = delete;

    // How it ended; the record is written when the journal ends.
    void SetOutcome(ServiceOutcome outcome) { m_record.outcome = outcome; }
    // The operation changes no version: what it read before holds after.
    void VersionsUnchanged() { m_versionsUnchanged = true; }

    // The Feedback the operation reports to while the journal is open: passed
    // on unchanged to the front end's, and noted.
    void SendProgress(uint32_t message, uint32_t wParam) override;
    int ShowMessageBox(int kind, uint32_t id) override;
    int ShowMessageBoxText(int kind, uint32_t id, const std::string& text) override;
    void ShowPortOpenFailure(const std::string& portName, const OpenResult& failure) override;
    void BackupSaved(const std::string& path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShowNote(const std::string& text) override;
    void ShowFailureNote(const std::string& text) override;

private:
    friend void HistoryNoteBackupFile(const std::string& path);
    friend void HistoryNoteDetail(const std::string& text);
    friend void HistoryNoteVersionsAfter(const std::string& software, const std::string& codeplug);

    void NoteResult(int kind, uint32_t id, const std::string& text);
    void NoteItem(uint8_t item, const uint8_t* value, uint32_t length);
    void OpenHistory();
    void Write();
    void NoteNotWritten(const std::string& error);

    bool m_active = false; // false inside another journal
    Feedback* m_forward = nullptr;
    std::optional<ScopedFeedback> m_installed;
    const HistorySetup* m_setup = nullptr;
    ServiceRecord m_record;
    uint64_t m_startMs = 0;
    bool m_versionsUnchanged = false;
    std::string m_firstFailure;
    std::string m_path;
    std::unique_ptr<CHistoryStore> m_store; // null when the history could not be opened
    InfoValueListener m_previousListener;
    COperationJournal* m_previousJournal = nullptr;
};

// What only the operation knows, for the open journal's record (nothing
// happens without one). A backup saved is told through the feedback
// (BackupSaved); this is for one kept from before.
void HistoryNoteBackupFile(const std::string& path);
void HistoryNoteDetail(const std::string& text);
void HistoryNoteVersionsAfter(const std::string& software, const std::string& codeplug);

} // namespace vantrel
