#include "support/RecordingFeedback.h"

namespace vantrel {

void RecordingFeedback::SendProgress(uint32_t message, uint32_t wParam)
{
    m_events.push_back({Event::Progress, message, wParam, {}});
}

int RecordingFeedback::ShowMessageBox(int kind, uint32_t id)
{
    m_events.push_back({Event::Message, id, static_cast<uint32_t>(kind), {}});
    if (kind != kMsgWarningOkCancel && kind != kMsgErrorRetryCancel) return 1;
    if (m_answers.empty()) return 1;
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void RecordingFeedback::ShowPortOpenFailure(const std::string& portName, const OpenResult& failure)
{
    m_events.push_back({Event::PortOpenFailure, PortOpenFailureId(failure.error), 0, portName});
}

void RecordingFeedback::BeginWaitCursor() { m_events.push_back({Event::WaitCursorOn, 0, 0, {}}); }

void RecordingFeedback::EndWaitCursor() { m_events.push_back({Event::WaitCursorOff, 0, 0, {}}); }

void RecordingFeedback::ShowNote(const std::string& text) { m_events.push_back({Event::Note, 0, 0, text}); }

void RecordingFeedback::ShowFailureNote(const std::string& text)
{
    m_events.push_back({Event::Note, 0, 1, text});
}

std::vector<uint32_t> RecordingFeedback::Messages() const
{
    std::vector<uint32_t> ids;
    for (const auto& e : m_events) {
        if (e.type == Event::Message || e.type == Event::PortOpenFailure) ids.push_back(e.code);
    }
    return ids;
}

std::vector<std::pair<uint32_t, uint32_t>> RecordingFeedback::Progress() const
{
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const auto& e : m_events) {
        if (e.type == Event::Progress) out.emplace_back(e.code, e.value);
    }
    return out;
}

std::vector<std::string> RecordingFeedback::Notes() const
{
    std::vector<std::string> out;
    for (const auto& e : m_events) {
        if (e.type == Event::Note) out.push_back(e.text);
    }
    return out;
}

std::vector<std::string> RecordingFeedback::FailureNotes() const
{
    std::vector<std::string> out;
    for (const auto& e : m_events) {
        if (e.type == Event::Note && e.value == 1) out.push_back(e.text);
    }
    return out;
}

}  // namespace vantrel
