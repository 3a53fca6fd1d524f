#include "ShellTestSupport.h"
#include "codeplug/EepromBackup.h"
#include "shell/CRecoverRadioDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace vantrel {
namespace {

void SaveBackup(const QTemporaryDir& folder, const QString& name, const std::string& serial, const std::string& version)
{
    EepromBackup backup;
    backup.modelNumber = "H25TVA0A1B";
    backup.serialNumber = serial;
    backup.softwareVersion = version;
    backup.bytes.assign(640, 0x5A);
    std::string error;
    QVERIFY2(SaveEepromBackup(folder.filePath(name).toStdString(), backup, error), error.c_str());
}

// The dialog with a recovery that only records what it was asked for.
struct Dialog {
    std::optional<RecoverySettings> ran;
    std::vector<QString> browsed;
    CRecoverRadioDlg dialog{[this](const RecoverySettings& s) {
                                ran = s;
                                return RecoveryOutcome::Recovered;
                            },
                            [this](QWidget*) {
                                if (browsed.empty()) return QString();
                                const QString path = browsed.front();
                                browsed.erase(browsed.begin());
                                return path;
                            }};
    explicit Dialog(const QString& folder, bool firmwareAvailable = true)
    {
        dialog.settings.programFolder = "/opt/vantrel/";
        dialog.settings.flashRate = 38400;
        dialog.backupFolder = folder.toStdString() + "/";
        dialog.firmwareAvailable = firmwareAvailable;
        dialog.InitDialog();
    }
    QTreeWidget* List() { return Control<QTreeWidget>(dialog, 1100); }
    QRadioButton* Choice(int id) { return Control<QRadioButton>(dialog, id); }
};

} // namespace

class RecoverRadioDlgTest : public QObject {
    Q_OBJECT

private slots:
    void listsTheBackupsNewestFirst()
    {
        QTemporaryDir folder;
        SaveBackup(folder, "742TQK1234-20240131-154502.vbk", "742TQK1234", "R02.02.04");
        SaveBackup(folder, "742TQK5678-20240201-090000.vbk", "742TQK5678", "R02.01.03");
        Dialog d(folder.path());
        QTreeWidget* list = d.List();
        QCOMPARE(list->columnCount(), 4);
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Serial number"));
        QCOMPARE(list->headerItem()->text(3), QStringLiteral("Date"));
        QCOMPARE(list->topLevelItemCount(), 2);
        const QTreeWidgetItem* newest = list->topLevelItem(0);
        QCOMPARE(newest->text(0), QStringLiteral("742TQK5678"));
        QCOMPARE(newest->text(1), QStringLiteral("H25TVA0A1B"));
        QCOMPARE(newest->text(2), QStringLiteral("R02.01.03"));
        QCOMPARE(newest->text(3), QStringLiteral("2024-02-01 09:00:00"));
        // The newest is chosen, with firmware and EEPROM data.
        QCOMPARE(list->currentItem(), newest);
        QVERIFY(d.Choice(1103)->isChecked());
        QVERIFY(Control<QLabel>(d.dialog, 1106)->text().endsWith(QStringLiteral("/opt/vantrel/tor5t.mot")));
    }

    // What a recovery saved of a radio in bootstrap mode is newer, but names
    // no radio: the upgrade's backup stays the one chosen.
    void choosesTheNewestBackupThatNamesItsRadio()
    {
        QTemporaryDir folder;
        SaveBackup(folder, "742TQK1234-20240131-154502.vbk", "742TQK1234", "R02.02.04");
        SaveBackup(folder, "unknown-20240131-160000.vbk", "", "");
        Dialog d(folder.path());
        QCOMPARE(d.List()->topLevelItemCount(), 2);
        QCOMPARE(d.List()->topLevelItem(0)->text(0), QString());
        QCOMPARE(d.List()->currentItem(), d.List()->topLevelItem(1));
    }

