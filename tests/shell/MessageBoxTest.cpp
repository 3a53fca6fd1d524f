#include "ShellTestSupport.h"
#include "link/Feedback.h"
#include "link/StringTable.h"
#include "shell/CMainFrame.h"
#include "shell/QtFeedback.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

namespace vantrel {

class MessageBoxTest : public QObject {
    Q_OBJECT

    QtFeedback m_feedback;
    std::unique_ptr<ScopedFeedback> m_scope;

private slots:
    void init() { m_scope = std::make_unique<ScopedFeedback>(m_feedback); }
    void cleanup() { m_scope.reset(); }

    void kindsAndAnswers_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("press");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("answer");
        const int ok = QMessageBox::Ok;
        const int cancel = QMessageBox::Cancel;
        const int retry = QMessageBox::Retry;
        QTest::newRow("1 error") << 1 << ok << "Error" << int(QMessageBox::Critical) << ok << 1;
        QTest::newRow("2 information") << 2 << ok << "Vantrel" << int(QMessageBox::Information) << ok << 1;
        QTest::newRow("3 warning") << 3 << ok << "Vantrel" << int(QMessageBox::Warning) << ok << 1;
        QTest::newRow("4 OK") << 4 << ok << "Vantrel" << int(QMessageBox::Warning) << (ok | cancel) << 1;
        QTest::newRow("4 Cancel") << 4 << cancel << "Vantrel" << int(QMessageBox::Warning) << (ok | cancel) << 0;
        QTest::newRow("5 Retry") << 5 << retry << "Error" << int(QMessageBox::Critical) << (retry | cancel) << 1;
        QTest::newRow("5 Cancel") << 5 << cancel << "Error" << int(QMessageBox::Critical) << (retry | cancel) << 0;
    }

    void kindsAndAnswers()
    {
        QFETCH(int, kind);
        QFETCH(int, press);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(int, answer);
        BoxSeen seen;
        const auto pending1 = AnswerNextBox(static_cast<QMessageBox::StandardButton>(press), &seen);
        QCOMPARE(ShowMessage(kind, 20133), answer);
        QVERIFY(seen.shown);
        QCOMPARE(seen.caption, caption);
        QCOMPARE(seen.text, QString::fromUtf8(LoadMessageText(20133)));
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(int(seen.buttons), buttons);
        QCOMPARE(seen.modality, Qt::ApplicationModal);
    }

    void escapeAnswersCancel()
    {
        for (int kind : {4, 5}) {
            const auto pending = PressInNextBox(Qt::Key_Escape);
            QCOMPARE(ShowMessage(kind, 20158), 0);
        }
    }

    void unknownKindAndUnknownTextGiveEmptyBoxes()
    {
        BoxSeen seen;
        const auto pending2 = AnswerNextBox(QMessageBox::Ok, &seen);
        QCOMPARE(ShowMessage(9, 20157), 1);
        QVERIFY(seen.caption.isEmpty());
        QVERIFY(seen.text.isEmpty());
        QCOMPARE(seen.buttons, QMessageBox::Ok);
        QCOMPARE(seen.icon, QMessageBox::NoIcon);

        const auto pending3 = AnswerNextBox(QMessageBox::Ok, &seen);
        QCOMPARE(ShowMessage(1, 20008 + 1), 1);
        QCOMPARE(seen.caption, QStringLiteral("Error"));
        QVERIFY(seen.text.isEmpty());
    }

