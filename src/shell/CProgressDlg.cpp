#include "shell/CProgressDlg.h"

#include "link/Feedback.h"
#include "link/StringTable.h"
#include "ui_ProgressDlg.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMargins>
#include <QProgressBar>
#include <QScreen>
#include <algorithm>
#include <climits>

namespace vantrel {
namespace {

int ClampToInt(uint32_t value)
{
    return static_cast<int>(std::min<uint32_t>(value, INT_MAX));
}

} // namespace

CProgressDlg::CProgressDlg() = default;
CProgressDlg::~CProgressDlg() = default;

QLabel* CProgressDlg::StatusLine() const
{
    return m_ui && m_window ? m_ui->statusLine : nullptr;
}

QProgressBar* CProgressDlg::Bar() const
{
    return m_ui && m_window ? m_ui->progressBar : nullptr;
}

void CProgressDlg::Handle(uint32_t message, uint32_t wParam)
{
    if (message == WM_PROGRESS_OPEN) {
        if (!IsOpen()) Open(wParam);
        return;
    }
    // Everything else acts on an open window only: the patch tool reads
    // without opening it, and a closed window has no bar to move.
    if (!IsOpen()) return;
    switch (message) {
    case WM_PROGRESS_RANGE:
        SetRange(static_cast<int>(wParam & 0xFFFF));
        break;
    case WM_PROGRESS_POS: {
        // A position beyond the range shows a full bar rather than none.
        m_ui->progressBar->setValue(std::min(ClampToInt(wParam), m_maximum));
        if (FilledWidth() == m_paintedFill) return;
        break;
    }
    case WM_PROGRESS_TEXT:
        m_ui->statusLine->setText(QString::fromUtf8(LoadMessageText(wParam)));
        break;
    case WM_PROGRESS_CLOSE:
        Close();
        return;
    case WM_PROGRESS_SHOWBAR:
        m_ui->progressBar->show();
        break;
    case WM_PROGRESS_HIDEBAR:
        m_ui->progressBar->hide();
        break;
    default:
        return;
    }
    Refresh();
}

void CProgressDlg::Open(uint32_t range)
{
    m_window = std::make_unique<QDialog>(nullptr, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_ui = std::make_unique<Ui::ProgressWindow>();
    m_ui->setupUi(m_window.get());
    m_window->setObjectName(QStringLiteral("progressWindow"));
    m_window->setModal(false);

    // 272 x 38 dialog units in the window's font.
    const QFontMetrics metrics(m_window->font());
    const int width = metrics.averageCharWidth() * 272 / 4;
    const int height = std::max(metrics.height() * 38 / 8, m_window->sizeHint().height());
    m_window->setFixedSize(width, height);
    ReturnToCentre();

    SetRange(ClampToInt(range));
    m_window->show();
    Refresh();
}

void CProgressDlg::ReturnToCentre()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!m_window || !screen) return;
    m_window->move(screen->availableGeometry().center() - QPoint(m_window->width() / 2, m_window->height() / 2));
}

void CProgressDlg::KeepClearOf(QWidget& box, const QMargins& decoration)
{
    if (!m_window) return;
    constexpr int kGap = 8;
    const QRect boxFrame = box.geometry().marginsAdded(decoration);
    const QRect progress = m_window->frameGeometry();
    if (!boxFrame.intersects(progress)) return;
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : boxFrame.united(progress);
    const int above = boxFrame.top() - kGap - progress.height();
    const int below = boxFrame.bottom() + 1 + kGap;
    if (above >= area.top()) {
        m_window->move(progress.x(), above);
    } else if (below + progress.height() <= area.bottom() + 1) {
        m_window->move(progress.x(), below);
    } else {
        // A box as tall as the screen: the window takes the top edge, the box
        // the room under it.
        m_window->move(progress.x(), area.top());
        box.move(boxFrame.x(), area.top() + progress.height() + kGap);
    }
    Refresh();
}

void CProgressDlg::SetRange(int maximum)
{
    // An empty range shows an empty bar; Qt would animate a "busy" bar for 0..0.
    m_maximum = maximum;
    m_ui->progressBar->setRange(0, std::max(maximum, 1));
    m_ui->progressBar->setValue(0);
}

void CProgressDlg::Close()
{
    m_window->hide();
    m_ui.reset();
    m_window.reset();
}

int CProgressDlg::FilledWidth() const
{
    const QProgressBar* bar = m_ui->progressBar;
    const int span = bar->maximum() - bar->minimum();
    if (span <= 0) return 0;
    return static_cast<int>(static_cast<int64_t>(bar->value() - bar->minimum()) * bar->width() / span);
}

void CProgressDlg::Refresh()
{
    m_paintedFill = FilledWidth();
    // The caller blocks the event loop until it is done: paint now.
    m_window->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace vantrel
