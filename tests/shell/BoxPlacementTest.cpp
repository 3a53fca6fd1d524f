#include "ShellTestSupport.h"
#include "link/Feedback.h"
#include "link/StringTable.h"
#include "shell/QtFeedback.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

namespace vantrel {

// A box the operator must answer during a run stands clear of the progress
// window and above it, whatever size it has and wherever it would appear.
class BoxPlacementTest : public QObject {
    Q_OBJECT

    // Not a message kind: the box of a port that does not open.
    static constexpr int kPortOpenFailure = -1;

    QtFeedback m_feedback;
    std::unique_ptr<ScopedFeedback> m_scope;

    static QRect Screen() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    static QRect Centred(const QSize& size)
    {
        return QRect(Screen().center() - QPoint(size.width() / 2, size.height() / 2), size);
    }

private slots:
    void init() { m_scope = std::make_unique<ScopedFeedback>(m_feedback); }
    void cleanup()
    {
        SendProgress(WM_PROGRESS_CLOSE);
        m_scope.reset();
    }

    void boxesOfARunAreFullyVisible_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("id");
        QTest::newRow("bootstrap prompt 20133") << int(kMsgWarningOkCancel) << 20133;
        QTest::newRow("Retry/Cancel 20158") << int(kMsgErrorRetryCancel) << 20158;
        QTest::newRow("retry instructions 20159") << int(kMsgWarning) << 20159;
        QTest::newRow("bootcode retry 20153") << int(kMsgWarning) << 20153;
        QTest::newRow("port open failure 20001") << kPortOpenFailure << 20001;
    }

    void boxesOfARunAreFullyVisible()
    {
        QFETCH(int, kind);
        QFETCH(int, id);
        SendProgress(WM_PROGRESS_OPEN, 3);
        SendProgress(WM_PROGRESS_TEXT, 20127);
        QDialog* progress = m_feedback.Progress().Window();
        const QRect centred = progress->frameGeometry();
        BoxSeen seen;
        const auto answer = AnswerNextBox(QMessageBox::Ok, &seen);
        if (kind == kPortOpenFailure) {
            OpenResult busy;
            busy.error = OpenError::InUse;
            busy.message = "busy";
            CurrentFeedback().ShowPortOpenFailure("COM2", busy);
        } else {
            ShowMessage(kind, static_cast<uint32_t>(id));
        }
        QVERIFY(seen.shown);
        const QString text = QString::fromUtf8(LoadMessageText(static_cast<uint32_t>(id)));
        QCOMPARE(seen.text.left(text.indexOf(QLatin1Char('%'))), text.left(text.indexOf(QLatin1Char('%'))));
        QVERIFY(!seen.progressFrame.isEmpty());
        // No part of the box lies under the progress window, both on the screen.
        QVERIFY2(!seen.frame.intersects(seen.progressFrame),
                 qPrintable(QStringLiteral("box %1,%2 %3x%4 progress %5,%6 %7x%8")
                                .arg(seen.frame.x())
                                .arg(seen.frame.y())
                                .arg(seen.frame.width())
                                .arg(seen.frame.height())
                                .arg(seen.progressFrame.x())
                                .arg(seen.progressFrame.y())
                                .arg(seen.progressFrame.width())
                                .arg(seen.progressFrame.height())));
        QVERIFY(Screen().contains(seen.frame));
        QVERIFY(Screen().contains(seen.progressFrame));
        // And on top: owned by the progress window, in the same stay-on-top layer.
        QCOMPARE(seen.owner, QStringLiteral("progressWindow"));
        QVERIFY(seen.staysOnTop);
        // With the keyboard focus: Enter and Esc answer it.
        QVERIFY(seen.active);
        QCOMPARE(seen.modality, Qt::ApplicationModal);
        // Once answered, the progress window is back in the middle of the screen.
        QCOMPARE(progress->frameGeometry(), centred);
    }

    void boxesOutsideARunStayWithTheMainWindow()
    {
        BoxSeen seen;
        const auto answer = AnswerNextBox(QMessageBox::Ok, &seen);
        ShowMessage(kMsgError, 20146);
        QVERIFY(seen.shown);
        QVERIFY(seen.progressFrame.isEmpty());
        QVERIFY(!seen.staysOnTop);
    }

    // Wherever a box would stand, the progress window finds a place beside it.
    void progressWindowGetsOutOfTheWay_data()
    {
        QTest::addColumn<QRect>("box");
        const QRect screen = Screen();
        QTest::newRow("centred") << Centred(QSize(360, 240));
        QTest::newRow("small, on the progress window") << Centred(QSize(120, 40));
        QTest::newRow("at the top of the screen")
            << QRect(screen.center().x() - 200, screen.top(), 400, screen.height() / 2 + 40);
        QTest::newRow("no room above or below") << Centred(QSize(400, screen.height() - 120));
        QTest::newRow("away from it") << QRect(screen.left(), screen.top(), 100, 50);
    }

    void progressWindowGetsOutOfTheWay()
    {
        QFETCH(QRect, box);
        SendProgress(WM_PROGRESS_OPEN, 3);
        QWidget window;
        window.setGeometry(box);
        window.show();
        CProgressDlg& progress = m_feedback.Progress();
        progress.KeepClearOf(window, QMargins());
        const QRect progressFrame = progress.Window()->frameGeometry();
        QVERIFY(!window.frameGeometry().intersects(progressFrame));
        QVERIFY(Screen().contains(progressFrame));
        QVERIFY(Screen().contains(window.frameGeometry()));
        // Kept where it was when it was out of the way already.
        if (!box.intersects(Centred(progressFrame.size()))) QCOMPARE(progressFrame, Centred(progressFrame.size()));
    }
};

VANTREL_SHELL_TEST(BoxPlacementTest)

} // namespace vantrel

#include "BoxPlacementTest.moc"