    void portOpenFailureBox()
    {
        CMainFrame frame;
        frame.show();
        m_feedback.SetMainWindow(&frame);
        BoxSeen seen;
        const auto pending4 = AnswerNextBox(QMessageBox::Ok, &seen);
        CurrentFeedback().ShowPortOpenFailure("COM3", OpenResult{OpenError::InUse, "in use by minicom (process 12)"});
        m_feedback.SetMainWindow(nullptr);
        QCOMPARE(seen.caption, QStringLiteral("Error"));
        QCOMPARE(seen.text,
                 QStringLiteral("The serial port COM3 could not be opened.\nIt may be in use by another program."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, QMessageBox::Ok);
        QCOMPARE(seen.modality, Qt::WindowModal);
        QVERIFY(seen.informative.contains(QStringLiteral("minicom")));
    }

    void waitCursorNestsAndUnwinds()
    {
        QVERIFY(!QApplication::overrideCursor());
        CurrentFeedback().BeginWaitCursor();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        CurrentFeedback().BeginWaitCursor();
        CurrentFeedback().EndWaitCursor();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // A box shown meanwhile gets the arrow back, and the wait cursor after.
        BoxSeen seen;
        const auto pending = AnswerNextBox(QMessageBox::Ok, &seen);
        ShowMessage(2, 20012);
        QCOMPARE(seen.cursor, Qt::ArrowCursor);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        CurrentFeedback().EndWaitCursor();
        QVERIFY(!QApplication::overrideCursor());
        // One end too many must not undo somebody else's cursor.
        QApplication::setOverrideCursor(Qt::CrossCursor);
        CurrentFeedback().EndWaitCursor();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
        QApplication::restoreOverrideCursor();
    }

    void operatorAnswersReachTheListeners()
    {
        std::vector<std::pair<uint32_t, int>> heard;
        const int handle =
            AddOperatorActionListener([&heard](uint32_t id, int answer) { heard.emplace_back(id, answer); });
        const auto pending6 = AnswerNextBox(QMessageBox::Cancel);
        ShowMessage(4, 20133);
        RemoveOperatorActionListener(handle);
        QCOMPARE(heard.size(), size_t(1));
        QCOMPARE(heard[0].first, 20133u);
        QCOMPARE(heard[0].second, 0);
    }

    void notesOfAnOperationAreRepeatedInItsFinalBox()
    {
        CurrentFeedback().ShowNote("The radio's EEPROM data was saved to /data/A.vbk");
        CurrentFeedback().SendProgress(WM_PROGRESS_OPEN, 4);
        CurrentFeedback().ShowNote("second note");
        {
            // A question while the operation still runs keeps them for the end.
            BoxSeen seen;
            const auto pending = AnswerNextBox(QMessageBox::Retry, &seen);
            ShowMessage(kMsgErrorRetryCancel, 20158);
            QVERIFY(seen.informative.isEmpty());
        }
        CurrentFeedback().SendProgress(WM_PROGRESS_CLOSE, 0);
        BoxRecorder boxes;
        ShowMessage(kMsgInformation, 20154);
        ShowMessage(kMsgInformation, 20154);
        QCOMPARE(boxes.Seen().size(), size_t{2});
        QCOMPARE(boxes.Seen()[0].informative,
                 QStringLiteral("The radio's EEPROM data was saved to /data/A.vbk\nsecond note"));
        QVERIFY2(boxes.Seen()[1].informative.isEmpty(), "shown once only");
    }

    void captionOfNoticesCanBeTheToolsOwn()
    {
        m_feedback.SetCaption(QStringLiteral("Mendkit"));
        BoxRecorder boxes;
        for (int kind : {kMsgInformation, kMsgWarning, kMsgError})
            ShowMessage(kind, 20163);
        m_feedback.SetCaption(QString());
        ShowMessage(kMsgInformation, 20163);
        QCOMPARE(boxes.Seen().size(), size_t{4});
        QCOMPARE(boxes.Seen()[0].caption, QStringLiteral("Mendkit"));
        QCOMPARE(boxes.Seen()[1].caption, QStringLiteral("Mendkit"));
        QCOMPARE(boxes.Seen()[2].caption, QStringLiteral("Error"));
        QCOMPARE(boxes.Seen()[3].caption, QStringLiteral("Vantrel"));
    }
};

VANTREL_SHELL_TEST(MessageBoxTest)

} // namespace vantrel

#include "MessageBoxTest.moc"
