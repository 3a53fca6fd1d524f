#include "shell/QtFeedback.h"

#include "link/StringTable.h"
#include "shell/CMainFrame.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>

namespace vantrel {
namespace {

QString Text(uint32_t id)
{
    return QString::fromUtf8(LoadMessageText(id));
}

struct BoxStyle {
    QString caption;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton yes; // the button that answers 1
};

// The frame a window manager puts around a window, from one it has framed.
QMargins DecorationOf(const QWidget* window)
{
    if (!window || !window->isVisible()) return {};
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

// A message box that, shown while the progress window is open, belongs to it,
// stays above it with the keyboard focus and keeps the progress window off
// itself: every line and button of it must stay readable. Outside a run it
// belongs to the main window.
class CRunBox : public QMessageBox {
    static constexpr int kFramedAfterMs = 100;

public:
    CRunBox(const BoxStyle& style, const QString& text, CProgressDlg& progress, QWidget* frame,
            Qt::WindowModality idleModality)
        : QMessageBox(style.icon, style.caption, text, style.buttons,
                      progress.IsOpen() ? static_cast<QWidget*>(progress.Window()) : frame),
          m_progress(progress.IsOpen() ? &progress : nullptr), m_decoration(DecorationOf(frame))
    {
        // During a run the operation waits for this answer: nothing else in
        // the program may run.
        setWindowModality(m_progress ? Qt::ApplicationModal : idleModality);
        // Above the progress window, which itself stays on top of everything
        // (set after the modality, which sets the box's window flags afresh).
        if (m_progress) setWindowFlag(Qt::WindowStaysOnTopHint);
        // The program's icon in its title bar, as beside the main window
        // (the progress window has none of its own).
        if (frame) setWindowIcon(frame->windowIcon());
    }

    // Shows the box until it is answered; the progress window goes back to
    // the centre of the screen afterwards.
    int Answer()
    {
        const int answer = exec();
        if (m_progress) m_progress->ReturnToCentre();
        return answer;
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        // The box has its final size and place only now.
        QMessageBox::showEvent(event);
        if (!m_progress) return;
        m_progress->KeepClearOf(*this, Decoration());
        // The operator answers with the keyboard too, and the progress window
        // was the last window shown.
        raise();
        activateWindow();
        // Once a window manager has framed and placed the box, its real frame
        // is known: look again.
        QTimer::singleShot(kFramedAfterMs, this, [this] {
            if (!isVisible()) return;
            m_progress->KeepClearOf(*this, Decoration());
            activateWindow();
        });
    }

private:
    // A window manager frames the box only once it is mapped: until then the
    // main window's frame is the best guess of its frame.
    QMargins Decoration() const
    {
        const QMargins own = DecorationOf(this);
        return own.isNull() ? m_decoration : own;
    }

    CProgressDlg* m_progress;
    QMargins m_decoration;
};

BoxStyle StyleOf(int kind, const QString& caption)
{
    const QString title = caption.isEmpty() ? Text(kIdsAppTitle) : caption;
    switch (kind) {
    case kMsgError:
        return {Text(20000), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok};
    case kMsgInformation:
        return {title, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok};
    case kMsgWarning:
        return {title, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok};
    case kMsgWarningOkCancel:
        return {title, QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok};
    case kMsgErrorRetryCancel:
        return {Text(20000), QMessageBox::Critical, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry};
    default:
        return {QString(), QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok};
    }
}

} // namespace

QtFeedback::~QtFeedback()
{
    while (m_waitDepth > 0)
        EndWaitCursor();
}

void QtFeedback::SetMainWindow(CMainFrame* frame)
{
    m_frame = frame;
}

void QtFeedback::SendProgress(uint32_t message, uint32_t wParam)
{
    m_progress.Handle(message, wParam);
}

int QtFeedback::ShowMessageBox(int kind, uint32_t id)
{
    return ShowMessageBoxText(kind, id, LoadMessageText(id));
}

int QtFeedback::ShowMessageBoxText(int kind, uint32_t /*id*/, const std::string& text)
{
    const BoxStyle style = StyleOf(kind, m_caption);
    const bool known = kind >= kMsgError && kind <= kMsgErrorRetryCancel;
    // The operation waits for this answer: nothing else in the program may run.
    CRunBox box(style, known ? QString::fromStdString(text) : QString(), m_progress, m_frame.data(),
                Qt::ApplicationModal);
    if (style.buttons.testFlag(QMessageBox::Cancel)) box.setEscapeButton(QMessageBox::Cancel);
    box.setDefaultButton(style.yes);
    // The box that ends an operation (shown once its progress window is gone)
    // repeats the operation's notes, such as where a backup was saved: the
    // status bar alone is easily missed.
    if (!m_progress.IsOpen() && !m_notes.isEmpty()) {
        box.setInformativeText(m_notes.join(QLatin1Char('\n')));
        m_notes.clear();
    }
    // A wait cursor must not hide the arrow the operator answers with.
    const bool waiting = m_waitDepth > 0;
    if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.Answer();
    if (waiting) QApplication::restoreOverrideCursor();
    return answer == QMessageBox::Cancel ? 0 : 1;
}

void QtFeedback::ShowPortOpenFailure(const std::string& portName, const OpenResult& failure)
{
    const std::string& detail = failure.message;
    const BoxStyle style{Text(20000), QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok};
    CRunBox box(style, QString::fromStdString(PortOpenFailureText(portName, failure.error)), m_progress, m_frame.data(),
                m_frame ? Qt::WindowModal : Qt::ApplicationModal);
    // The platform's reason (missing device, permission) is what the operator
    // needs to fix it.
    if (!detail.empty()) box.setInformativeText(QString::fromStdString(detail));
    box.Answer();
}

void QtFeedback::BeginWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_waitDepth;
}

void QtFeedback::EndWaitCursor()
{
    if (m_waitDepth == 0) return;
    --m_waitDepth;
    QApplication::restoreOverrideCursor();
}

std::string QtFeedback::RecoveryHint(RecoveryWay way, const std::string& backupPath) const
{
    if (way == RecoveryWay::EepromOnly) return MessageWith(20237, {backupPath});
    return backupPath.empty() ? LoadMessageText(20234) : MessageWith(20233, {backupPath});
}

void QtFeedback::ShowNote(const std::string& text)
{
    const QString note = QString::fromStdString(text);
    if (m_frame) m_frame->ShowPaneText(note);
    m_notes << note;
}

} // namespace vantrel
