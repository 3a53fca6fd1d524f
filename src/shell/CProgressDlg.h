#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QDialog;
class QLabel;
class QProgressBar;
class QWidget;
class QMargins;

namespace Ui {
class ProgressWindow;
}

namespace vantrel {

// The progress window: one object for the whole run, its window created by
// WM_PROGRESS_OPEN and destroyed by WM_PROGRESS_CLOSE. Operations run on the UI
// thread and never return to the event loop while they work, so every change
// is painted before the message returns.
class CProgressDlg {
public:
    CProgressDlg();
    ~CProgressDlg();
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    // Applies one of the WM_PROGRESS_* messages.
    void Handle(uint32_t message, uint32_t wParam);

    bool IsOpen() const { return m_window != nullptr; }
    // The open window and its controls; nullptr while closed.
    QDialog* Window() const { return m_window.get(); }
    QLabel* StatusLine() const;
    QProgressBar* Bar() const;

    // Moves the open window out of the way of a box the operator must read
    // (frame outside the box's geometry given by `decoration`): above the
    // box, else below it, else to the top of the screen with the box moved
    // down under it. Nothing while the window is closed.
    void KeepClearOf(QWidget& box, const QMargins& decoration);
    // Back to the centre of the screen, where the window belongs.
    void ReturnToCentre();

private:
    void Open(uint32_t range);
    void Close();
    void SetRange(int maximum);
    void Refresh();
    int FilledWidth() const;

    std::unique_ptr<QDialog> m_window;
    std::unique_ptr<Ui::ProgressWindow> m_ui;
    int m_maximum = 0;
    // The bar's filled width when it was last painted: an export moves the
    // bar thousands of times, and only a step the operator can see is worth a
    // paint.
    int m_paintedFill = -1;
};

} // namespace vantrel
