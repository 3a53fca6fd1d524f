#pragma once

#include "link/Feedback.h"
#include "shell/CProgressDlg.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace vantrel {

class CMainFrame;

// The GUI's feedback sink: the progress window, the message boxes and the wait
// cursor. Boxes are owned by the main window when there is one.
class QtFeedback final : public Feedback {
public:
    QtFeedback() = default;
    ~QtFeedback() override;

    void SetMainWindow(CMainFrame* frame);

    void SendProgress(uint32_t message, uint32_t wParam) override;
    int ShowMessageBox(int kind, uint32_t id) override;
    void ShowPortOpenFailure(const std::string& portName, const std::string& detail) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShowNote(const std::string& text) override;

    CProgressDlg& Progress() { return m_progress; }

    // While held, notes are also kept for the operation's final message (a box
    // with one of finalIds) and shown in it under its text, so that what the
    // operator must keep (where a backup was saved) is read where it is seen.
    void HoldNotesFor(std::vector<uint32_t> finalIds);
    void ReleaseNotes();

private:
    CProgressDlg m_progress;
    std::vector<uint32_t> m_finalIds;
    QStringList m_heldNotes;
    QPointer<CMainFrame> m_frame;
    int m_waitDepth = 0;
};

// Holds the notes of one operation for its final message, for its lifetime.
class HeldNotes {
public:
    HeldNotes(QtFeedback& feedback, std::vector<uint32_t> finalIds) : m_feedback(feedback)
    {
        m_feedback.HoldNotesFor(std::move(finalIds));
    }
    ~HeldNotes() { m_feedback.ReleaseNotes(); }
    HeldNotes(const HeldNotes&) = delete;
    HeldNotes& operator=(const HeldNotes&) = delete;

private:
    QtFeedback& m_feedback;
};

} // namespace vantrel
