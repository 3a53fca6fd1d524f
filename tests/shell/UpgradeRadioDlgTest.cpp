#include "ShellTestSupport.h"
#include "codeplug/CodeplugLayout.h"
#include "data/ModelTable.h"
#include "images/Export.h"
#include "images/SRecordWriter.h"
#include "link/StringTable.h"
#include "operations/RadioInfo.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "shell/CMainFrame.h"
#include "shell/CRadiliftApp.h"
#include "shell/CUpgradeRadioDlg.h"
#include "shell/CommandIds.h"
#include "shell/QtFeedback.h"
#include "sim/CodeplugGenerator.h"
#include "upgrade/RecoverRadio.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <optional>

namespace vantrel {
namespace {

QString Text(uint32_t id)
{
    return QString::fromUtf8(LoadMessageText(id));
}

std::vector<uint8_t> Bytes(size_t count, uint32_t seed)
{
    std::vector<uint8_t> out(count);
    for (uint8_t& b : out) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return out;
}

// A firmware source of two records at both ends of the program area.
struct FirmwareSource {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> blocks;
    explicit FirmwareSource(uint32_t seed) : blocks{{0x000000, Bytes(96, seed)}, {0x070000, Bytes(40, seed + 1)}} {}
    std::string Text() const
    {
        std::string source;
        for (const auto& [address, bytes] : blocks)
            AppendSRecordData(source, address, bytes, 32);
        AppendSRecord(source, '9', 0, {});
        return source;
    }
};

bool WriteFile(const QString& path, const std::string& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

// A program folder with what an upgrade reads: the bootcodes exported from the
// sample sources, the carried firmware (small, to keep runs short) and an
// EEPROM data file for every model. Backups go to a folder of their own.
struct UpgradeFolder {
    QTemporaryDir program;
    QTemporaryDir data;
    FirmwareSource firmware{11};
    std::string previousProgram = ProgramFolder();

    UpgradeFolder()
    {
        SilentFeedback silent;
        ScopedFeedback scope(silent);
        for (const char* name : {"bt19k_qel.0", "bt38k_qel.0", "bt115k_qel.0"})
            QVERIFY(QFile::copy(QStringLiteral(VANTREL_BIN_DIR "/") + name, program.filePath(name)));
        QVERIFY(SaveBootcodesAsBinary(Path()));
        QVERIFY(WriteFile(program.filePath("torva5t.0"), firmware.Text()));
        QVERIFY(SaveFirmwareAsBinary(Path()));
        for (int row = 0; row < kModelTableRows; ++row) {
            const QString name = QString::fromStdString(ModelTableRow(row).eepromDataFile);
            if (name.isEmpty() || QFile::exists(program.filePath(name))) continue;
            const std::vector<uint8_t> bytes = GenerateEepromDataFile(static_cast<uint32_t>(100 + row));
            QVERIFY(WriteFile(program.filePath(name), std::string(bytes.begin(), bytes.end())));
        }
        SetProgramFolder(Path());
        SetUserDataFolder(data.path().toStdString());
    }
    ~UpgradeFolder()
    {
        SetProgramFolder(previousProgram);
        SetUserDataFolder("");
    }
    std::string Path() const { return program.path().toStdString() + "/"; }
};

// The application with COM1 reaching a simulated radio of the profile, on
// virtual time, running the real upgrade.
struct UpgradeBench {
    UpgradeFolder folder;
    VirtualClock clock{1000};
    TempStore store;
    FakePorts ports;
    std::vector<QString> chosen;
    std::unique_ptr<CRadiliftApp> app;
    std::string target;

    UpgradeBench(
        Variant variant, const std::string& profile, const std::string& faults = "",
        RunUpgradeFn run = [](const UpgradeSettings& s) { return RunUpgrade(s); })
        : target("sim:" + profile)
    {
        store.Store().setValue("Options/SerialPort", 0);
        store.Store().setValue("Options/FlashRate", 38400);
        store.Store().setValue("Options/Slot1", QString::fromStdString(target));
        ShellHooks hooks = TestHooks(ports, &chosen);
        hooks.clock = &clock;
        hooks.runUpgrade = std::move(run);
        hooks.recoverRadio = &RecoverRadio;
        app = std::make_unique<CRadiliftApp>(variant, store.Store(), hooks);
        std::string error;
        QVERIFY2(app->Simulation().SetFaults(faults, error), error.c_str());
        QVERIFY(app->InitInstance());
    }
    SimRadio& Radio()
    {
        std::string error;
        return app->Simulation().LineFor(target, error)->Radio();
    }
    bool FlashHolds(const FirmwareSource& firmware)
    {
        std::string error;
        app->Simulation().LineFor(target, error)->Sync();
        for (const auto& [address, bytes] : firmware.blocks) {
            std::vector<uint8_t> got(bytes.size());
            Radio().State().flash.Read(address, static_cast<uint32_t>(got.size()), got.data());
            if (got != bytes) return false;
        }
        return true;
    }
    // Opens the dialog with the command and presses Start Upgrade in it.
    void StartUpgrade(uint32_t command)
    {
        const auto pending = AnswerNextDialog(false, [](QWidget* dialog) {
            SaveShot(dialog, QStringLiteral("upgrade-radio"));
            Control<QPushButton>(*dialog, 1)->click();
        });
        app->MainFrame()->Command(command)->trigger();
    }
};

struct ProgressStep {
    uint32_t message;
    uint32_t wParam;
    bool operator==(const ProgressStep&) const = default;
};

// Sits between the upgrade and the GUI's feedback: logs every progress message
// and message box in order, and answers each real box with the next button of
// the script (OK or Retry when the script has run out).
class WatchingFeedback final : public Feedback {
public:
    WatchingFeedback(QtFeedback& gui, std::vector<QMessageBox::StandardButton> answers)
        : m_gui(gui), m_answers(std::move(answers)), m_scope(*this)
    {
    }

    void SendProgress(uint32_t message, uint32_t wParam) override
    {
        progress.push_back({message, wParam});
        m_gui.SendProgress(message, wParam);
        if (message == WM_PROGRESS_TEXT) m_status = wParam;
        // A picture of the window halfway through writing the EEPROM.
        if (message == WM_PROGRESS_POS && m_status == 20131 && !m_shotTaken && m_gui.Progress().Bar() &&
            wParam * 2 >= static_cast<uint32_t>(m_gui.Progress().Bar()->maximum())) {
            SaveShot(m_gui.Progress().Window(), QStringLiteral("upgrade-progress"));
            m_shotTaken = true;
        }
    }
    int ShowMessageBox(int kind, uint32_t id) override
    {
        boxes.push_back(id);
        progressOpenAtBox.push_back(m_gui.Progress().IsOpen());
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        if (!m_answers.empty()) {
            button = m_answers.front();
            m_answers.erase(m_answers.begin());
        }
        if (button == QMessageBox::NoButton)
            button = kind == kMsgErrorRetryCancel ? QMessageBox::Retry : QMessageBox::Ok;
        const QString shot = QStringLiteral("upgrade-message-%1").arg(id);
        QTimer::singleShot(0, [shot] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) SaveShot(box, shot);
        });
        BoxSeen box;
        const int answer = [&] {
            const auto pending = AnswerNextBox(button, &box);
            return m_gui.ShowMessageBox(kind, id);
        }();
        seen.push_back(box);
        return answer;
    }
    void ShowPortOpenFailure(const std::string& portName, const OpenResult& failure) override
    {
        boxes.push_back(PortOpenFailureId(failure.error));
        const auto pending = AnswerNextBox(QMessageBox::Ok);
        m_gui.ShowPortOpenFailure(portName, failure);
    }
    void BeginWaitCursor() override { m_gui.BeginWaitCursor(); }
    void EndWaitCursor() override { m_gui.EndWaitCursor(); }
    void ShowNote(const std::string& text) override { m_gui.ShowNote(text); }
    std::string RecoveryHint(RecoveryWay way, const std::string& backupPath) const override
    {
        return m_gui.RecoveryHint(way, backupPath);
    }

