#include "ShellTestSupport.h"
#include "link/Feedback.h"
#include "shell/QtFeedback.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTest>

namespace vantrel {
namespace {

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

} // namespace

class ProgressWindowTest : public QObject {
    Q_OBJECT

    QtFeedback m_feedback;
    std::unique_ptr<ScopedFeedback> m_scope;
    CProgressDlg& Progress() { return m_feedback.Progress(); }

private slots:
    void init() { m_scope = std::make_unique<ScopedFeedback>(m_feedback); }
    void cleanup()
    {
        SendProgress(WM_PROGRESS_CLOSE);
        m_scope.reset();
    }

    void aTypicalRunDrivesTheWindow()
    {
        QVERIFY(!Progress().IsOpen());
        SendProgress(WM_PROGRESS_OPEN, 5);
        QVERIFY(Progress().IsOpen());
        QDialog* window = Progress().Window();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isModal());
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY((window->geometry().center() - screen.center()).manhattanLength() <= 2);
        QCOMPARE(Progress().Bar()->maximum(), 5);
        QCOMPARE(Progress().Bar()->value(), 0);
        QVERIFY(Progress().StatusLine()->text().isEmpty());

        SendProgress(WM_PROGRESS_TEXT, 20130);
        SendProgress(WM_PROGRESS_RANGE, 128);
        for (uint32_t block = 1; block <= 64; ++block)
            SendProgress(WM_PROGRESS_POS, block);
        QCOMPARE(Progress().StatusLine()->text(), QStringLiteral("Reading EEPROM data..."));
        QCOMPARE(Progress().Bar()->maximum(), 128);
        QCOMPARE(Progress().Bar()->value(), 64);
        SaveShot(window, QStringLiteral("progress-window"));

        SendProgress(WM_PROGRESS_TEXT, 20135);
        SendProgress(WM_PROGRESS_HIDEBAR);
        QVERIFY(Progress().Bar()->isHidden());
        QVERIFY(Progress().StatusLine()->isVisible());
        QCOMPARE(Progress().StatusLine()->text(), QStringLiteral("Resetting radio..."));
        SendProgress(WM_PROGRESS_SHOWBAR);
        QVERIFY(Progress().Bar()->isVisible());

        SendProgress(WM_PROGRESS_CLOSE);
        QVERIFY(!Progress().IsOpen());
        QVERIFY(!Progress().Window());
    }

    void openWhileOpenKeepsTheFirstRange()
    {
        SendProgress(WM_PROGRESS_OPEN, 10);
        SendProgress(WM_PROGRESS_POS, 4);
        SendProgress(WM_PROGRESS_OPEN, 99);
        QCOMPARE(Progress().Bar()->maximum(), 10);
        QCOMPARE(Progress().Bar()->value(), 4);
    }

    void closedWindowIgnoresEverythingButOpen()
    {
        SendProgress(WM_PROGRESS_CLOSE);
        SendProgress(WM_PROGRESS_RANGE, 50);
        SendProgress(WM_PROGRESS_POS, 30);
        SendProgress(WM_PROGRESS_TEXT, 20128);
        SendProgress(WM_PROGRESS_HIDEBAR);
        QVERIFY(!Progress().IsOpen());

        // Reopened after a run: a new window, position 0, nothing carried over.
        SendProgress(WM_PROGRESS_OPEN, 7);
        QCOMPARE(Progress().Bar()->maximum(), 7);
        QCOMPARE(Progress().Bar()->value(), 0);
        QVERIFY(Progress().StatusLine()->text().isEmpty());
        QVERIFY(!Progress().Bar()->isHidden());
        SendProgress(WM_PROGRESS_POS, 3);
        SendProgress(WM_PROGRESS_CLOSE);
        SendProgress(WM_PROGRESS_OPEN, 7);
        QCOMPARE(Progress().Bar()->value(), 0);
    }

    void rangeAndPositionEdges()
    {
        SendProgress(WM_PROGRESS_OPEN, 100);
        SendProgress(WM_PROGRESS_POS, 500);
        QCOMPARE(Progress().Bar()->value(), 100); // full, not empty
        SendProgress(WM_PROGRESS_RANGE, 0x12345);
        QCOMPARE(Progress().Bar()->maximum(), 0x2345); // the range message carries 16 bits
        QCOMPARE(Progress().Bar()->value(), 0);
        // An empty range shows an empty bar, not Qt's busy animation.
        SendProgress(WM_PROGRESS_RANGE, 0);
        SendProgress(WM_PROGRESS_POS, 1);
        QVERIFY(Progress().Bar()->maximum() > Progress().Bar()->minimum());
        QCOMPARE(Progress().Bar()->value(), 0);
        // A text id without a text gives an empty line.
        SendProgress(WM_PROGRESS_TEXT, 20130);
        SendProgress(WM_PROGRESS_TEXT, 12345);
        QVERIFY(Progress().StatusLine()->text().isEmpty());
    }

    void paintsWhileTheOperationBlocksTheEventLoop()
    {
        SendProgress(WM_PROGRESS_OPEN, 10);
        PaintCounter counter;
        Progress().StatusLine()->installEventFilter(&counter);
        Progress().Bar()->installEventFilter(&counter);
        // No return to the event loop between these: as an operation would.
        SendProgress(WM_PROGRESS_TEXT, 20128);
        const int afterText = counter.paints;
        SendProgress(WM_PROGRESS_POS, 5);
        QVERIFY(afterText > 0);
        QVERIFY(counter.paints > afterText);
    }

    // A long operation moves the bar far more often than it has pixels: only
    // the steps that change what the bar shows are painted, the last included.
    void paintsOnlyVisibleSteps()
    {
        const int steps = 9000;
        SendProgress(WM_PROGRESS_OPEN, steps);
        PaintCounter counter;
        Progress().Bar()->installEventFilter(&counter);
        const int width = Progress().Bar()->width();
        int lastFill = 0;
        int fillChanges = 0;
        for (int i = 1; i <= steps; ++i) {
            SendProgress(WM_PROGRESS_POS, static_cast<uint32_t>(i));
            const int fill = static_cast<int>(static_cast<int64_t>(i) * width / steps);
            fillChanges += fill != lastFill;
            lastFill = fill;
        }
        QCOMPARE(Progress().Bar()->value(), steps);
        QVERIFY(counter.paints > 0);
        QVERIFY2(counter.paints <= fillChanges + 2, qPrintable(QString::number(counter.paints)));
        SendProgress(WM_PROGRESS_CLOSE);
    }
};

VANTREL_SHELL_TEST(ProgressWindowTest)

} // namespace vantrel

#include "ProgressWindowTest.moc"