    void choicesBecomeTheRecoverysSettings_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("withBackup");
        QTest::addColumn<bool>("firmware");
        QTest::newRow("firmware and EEPROM data") << 1103 << true << true;
        QTest::newRow("firmware only") << 1104 << false << true;
        QTest::newRow("EEPROM data only") << 1105 << true << false;
    }

    void choicesBecomeTheRecoverysSettings()
    {
        QFETCH(int, choice);
        QFETCH(bool, withBackup);
        QFETCH(bool, firmware);
        QTemporaryDir folder;
        SaveBackup(folder, "742TQK1234-20240131-154502.vbk", "742TQK1234", "R02.02.04");
        Dialog d(folder.path());
        d.Choice(choice)->setChecked(true);
        Control<QPushButton>(d.dialog, 1)->click();
        QVERIFY(d.ran.has_value());
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(d.ran->backupPath,
                 withBackup ? folder.filePath("742TQK1234-20240131-154502.vbk").toStdString() : std::string());
        QCOMPARE(d.ran->writeFirmware, firmware);
        QCOMPARE(d.ran->flashRate, 38400u);
    }

    void withoutABackupOnlyTheFirmwareCanBeWritten()
    {
        QTemporaryDir folder;
        Dialog d(folder.path());
        QCOMPARE(d.List()->topLevelItemCount(), 0);
        QVERIFY(d.Choice(1104)->isChecked());
        QVERIFY(!d.Choice(1103)->isEnabled());
        QVERIFY(!d.Choice(1105)->isEnabled());
        Control<QPushButton>(d.dialog, 1)->click();
        QVERIFY(d.ran->backupPath.empty());
        QVERIFY(d.ran->writeFirmware);
    }

    // The laboratory build before a firmware file was selected.
    void withoutAFirmwareOnlyTheBackupCanBeWritten_data()
    {
        QTest::addColumn<bool>("withBackup");
        QTest::newRow("a backup listed") << true;
        QTest::newRow("no backup") << false;
    }

    void withoutAFirmwareOnlyTheBackupCanBeWritten()
    {
        QFETCH(bool, withBackup);
        QTemporaryDir folder;
        if (withBackup) SaveBackup(folder, "742TQK1234-20240131-154502.vbk", "742TQK1234", "R02.02.04");
        Dialog d(folder.path(), false);
        QVERIFY(!d.Choice(1103)->isEnabled());
        QVERIFY(!d.Choice(1104)->isEnabled());
        QCOMPARE(d.Choice(1105)->isEnabled(), withBackup);
        QCOMPARE(d.Choice(1105)->isChecked(), withBackup);
        QCOMPARE(Control<QPushButton>(d.dialog, 1)->isEnabled(), withBackup);
        d.dialog.OnOK();
        QCOMPARE(d.ran.has_value(), withBackup);
        if (!withBackup) return;
        QVERIFY(!d.ran->writeFirmware);
        QCOMPARE(d.ran->backupPath, folder.filePath("742TQK1234-20240131-154502.vbk").toStdString());
    }

    void browseAddsAFileFromElsewhere()
    {
        QTemporaryDir folder;
        QTemporaryDir elsewhere;
        SaveBackup(elsewhere, "kept.vbk", "742TQK9999", "R01.00.20");
        Dialog d(folder.path());
        d.browsed = {QString(), elsewhere.filePath("kept.vbk")};
        Control<QPushButton>(d.dialog, 1102)->click(); // cancelled
        QCOMPARE(d.List()->topLevelItemCount(), 0);
        Control<QPushButton>(d.dialog, 1102)->click();
        QCOMPARE(d.List()->topLevelItemCount(), 1);
        QCOMPARE(d.List()->currentItem()->text(0), QStringLiteral("742TQK9999"));
        QVERIFY(d.Choice(1103)->isChecked());
        Control<QPushButton>(d.dialog, 1)->click();
        QCOMPARE(d.ran->backupPath, elsewhere.filePath("kept.vbk").toStdString());
    }

    void cancelRunsNothing()
    {
        QTemporaryDir folder;
        Dialog d(folder.path());
        Control<QPushButton>(d.dialog, 2)->click();
        QVERIFY(!d.ran.has_value());
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
    }
};

VANTREL_SHELL_TEST(RecoverRadioDlgTest)

} // namespace vantrel

#include "RecoverRadioDlgTest.moc"
