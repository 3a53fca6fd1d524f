#include "ShellTestSupport.h"
#include "history/HistoryStore.h"
#include "history/HistoryText.h"
#include "shell/CMainFrame.h"
#include "shell/CRadiliftApp.h"
#include "shell/CServiceHistoryDlg.h"
#include "shell/CommandIds.h"
#include "support/HistoryRecords.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace vantrel {
namespace {

// The patch tool on a simulated radio, recording into a history file of the test's own.
struct HistoryBench : PatchToolBench {
    HistoryBench() : PatchToolBench(QStringLiteral("sim"), true) {}
    void Run(uint32_t command)
    {
        BoxRecorder boxes;
        PatchToolBench::Run(command);
    }
    std::vector<ServiceRecord> Records() { return test::HistoryRecords(HistoryPath()); }
};

} // namespace

class ServiceHistoryDlgTest : public QObject {
    Q_OBJECT

private slots:
    void theGuiRecordsItsOperationsAndShowsThemFiltered()
    {
        HistoryBench bench;
        bench.Run(cmd::PatchRadio);
        bench.Run(cmd::UndoPatch);
        const std::vector<ServiceRecord> records = bench.Records();
        QCOMPARE(records.size(), size_t{2});
        QCOMPARE(QString::fromStdString(records[0].operation), QStringLiteral("patch"));
        QCOMPARE(QString::fromStdString(records[1].operation), QStringLiteral("unpatch"));
        QCOMPARE(QString::fromStdString(records[0].frontEnd), QStringLiteral("vantrel-mendkit"));
        QCOMPARE(QString::fromStdString(records[0].device), QStringLiteral("sim"));

        QStringList rowsSeen;
        bool opened = false;
        const auto pending = AnswerNextDialog(false, [&](QWidget* widget) {
            auto* dialog = qobject_cast<CServiceHistoryDlg*>(widget);
            QVERIFY(dialog != nullptr);
            opened = true;
            SaveShot(dialog, QStringLiteral("service-history"));
            QTableWidget* table = dialog->Table();
            QCOMPARE(table->rowCount(), 2);
            QCOMPARE(table->columnCount(), static_cast<int>(HistoryColumnNames().size()));
            QCOMPARE(table->horizontalHeaderItem(8)->text(), QStringLiteral("Serial number"));
            QCOMPARE(table->item(0, 8)->text(), QStringLiteral("742TQK1234"));
            QCOMPARE(table->item(1, 2)->text(), QStringLiteral("unpatch"));
            // A part of the serial number narrows the list as it is typed.
            dialog->SerialFilter()->setText(QStringLiteral("tqk12"));
            QCOMPARE(table->rowCount(), 2);
            dialog->SerialFilter()->setText(QStringLiteral("NOSUCH"));
            QCOMPARE(table->rowCount(), 0);
            QCOMPARE(dialog->CountLabel()->text(), QStringLiteral("0 records"));
            dialog->SerialFilter()->clear();
            QCOMPARE(table->rowCount(), 2);
        });
        bench.app->MainFrame()->Command(cmd::ServiceHistory)->trigger();
        QVERIFY(opened);
        // Looking at the history is not an operation on a radio.
        QCOMPARE(bench.Records().size(), size_t{2});
    }

    void exportWritesTheRecordsShownAsCsv()
    {
        HistoryBench bench;
        bench.Run(cmd::PatchRadio);
        bench.exportPath = bench.folder.filePath(QStringLiteral("export.csv"));
        CServiceHistoryDlg dialog(bench.HistoryPath(), [&](QWidget*, const QString&) { return bench.exportPath; });
        QCOMPARE(dialog.Table()->rowCount(), 1);
        QTest::mouseClick(dialog.ExportButton(), Qt::LeftButton);
        QFile file(bench.exportPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().toStdString(), HistoryCsv(bench.Records()));

        // A place that cannot take the file: the operator is told, nothing is left behind.
        bench.exportPath = bench.folder.filePath(QStringLiteral("no/such/folder/export.csv"));
        BoxRecorder boxes;
        QTest::mouseClick(dialog.ExportButton(), Qt::LeftButton);
        QCOMPARE(boxes.Texts(),
                 QStringList{QStringLiteral("The service history could not be saved as ") + bench.exportPath});
        QVERIFY(!QFile::exists(bench.exportPath));
    }

    void aHistoryThatCannotBeWrittenIsToldInTheOperationsFinalBox()
    {
        HistoryBench bench;
        // A folder where the history file should be.
        QVERIFY(QDir().mkpath(QString::fromStdString(bench.HistoryPath())));
        BoxRecorder boxes;
        bench.PatchToolBench::Run(cmd::PatchRadio);
        QCOMPARE(boxes.Texts(), QStringList{QStringLiteral("Successfully done!")});
        QVERIFY2(
            boxes.Seen().front().informative.contains(QStringLiteral("The service history could not be written (")),
            qPrintable(boxes.Seen().front().informative));
    }
};

VANTREL_SHELL_TEST(ServiceHistoryDlgTest)

} // namespace vantrel

#include "ServiceHistoryDlgTest.moc"
