#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "link/Feedback.h"

namespace vantrel {

// A feedback sink for tests: logs every call in order and answers questions
// from a script (OK / Retry = 1, Cancel = 0; 1 when the script is empty).
class RecordingFeedback final : public Feedback {
public:
    struct Event {
        enum Type { Progress, Message, PortOpenFailure, Note, WaitCursorOn, WaitCursorOff } type;
        uint32_t code = 0;  // progress message, or message id
        uint32_t value = 0;  // progress wParam, or message kind
        std::string text;  // port name or note
        bool operator==(const Event&) const = default;
        // How a failed comparison shows an event.
        friend void PrintTo(const Event& e, std::ostream* os)
        {
            *os << "{type " << e.type << ", code " << e.code << ", value " << e.value << ", \"" << e.text << "\"}";
        }
    };

    void SendProgress(uint32_t message, uint32_t wParam) override;
    int ShowMessageBox(int kind, uint32_t id) override;
    void ShowPortOpenFailure(const std::string& portName, const OpenResult& failure) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShowNote(const std::string& text) override;
    // Recorded as a note with value 1.
    void ShowFailureNote(const std::string& text) override;

    void QueueAnswer(int answer) { m_answers.push_back(answer); }
    void ForgetAnswers() { m_answers.clear(); }

    const std::vector<Event>& Events() const { return m_events; }
    void Clear() { m_events.clear(); }
    // Message ids shown, in order.
    std::vector<uint32_t> Messages() const;
    // (message, wParam) pairs of the progress messages, in order.
    std::vector<std::pair<uint32_t, uint32_t>> Progress() const;
    std::vector<std::string> Notes() const;
    std::vector<std::string> FailureNotes() const;

private:
    std::vector<Event> m_events;
    std::deque<int> m_answers;
};

}  // namespace vantrel
