#pragma once

#include "link/Feedback.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace vantrel {

// The --events stream: passes every call on to the sink the operator sees and
// writes one JSON object per line for each step: progress, message boxes,
// questions with the answer given, notes, backup files, and the command's
// start and result. Each line is flushed as it is written, so a log follows
// the run and keeps every step up to a crash. The field names are stable and
// described by docs/events.schema.json.
class EventFeedback final : public Feedback {
public:
    using PortLabel = std::function<std::string(const std::string& portName)>;

    EventFeedback(Feedback& shown, std::FILE* events, PortLabel portLabel = {});

    void SendProgress(uint32_t message, uint32_t wParam) override;
    int ShowMessageBox(int kind, uint32_t id) override;
    void ShowPortOpenFailure(const std::string& portName, const OpenResult& failure) override;
    void BackupSaved(const std::string& path) override;
    void BeginWaitCursor() override { m_shown.BeginWaitCursor(); }
    void EndWaitCursor() override { m_shown.EndWaitCursor(); }
    void ShowNote(const std::string& text) override;
    // The cause of a failure: shown where the operator's sink shows errors,
    // logged as a note like any other.
    void ShowFailureNote(const std::string& text) override;

    // The first and the last line of a run. data is a JSON object (the one
    // --json prints) or empty.
    void Start(const std::string& command, const std::string& port);
    void Result(const std::string& command, int status, const std::string& data = {});

private:
    void Write(const std::string& line);
    void WriteNote(const std::string& text);

    Feedback& m_shown;
    std::FILE* m_events;
    PortLabel m_portLabel;
};

} // namespace vantrel
