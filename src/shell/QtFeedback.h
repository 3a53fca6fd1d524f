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
// cursor. Boxes are owned by the main window when there is one, and by the
// progress window while it is open.
class QtFeedback final : public Feedback {
public:
    QtFeedback() = default;
    ~QtFeedback() override;

    void SetMainWindow(CMainFrame* frame);

    void SendProgress(uint32_t message, uint32_t wParam) override;
    int ShowMessageBox(int kind, uint32_t id) override;
    int ShowMessageBoxText(int kind, uint32_t id, const std::string& text) override;
    void ShowPortOpenFailure(const std::string& portName, const OpenResult& failure) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShowNote(const std::string& text) override;
    std::string RecoveryHint(RecoveryWay way, const std::string& backupPath) const override;

    // The caption of information and warning boxes; empty for the program's title.
    void SetCaption(const QString& caption) { m_caption = caption; }
    // Drops the notes no box has shown yet; a new command starts afresh.
    void ForgetNotes() { m_notes.clear(); }

    CProgressDlg& Progress() { return m_progress; }

private:
    CProgressDlg m_progress;
    QPointer<CMainFrame> m_frame;
    QString m_caption;
    QStringList m_notes;
    int m_waitDepth = 0;
};

} // namespace vantrel