    const BoxSeen& Last() const { return seen.back(); }

    std::vector<ProgressStep> progress;
    std::vector<uint32_t> boxes;
    std::vector<bool> progressOpenAtBox;
    std::vector<BoxSeen> seen;

private:
    QtFeedback& m_gui;
    std::vector<QMessageBox::StandardButton> m_answers;
    ScopedFeedback m_scope;
    uint32_t m_status = 0;
    bool m_shotTaken = false;
};

// The steps appear in this order, whatever comes between them.
bool InOrder(const std::vector<ProgressStep>& seen, const std::vector<ProgressStep>& wanted)
{
    size_t next = 0;
    for (const ProgressStep& step : seen) {
        if (next < wanted.size() && step == wanted[next]) ++next;
    }
    return next == wanted.size();
}

QString BackupLineFor(const QString& path)
{
    return Text(20206).replace(QStringLiteral("%s"), path);
}

} // namespace

class UpgradeRadioDlgTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheCautionAndItsTwoButtons()
    {
        bool ran = false;
        CUpgradeRadioDlg dialog([&ran](const UpgradeSettings&) {
            ran = true;
            return UpgradeResult{};
        });
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Upgrade Radio"));
        QVERIFY(dialog.isModal());
        QGroupBox* caution = dialog.findChild<QGroupBox*>();
        QVERIFY(caution);
        QCOMPARE(caution->title(), QStringLiteral("CAUTION !!!"));
        QStringList texts;
        bool icon = false;
        for (QLabel* label : caution->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) texts << label->text();
            icon = icon || !label->pixmap().isNull();
        }
        QVERIFY(icon);
        QCOMPARE(
            texts,
            (QStringList{"Upgrading a radio is a timing critical process. Please close all other programs before "
                         "upgrading a radio. Do not remove the power supply or battery from the radio, or turn off "
                         "the power supply, during the upgrade process.",
                         "If the upgrade process is interrupted after the EEPROM data is read out, the radio must be "
                         "returned to Corvantis for repair (not covered under warranty).",
                         "To begin the upgrade process, connect the radio to the PC via the flash adaptor, turn the "
                         "flash adaptor switch to OFF(Normal Operation), turn the radio on and press the START "
                         "UPGRADE button below."}));
        QPushButton* start = Control<QPushButton>(dialog, 1);
        QPushButton* cancel = Control<QPushButton>(dialog, 2);
        QVERIFY(start && cancel);
        QCOMPARE(start->text(), QStringLiteral("Start Upgrade"));
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QVERIFY(start->isDefault());

        dialog.show();
        // Every text is shown whole: a wrapped label needs no more height than it has.
        for (QLabel* label : caution->findChildren<QLabel*>()) {
            if (label->wordWrap()) QVERIFY(label->height() >= label->heightForWidth(label->width()));
        }
        SaveShot(&dialog, QStringLiteral("upgrade-radio-dialog"));
        dialog.hide();
        QVERIFY(!ran);
    }

    void startUpgradeClosesTheDialogBeforeTheRun()
    {
        bool hiddenAndAccepted = false;
        CUpgradeRadioDlg* self = nullptr;
        CUpgradeRadioDlg dialog([&](const UpgradeSettings&) {
            hiddenAndAccepted = !self->isVisible() && self->result() == QDialog::Accepted;
            return UpgradeResult{};
        });
        self = &dialog;
        QTimer::singleShot(0, [&dialog] { Control<QPushButton>(dialog, 1)->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(hiddenAndAccepted);
    }

    // The three commands reach the dialog with the configured port and flash
    // rate and the variant's firmware source.
    void commandsRunTheUpgradeWithTheSettings_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<uint>("command");
        QTest::newRow("service menu") << int(Variant::Service) << uint(cmd::UpgradeRadio);
        QTest::newRow("service toolbar") << int(Variant::Service) << uint(cmd::ToolbarUpgrade);
        QTest::newRow("lab menu") << int(Variant::Divavav) << uint(cmd::FlashFirmware);
        QTest::newRow("lab toolbar") << int(Variant::Divavav) << uint(cmd::ToolbarUpgrade);
    }

    void commandsRunTheUpgradeWithTheSettings()
    {
        QFETCH(int, variant);
        QFETCH(uint, command);
        std::vector<UpgradeSettings> runs;
        UpgradeBench bench(static_cast<Variant>(variant), "default", "", [&runs](const UpgradeSettings& s) {
            runs.push_back(s);
            return UpgradeResult{UpgradeOutcome::Succeeded, 0, {}};
        });
        bench.app->m_nSerialPort = 2;
        bench.app->m_nFlashRate = 115200;
        const bool lab = static_cast<Variant>(variant) == Variant::Divavav;
        if (lab) {
            bench.chosen = {QStringLiteral("/lab/fw/torva5t_test.0")};
            bench.app->MainFrame()->Command(cmd::SelectFirmware)->trigger();
        }
        bench.StartUpgrade(command);
        QCOMPARE(runs.size(), size_t(1));
        const UpgradeSettings& s = runs[0];
        QCOMPARE(s.portIndex, 2);
        QCOMPARE(s.flashRate, uint32_t(115200));
        QCOMPARE(s.programFolder, bench.folder.Path());
        if (lab) {
            QCOMPARE(s.firmwarePath, std::string("/lab/fw/torva5t_test.0"));
            QVERIFY(s.firmwareSelected);
            QVERIFY(bench.app->m_strFirmwareFolder.empty());
        } else {
            QCOMPARE(s.firmwarePath, bench.folder.Path() + "tor5t.mot");
            QVERIFY(!s.firmwareSelected);
            QCOMPARE(bench.app->m_strFirmwareFolder, bench.folder.Path());
        }
    }

    // The lab flashes whatever file was selected: the dialog names it before
    // anything is erased. The service build flashes its own firmware.
    void theDialogNamesTheSelectedFirmware_data()
    {
        QTest::addColumn<int>("variant");
        QTest::newRow("service") << int(Variant::Service);
        QTest::newRow("lab") << int(Variant::Divavav);
    }

    void theDialogNamesTheSelectedFirmware()
    {
        QFETCH(int, variant);
        const bool lab = static_cast<Variant>(variant) == Variant::Divavav;
        bool ran = false;
        UpgradeBench bench(static_cast<Variant>(variant), "default", "", [&ran](const UpgradeSettings&) {
            ran = true;
            return UpgradeResult{};
        });
        if (lab) {
            bench.chosen = {QStringLiteral("/lab/cp/SK01_SAMPLE01TA.0")};
            bench.app->MainFrame()->Command(cmd::SelectFirmware)->trigger();
        }
        bool shown = false;
        QString text;
        const auto pending = AnswerNextDialog(false, [&](QWidget* dialog) {
            QLabel* firmware = Control<QLabel>(*dialog, 1040);
            shown = firmware && firmware->isVisible();
            if (firmware) text = firmware->text();
            SaveShot(dialog, QStringLiteral("upgrade-radio-") + (lab ? "lab" : "service"));
        });
        bench.app->MainFrame()->Command(lab ? cmd::FlashFirmware : cmd::UpgradeRadio)->trigger();
        QCOMPARE(shown, lab);
        if (lab) QCOMPARE(text, QStringLiteral("Firmware file to flash:\n/lab/cp/SK01_SAMPLE01TA.0"));
        QVERIFY(!ran);
    }

    void cancelRunsNothingAndSendsNothing()
    {
        UpgradeBench bench(Variant::Service, "default");
        WatchingFeedback watch(bench.app->Feedback(), {});
        const auto pending = AnswerNextDialog(false);
        bench.app->MainFrame()->Command(cmd::UpgradeRadio)->trigger();
        QTest::qWait(20);
        QVERIFY(watch.progress.empty());
        QVERIFY(watch.boxes.empty());
        QVERIFY(bench.Radio().Requests().empty());
    }

    void upgradesTheSimulatedRadioAndNamesTheBackup()
    {
        UpgradeBench bench(Variant::Service, "phase12-r2");
        WatchingFeedback watch(bench.app->Feedback(), {});
        bench.StartUpgrade(cmd::UpgradeRadio);

        QCOMPARE(watch.boxes, (std::vector<uint32_t>{20133, 20154}));
        // The bootstrap prompt comes over the open progress window; the
        // summary after it has gone.
        QCOMPARE(watch.progressOpenAtBox, (std::vector<bool>{true, false}));
        QVERIFY(!bench.app->Feedback().Progress().IsOpen());
        QCOMPARE(watch.progress.front(), (ProgressStep{WM_PROGRESS_OPEN, 3}));
        QCOMPARE(watch.progress.back(), (ProgressStep{WM_PROGRESS_CLOSE, 0}));
        QVERIFY(InOrder(watch.progress, {{WM_PROGRESS_TEXT, 20143},
                                         {WM_PROGRESS_POS, 1},
                                         {WM_PROGRESS_POS, 2},
                                         {WM_PROGRESS_POS, 3},
                                         {WM_PROGRESS_TEXT, 20130},
                                         {WM_PROGRESS_TEXT, 20131},
                                         {WM_PROGRESS_TEXT, 20135},
                                         {WM_PROGRESS_HIDEBAR, 0},
                                         {WM_PROGRESS_CLOSE, 0}}));

        const BoxSeen& done = watch.Last();
        QCOMPARE(done.text, Text(20154));
        QCOMPARE(done.icon, QMessageBox::Information);
        const QStringList backups = QDir(bench.folder.data.path()).entryList(QDir::Files);
        QCOMPARE(backups.size(), 1);
        QCOMPARE(done.informative, BackupLineFor(bench.folder.data.filePath(backups[0])));
        QVERIFY(bench.FlashHolds(bench.folder.firmware));
    }

    // Each prompt of a run is a real box; the summary keeps its own text and
    // names the backup only when one was saved.
    void promptsAndEndingsOfARun_data()
    {
        using B = QMessageBox::StandardButton;
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<std::vector<B>>("answers");
        QTest::addColumn<std::vector<uint32_t>>("boxes");
        QTest::addColumn<bool>("backup");
        // The summary of a run that failed once the radio was being changed
        // also says how to bring it back.
        QTest::addColumn<bool>("recovery");
        QTest::newRow("low battery") << "low-battery"
                                     << "" << std::vector<B>{} << std::vector<uint32_t>{20148} << false << false;
        QTest::newRow("unsupported") << "unsupported"
                                     << "" << std::vector<B>{} << std::vector<uint32_t>{20147} << false << false;
        // The backup is saved before the first write, ahead of the prompt.
        QTest::newRow("bootstrap prompt cancelled")
            << "phase12-r2"
            << "" << std::vector<B>{QMessageBox::Cancel} << std::vector<uint32_t>{20133} << true << false;
        QTest::newRow("bootcode download retried")
            << "phase12-r2"
            << "power@block:2" << std::vector<B>{} << std::vector<uint32_t>{20133, 20125, 20153, 20154} << true
            << false;
        QTest::newRow("flash erase fails, Cancel")
            << "phase12-r2"
            << "power@erase:1" << std::vector<B>{QMessageBox::Ok, QMessageBox::Cancel}
            << std::vector<uint32_t>{20133, 20158, 20146} << true << true;
        QTest::newRow("flash erase fails, Retry")
            << "phase12-r2"
            << "power@erase:1" << std::vector<B>{QMessageBox::Ok, QMessageBox::Retry}
            << std::vector<uint32_t>{20133, 20158, 20159, 20154} << true << false;
    }

    void promptsAndEndingsOfARun()
    {
        QFETCH(QString, profile);
        QFETCH(QString, faults);
        QFETCH(std::vector<QMessageBox::StandardButton>, answers);
        QFETCH(std::vector<uint32_t>, boxes);
        QFETCH(bool, backup);
        QFETCH(bool, recovery);
        UpgradeBench bench(Variant::Service, profile.toStdString(), faults.toStdString());
        WatchingFeedback watch(bench.app->Feedback(), answers);
        bench.StartUpgrade(cmd::UpgradeRadio);

        QCOMPARE(watch.boxes, boxes);
        for (size_t i = 0; i < boxes.size(); ++i)
            QCOMPARE(watch.seen[i].text, Text(boxes[i]));
        const BoxSeen& last = watch.Last();
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i] == 20158) QCOMPARE(watch.seen[i].buttons, QMessageBox::Retry | QMessageBox::Cancel);
        }
        const QStringList backups = QDir(bench.folder.data.path()).entryList(QDir::Files);
        QCOMPARE(backups.size(), backup ? 1 : 0);
        // A run cancelled at the prompt ends without a summary box.
        const bool summary = boxes.back() != 20133;
        if (backup && summary) {
            const QString path = bench.folder.data.filePath(backups[0]);
            QString expected = BackupLineFor(path);
            if (recovery) expected += QLatin1Char('\n') + Text(20233).replace(QStringLiteral("%s"), path);
            QCOMPARE(last.informative, expected);
        } else {
            QVERIFY(last.informative.isEmpty());
        }
        if (boxes.back() >= 20146 && boxes.back() <= 20148) QCOMPARE(last.icon, QMessageBox::Critical);
        // Only the summary names the backup.
        for (size_t i = 0; i + 1 < watch.seen.size(); ++i)
            QVERIFY(watch.seen[i].informative.isEmpty());
        QVERIFY(!bench.app->Feedback().Progress().IsOpen());
    }

    // A note belongs to the run that gave it: it goes with that run's final
    // message (the first box after the progress window closed) once, never
    // with a question inside the run or a later message.
    // The upgrade loses power in the erase; "Recover radio..." with the backup
    // it names brings the radio back from the menu alone.
    void recoverRadioBringsBackARadioWhoseUpgradeFailed()
    {
        UpgradeBench bench(Variant::Service, "phase12-r2", "power@erase:1");
        {
            WatchingFeedback watch(bench.app->Feedback(), {QMessageBox::Ok, QMessageBox::Cancel});
            bench.StartUpgrade(cmd::UpgradeRadio);
            QCOMPARE(watch.boxes, (std::vector<uint32_t>{20133, 20158, 20146}));
        }
        bench.Radio().SetFaults({});
        const QStringList backups = QDir(bench.folder.data.path()).entryList(QDir::Files);
        QCOMPARE(backups.size(), 1);

        WatchingFeedback watch(bench.app->Feedback(), {});
        QStringList listed;
        const auto pending = AnswerNextDialog(false, [&listed](QWidget* dialog) {
            auto* list = Control<QTreeWidget>(*dialog, 1100);
            for (int i = 0; list && i < list->topLevelItemCount(); ++i)
                listed << list->topLevelItem(i)->text(0) + QLatin1Char(' ') + list->topLevelItem(i)->text(2);
            SaveShot(dialog, QStringLiteral("recover-radio"));
            QVERIFY(Control<QRadioButton>(*dialog, 1103)->isChecked());
            Control<QPushButton>(*dialog, 1)->click();
        });
        bench.app->MainFrame()->Command(cmd::RecoverRadio)->trigger();
        QCOMPARE(listed, QStringList{QStringLiteral("742TQK1234 R02.02.04")});
        QCOMPARE(watch.boxes, (std::vector<uint32_t>{20133, 20230}));
        QCOMPARE(watch.progressOpenAtBox, (std::vector<bool>{true, false}));
        QVERIFY(bench.FlashHolds(bench.folder.firmware));
        QVERIFY(!bench.Radio().State().firmwareErased);
        bench.clock.Sleep(1000);
        QCOMPARE(ReadRadioInfo(0).outcome, RadioInfoOutcome::Ok);
    }

    void notesGoOnlyWithTheFinalMessageOfTheirRun()
    {
        QtFeedback feedback;
        ScopedFeedback scope(feedback);
        const auto informativeOf = [](uint32_t id, int kind) {
            BoxSeen seen;
            const auto pending = AnswerNextBox(QMessageBox::Ok, &seen);
            ShowMessage(kind, id);
            return seen.informative;
        };
        feedback.ShowNote("before the run");
        feedback.ForgetNotes();
        SendProgress(WM_PROGRESS_OPEN, 3);
        feedback.ShowNote("saved to /a");
        QVERIFY(informativeOf(20153, kMsgWarning).isEmpty());
        feedback.ShowNote("saved to /b");
        SendProgress(WM_PROGRESS_CLOSE);
        QCOMPARE(informativeOf(20146, kMsgError), QStringLiteral("saved to /a\nsaved to /b"));
        QVERIFY(informativeOf(20146, kMsgError).isEmpty());
        feedback.ShowNote("left over");
        feedback.ForgetNotes();
        QVERIFY(informativeOf(20154, kMsgInformation).isEmpty());
    }

    // A codeplug the upgrade cannot take is refused before anything is
    // written, and the final box says why.
    void aRefusedCodeplugIsExplainedInTheFinalBox()
    {
        UpgradeBench bench(Variant::Service, "phase12-r2");
        std::vector<uint8_t>& eeprom = bench.Radio().MutableState().eeprom;
        const uint16_t directory = ReadBigEndian16(eeprom, 512 + 9);
        WriteBigEndian16(eeprom, directory, 31);
        const std::vector<uint8_t> before = eeprom;
        WatchingFeedback watch(bench.app->Feedback(), {});
        bench.StartUpgrade(cmd::UpgradeRadio);
        QCOMPARE(watch.boxes, std::vector<uint32_t>{20146});
        QCOMPARE(watch.Last().informative,
                 QStringLiteral("The radio's application codeplug cannot be converted: its directory does not hold 32 "
                                "entries. Nothing was written to the radio."));
        QVERIFY(bench.Radio().State().eeprom == before);
    }

    // A block the conversion does not edit goes over as read, wrong checksum
    // and all; the final box names it beside the backup.
    void aDamagedBlockCarriedOverIsNamedInTheFinalBox()
    {
        UpgradeBench bench(Variant::Service, "phase12-r2");
        std::vector<uint8_t>& eeprom = bench.Radio().MutableState().eeprom;
        const uint16_t block = ReadBigEndian16(eeprom, ReadBigEndian16(eeprom, 512 + 9) + 2 * 9);
        eeprom[block + kBlockRecordsOffset + ReadBigEndian16(eeprom, block + 1) * eeprom[block + 3]] ^= 0x01;
        WatchingFeedback watch(bench.app->Feedback(), {});
        bench.StartUpgrade(cmd::UpgradeRadio);
        QCOMPARE(watch.boxes, (std::vector<uint32_t>{20133, 20154}));
        const QStringList backups = QDir(bench.folder.data.path()).entryList(QDir::Files);
        QCOMPARE(backups.size(), 1);
        QCOMPARE(watch.Last().informative,
                 QStringLiteral("Block 9 of the radio's application codeplug has a wrong checksum and was carried over "
                                "as read.\n") +
                     BackupLineFor(bench.folder.data.filePath(backups[0])));
    }

    void theLabFlashesTheSelectedFile()
    {
        UpgradeBench bench(Variant::Divavav, "phase12-r2");
        const FirmwareSource lab(77);
        const QString path = bench.folder.program.filePath("lab_build.0");
        QVERIFY(WriteFile(path, lab.Text()));
        bench.chosen = {path};
        bench.app->MainFrame()->Command(cmd::SelectFirmware)->trigger();
        WatchingFeedback watch(bench.app->Feedback(), {});
        bench.StartUpgrade(cmd::FlashFirmware);
        QCOMPARE(watch.boxes, (std::vector<uint32_t>{20133, 20154}));
        QVERIFY(bench.FlashHolds(lab));
        QVERIFY(!bench.FlashHolds(bench.folder.firmware));
    }
};

VANTREL_SHELL_TEST(UpgradeRadioDlgTest)

} // namespace vantrel

#include "UpgradeRadioDlgTest.moc"
