#include "ShellTestSupport.h"
#include "images/SRecordWriter.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "shell/CCodeplugUpdateDlg.h"
#include "shell/CMainFrame.h"
#include "shell/CRadiliftApp.h"
#include "shell/CommandIds.h"
#include "sim/CodeplugGenerator.h"
#include "sim/SimBench.h"
#include "codeplug/BlockChecksum.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>

namespace vantrel {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kBoxIds[] = {1025, 1026, 1027, 1029, 1030, 1028};

const QString kDone = QStringLiteral("Upgrade Successfully done!\nSet the flash adapter switch to OFF(Normal "
                                     "Operation) and turn the radio OFF and then ON again.");
const QString kNotSupported = QStringLiteral("The connected radio is not supported by this version of Vantrel");

// The radio data a codeplug file must not overwrite when asked to keep them.
const Bytes kSerial = {'7', '4', '2', 'T', 'Q', 'K', '5', '5', '0', '1'};
const Bytes kEsn = {0x8A, 0x12, 0x34, 0x56, 0x78};
constexpr uint8_t kRegion = 0x04;

// The lab variant with COM2 reaching the built-in simulated radio on virtual
// time, backups going to a folder of the test's own, and a codeplug file
// ready to be selected.
struct CodeplugBench {
    VirtualClock clock;
    TempStore store;
    FakePorts ports;
    QTemporaryDir folder;
    std::vector<QString> chosen;
    std::unique_ptr<CRadiliftApp> app;
    Bytes file = GenerateNewCodeplugImage({});

    CodeplugBench()
    {
        SetUserDataFolder(DataFolder().toStdString());
        QDir().mkpath(DataFolder());
        store.Store().setValue("Options/SerialPort", 1);
        store.Store().setValue("Options/Slot2", "sim");
        ShellHooks hooks = TestHooks(ports, &chosen);
        hooks.clock = &clock;
        hooks.writeCodeplug = &WriteCodeplug;
        app = std::make_unique<CRadiliftApp>(Variant::Divavav, store.Store(), hooks);
        QVERIFY(app->InitInstance());
    }
    ~CodeplugBench() { SetUserDataFolder(""); }

    QString DataFolder() const { return folder.filePath(QStringLiteral("data")); }
    Bytes& Eeprom()
    {
        std::string error;
        return app->Simulation().LineFor("sim", error)->Radio().MutableState().eeprom;
    }
    // Gives the radio tuning bytes and identity data the file does not have.
    void MarkRadio()
    {
        Bytes& e = Eeprom();
        for (uint16_t a = 21; a < 123; ++a)
            e[a] = static_cast<uint8_t>(0xA0 ^ a);
        std::copy(kSerial.begin(), kSerial.end(), e.begin() + 655);
        e[710] = kRegion;
        std::copy(kEsn.begin(), kEsn.end(), e.begin() + 715);
    }
    void SelectCodeplug(const QString& path)
    {
        chosen.push_back(path);
        app->MainFrame()->Command(cmd::SelectCodeplug)->trigger();
    }
    QString WriteFile()
    {
        std::string text;
        AppendSRecordData(text, 0, file, 32);
        AppendSRecord(text, '9', 0, {});
        const QString path = folder.filePath(QStringLiteral("codeplug.0"));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly)) return {};
        out.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }
    // Runs Write Codeplug; `choose` sets the dialog's controls before OK.
    void Write(const std::function<void(QWidget&)>& choose)
    {
        const auto pending = AnswerNextDialog(false, [&choose](QWidget* dialog) {
            if (choose) choose(*dialog);
            Control<QPushButton>(*dialog, 1)->click();
        });
        app->MainFrame()->Command(cmd::WriteCodeplug)->trigger();
    }
    QStringList Backups() const { return QDir(DataFolder()).entryList({QStringLiteral("*.vbk")}, QDir::Files); }
};

} // namespace

class CodeplugUpdateDlgTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithThePathAndEverythingChecked()
    {
        CCodeplugUpdateDlg dialog({}, 0);
        dialog.codeplugPath = "/home/tech/codeplugs/H25TVA-north.0";
        dialog.flashRate = 115200;
        dialog.InitDialog();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Codeplug Update"));
        QCOMPARE(dialog.property("controlId").toInt(), 168);
        QCOMPARE(Control<QLabel>(dialog, 1033)->text(), QStringLiteral("/home/tech/codeplugs/H25TVA-north.0"));

        const std::pair<int, QString> radios[] = {
            {1037, "Phase 1/2 to Phase 1/2"}, {1038, "Phase 3 to Phase 3"}, {1039, "Phase 1/2 to Phase 3"}};
        for (const auto& [id, text] : radios) {
            QRadioButton* radio = Control<QRadioButton>(dialog, id);
            QVERIFY2(radio, qPrintable(QString::number(id)));
            QCOMPARE(radio->text(), text);
            QCOMPARE(radio->isChecked(), id == 1038);
        }
        const std::pair<int, QString> boxes[] = {{1025, "Write hardware codeplug"},    {1026, "Save tuning data"},
                                                 {1027, "Write application codeplug"}, {1029, "Save Reginal ID"},
                                                 {1030, "Save Serial number"},         {1028, "Save ESN"}};
        for (const auto& [id, text] : boxes) {
            QCheckBox* box = Control<QCheckBox>(dialog, id);
            QVERIFY2(box, qPrintable(QString::number(id)));
            QCOMPARE(box->text(), text);
            QVERIFY(box->isChecked());
        }
        // Each choice sits in its own group.
        const std::pair<int, QString> groups[] = {
            {1037, "Codeplug Layout"},      {1038, "Codeplug Layout"},      {1039, "Codeplug Layout"},
            {1025, "Hardware Codeplug"},    {1026, "Hardware Codeplug"},    {1027, "Application Codeplug"},
            {1029, "Application Codeplug"}, {1030, "Application Codeplug"}, {1028, "Application Codeplug"}};
        for (const auto& [id, title] : groups) {
            auto* group = qobject_cast<QGroupBox*>(Control<QAbstractButton>(dialog, id)->parentWidget());
            QVERIFY(group);
            QCOMPARE(group->title(), title);
        }
        QCOMPARE(Control<QPushButton>(dialog, 1)->text(), QStringLiteral("OK"));
        QCOMPARE(Control<QPushButton>(dialog, 2)->text(), QStringLiteral("Cancel"));
        QVERIFY(Control<QPushButton>(dialog, 1)->isDefault());

        // The defaults are the writer's defaults, on the dialog's port, with a backup.
        const CodeplugWriteOptions chosen = dialog.Choices();
        QCOMPARE(chosen.codeplugPath, dialog.codeplugPath);
        QVERIFY(chosen.layout == CodeplugLayoutChoice::Phase3ToPhase3);
        QVERIFY(chosen.writeHardware && chosen.saveTuning && chosen.writeApplication && chosen.saveRegionalId &&
                chosen.saveSerialNumber && chosen.saveEsn && chosen.backup);

        // Nothing is cut off: every control gets at least the room it asks for.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        SaveShot(&dialog, QStringLiteral("codeplug-update"));
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
            QVERIFY2(button->width() >= button->sizeHint().width() && button->height() >= button->sizeHint().height(),
                     qPrintable(button->text()));
        }
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
            QVERIFY2(label->height() >= needed, qPrintable(label->text()));
            if (!label->wordWrap()) QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        }
        dialog.hide();
    }

    void eachControlReachesTheWrite_data()
    {
        QTest::addColumn<int>("clicked");
        QTest::newRow("Phase 1/2 to Phase 1/2") << 1037;
        QTest::newRow("Phase 1/2 to Phase 3") << 1039;
        for (int id : kBoxIds)
            QTest::newRow(qPrintable(QStringLiteral("box %1").arg(id))) << id;
    }

    void eachControlReachesTheWrite()
    {
        QFETCH(int, clicked);
        std::vector<CodeplugWriteOptions> written;
        bool visibleWhileWriting = true;
        CCodeplugUpdateDlg* self = nullptr;
        CCodeplugUpdateDlg dialog(
            [&](const CodeplugWriteOptions& options) {
                written.push_back(options);
                visibleWhileWriting = self->isVisible();
                return CodeplugWriteOutcome::Success;
            },
            2);
        self = &dialog;
        dialog.codeplugPath = "cp.0";
        dialog.InitDialog();
        dialog.show();
        Control<QAbstractButton>(dialog, clicked)->click();
        Control<QPushButton>(dialog, 1)->click();

        QCOMPARE(written.size(), size_t{1});
        QVERIFY2(!visibleWhileWriting, "the dialog closes before the radio is written");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.Outcome() == CodeplugWriteOutcome::Success);
        const CodeplugWriteOptions& o = written.front();
        QCOMPARE(o.portIndex, 2);
        QCOMPARE(o.codeplugPath, std::string("cp.0"));
        const CodeplugLayoutChoice layout = clicked == 1037   ? CodeplugLayoutChoice::Phase12ToPhase12
                                            : clicked == 1039 ? CodeplugLayoutChoice::Phase12ToPhase3
                                                              : CodeplugLayoutChoice::Phase3ToPhase3;
        QVERIFY(o.layout == layout);
        // Exactly the box clicked is off.
        QCOMPARE(o.writeHardware, clicked != 1025);
        QCOMPARE(o.saveTuning, clicked != 1026);
        QCOMPARE(o.writeApplication, clicked != 1027);
        QCOMPARE(o.saveRegionalId, clicked != 1029);
        QCOMPARE(o.saveSerialNumber, clicked != 1030);
        QCOMPARE(o.saveEsn, clicked != 1028);
        QVERIFY(o.backup);
    }

    void cancelWritesNothing()
    {
        TempStore store;
        FakePorts ports;
        std::vector<QString> chosen;
        ShellHooks hooks = TestHooks(ports, &chosen);
        int writes = 0;
        hooks.writeCodeplug = [&writes](const CodeplugWriteOptions&) {
            ++writes;
            return CodeplugWriteOutcome::Success;
        };
        CRadiliftApp app(Variant::Divavav, store.Store(), hooks);
        QVERIFY(app.InitInstance());

        // No dialog before a file is chosen, even when triggered directly.
        bool shown = false;
        {
            const auto pending = AnswerNextDialog(false, [&shown](QWidget*) { shown = true; });
            app.MainFrame()->Command(cmd::WriteCodeplug)->trigger();
            QTest::qWait(30);
        }
        QVERIFY(!shown);

        chosen.push_back(QStringLiteral("/tmp/a.0"));
        app.MainFrame()->Command(cmd::SelectCodeplug)->trigger();
        QString pathShown;
        BoxRecorder boxes;
        const auto pending = AnswerNextDialog(false, [&pathShown](QWidget* dialog) {
            pathShown = Control<QLabel>(*dialog, 1033)->text();
            Control<QPushButton>(*dialog, 2)->click();
        });
        app.MainFrame()->Command(cmd::WriteCodeplug)->trigger();
        QCOMPARE(pathShown, QStringLiteral("/tmp/a.0"));
        QCOMPARE(writes, 0);
        QVERIFY(boxes.Seen().empty());
    }

    void writesTheSimulatedRadioAsChosen_data()
    {
        QTest::addColumn<int>("layoutId");
        QTest::addColumn<QList<int>>("unchecked");
        QTest::addColumn<int>("writtenFrom");
        QTest::addColumn<int>("writtenTo"); // 0: the file's end
        QTest::addColumn<int>("tuningEnd"); // 0: the file's tuning is written
        QTest::addColumn<bool>("identityKept");
        QTest::newRow("defaults") << 1038 << QList<int>{} << 0 << 0 << 123 << true;
        QTest::newRow("hardware with the file's tuning") << 1038 << QList<int>{1026, 1027} << 0 << 640 << 0 << false;
        QTest::newRow("Phase 1/2 hardware") << 1037 << QList<int>{1027} << 0 << 512 << 117 << false;
        QTest::newRow("application only") << 1038 << QList<int>{1025} << 640 << 0 << 0 << true;
    }

    void writesTheSimulatedRadioAsChosen()
    {
        QFETCH(int, layoutId);
        QFETCH(QList<int>, unchecked);
        QFETCH(int, writtenFrom);
        QFETCH(int, writtenTo);
        QFETCH(int, tuningEnd);
        QFETCH(bool, identityKept);
        CodeplugBench bench;
        // "Phase 1/2 to Phase 1/2" takes a file of the Phase 1/2 layout.
        if (layoutId == 1037) bench.file = GenerateOldCodeplugImage({});
        bench.MarkRadio();
        const Bytes old = bench.Eeprom();
        const size_t to = writtenTo ? size_t(writtenTo) : bench.file.size();
        bench.SelectCodeplug(bench.WriteFile());

        const bool defaults = unchecked.isEmpty();
        BoxRecorder boxes(defaults ? QStringLiteral("codeplug-written") : QString());
        bench.Write([&](QWidget& dialog) {
            Control<QRadioButton>(dialog, layoutId)->click();
            for (int id : unchecked)
                Control<QCheckBox>(dialog, id)->setChecked(false);
        });

        Bytes expected = old;
        std::copy(bench.file.begin() + writtenFrom, bench.file.begin() + static_cast<long>(to),
                  expected.begin() + writtenFrom);
        if (tuningEnd) std::copy(old.begin() + 21, old.begin() + tuningEnd, expected.begin() + 21);
        if (identityKept) {
            std::copy(old.begin() + 655, old.begin() + 665, expected.begin() + 655);
            expected[710] = old[710];
            std::copy(old.begin() + 715, old.begin() + 720, expected.begin() + 715);
            expected[722] = BlockChecksum(std::span<const uint8_t>(expected).subspan(651, 71));
        }
        QVERIFY(expected != old);
        QVERIFY(bench.Eeprom() == expected);

        // One box: success, naming the backup of exactly what was overwritten.
        QCOMPARE(boxes.Texts(), QStringList{kDone});
        QCOMPARE(boxes.Seen().front().icon, QMessageBox::Information);
        const QStringList backups = bench.Backups();
        QCOMPARE(backups.size(), 1);
        const QString backupPath = QDir(bench.DataFolder()).filePath(backups.front());
        QVERIFY2(boxes.Seen().front().informative.contains(
                     QStringLiteral("The radio's EEPROM data was saved to %1").arg(backupPath)),
                 qPrintable(boxes.Seen().front().informative));
        QVERIFY(!bench.app->Feedback().Progress().IsOpen());
    }

    void aFileThatCannotBeOpenedLeavesTheRadioAlone()
    {
        CodeplugBench bench;
        const Bytes old = bench.Eeprom();
        bench.SelectCodeplug(bench.folder.filePath(QStringLiteral("missing.0")));
        BoxRecorder boxes(QStringLiteral("codeplug-missing-file"));
        bench.Write({});
        QCOMPARE(boxes.Texts(), (QStringList{"Open EEPROM-data file failed", kNotSupported}));
        QCOMPARE(boxes.Seen().back().caption, QStringLiteral("Error"));
        QVERIFY(boxes.Seen().back().informative.isEmpty());
        QVERIFY(bench.Eeprom() == old);
        QVERIFY(bench.Backups().isEmpty());
    }
};

VANTREL_SHELL_TEST(CodeplugUpdateDlgTest)

} // namespace vantrel

#include "CodeplugUpdateDlgTest.moc"
