#include "ShellTestSupport.h"
#include "link/StringTable.h"
#include "platform/Files.h"
#include "shell/CMainFrame.h"
#include "shell/CRadiliftApp.h"
#include "shell/CommandIds.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace vantrel {
namespace {

struct Started {
    TempStore store;
    FakePorts ports;
    std::vector<QString> chosen;
    std::unique_ptr<CRadiliftApp> app;

    explicit Started(Variant variant)
    {
        ports.results["COM1"] = PortProbeResult::Opens;
        app = std::make_unique<CRadiliftApp>(variant, store.Store(), TestHooks(ports, &chosen));
        QVERIFY(app->InitInstance());
    }
    CMainFrame& Frame() { return *app->MainFrame(); }
    bool Enabled(uint32_t id) { return Frame().Command(id)->isEnabled(); }
};

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void menuBarOfEachVariant_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<QStringList>("menus");
        // "Recover radio..." is added beside the upgrade of the service and laboratory variants, "Service
        // history..." last in every variant.
        QTest::newRow("service") << int(Variant::Service)
                                 << QStringList{"File: Exit",
                                                "Radio Access: Radio Info... | - | Upgrade Radio... | Recover "
                                                "radio... | - | Service history...",
                                                "Options: Configuration...", "View: Toolbar | Status Bar",
                                                "Help: About Vantrel..."};
        QTest::newRow("divavav") << int(Variant::Divavav)
                                 << QStringList{"File: Select firmware file | Select codeplug file | - | Exit",
                                                "Radio Access: Radio Info... | Program Regional ID... | - | "
                                                "Flash firmware... (disabled) | Recover radio... | Write Codeplug... "
                                                "(disabled) | - | Service history...",
                                                "Options: Configuration...", "View: Toolbar | Status Bar",
                                                "Help: Help Topics (disabled) | - | About Vantrel - Lab version..."};
        QTest::newRow("mendkit") << int(Variant::Mendkit)
                                 << QStringList{"File: Exit",
                                                "Radio Access: Radio Info... | - | Patch Radio | Undo patch | - | "
                                                "Service history...",
                                                "Options: Configuration...", "View: Toolbar | Status Bar",
                                                "Help: About Mendkit"};
    }

    void menuBarOfEachVariant()
    {
        QFETCH(int, variant);
        QFETCH(QStringList, menus);
        Started s(static_cast<Variant>(variant));
        QCOMPARE(MenuLayout(s.Frame()), menus);
        SaveShot(&s.Frame(), QStringLiteral("main-window-") + QString::fromLatin1(QTest::currentDataTag()));
    }

    void titleIsTheVariantsAndNeverNamesADocument()
    {
        for (Variant variant : {Variant::Service, Variant::Divavav, Variant::Mendkit}) {
            Started s(variant);
            const QString title = VariantTitle(variant);
            QCOMPARE(s.Frame().windowTitle(), title);
            s.chosen = {QStringLiteral("/tmp/torva5t.0"), QStringLiteral("/tmp/codeplug.0")};
            s.app->OnCommand(cmd::SelectFirmware);
            s.app->OnCommand(cmd::SelectCodeplug);
            QCOMPARE(s.Frame().windowTitle(), title);
            QVERIFY(s.Frame().windowFilePath().isEmpty());
        }
        QCOMPARE(VariantTitle(Variant::Service), QStringLiteral("Fieldline ZR740 Series Vantrel"));
        QCOMPARE(VariantTitle(Variant::Divavav),
                 QStringLiteral("Vantrel - Divavav version, CORVANTIS Internal use only"));
    }

    void toolbarButtonsTipsAndPrompts()
    {
        Started s(Variant::Divavav);
        const QList<QAction*> buttons = s.Frame().ToolBar()->actions();
        QCOMPARE(buttons.size(), 4);
        QCOMPARE(buttons[0]->property("commandId").toUInt(), cmd::ToolbarRadioInfo);
        QCOMPARE(buttons[1]->property("commandId").toUInt(), cmd::ToolbarUpgrade);
        QVERIFY(buttons[2]->isSeparator());
        QCOMPARE(buttons[3]->property("commandId").toUInt(), cmd::ToolbarAbout);
        QCOMPARE(s.Frame().ToolBar()->iconSize(), QSize(16, 15));
        QCOMPARE(buttons[0]->toolTip(), QStringLiteral("Radio Info"));
        QCOMPARE(buttons[1]->toolTip(), QStringLiteral("Upgrade Radio"));
        QCOMPARE(buttons[0]->statusTip(), QStringLiteral("Get information from connected radio"));
        // The About button has no prompt: no tooltip, and the idle text on hover.
        QVERIFY(buttons[3]->toolTip().isEmpty());
        QVERIFY(buttons[3]->statusTip().isEmpty());

        QLabel* pane = s.Frame().PromptPane();
        QCOMPARE(pane->text(), QString::fromUtf8(LoadMessageText(kIdsIdlePrompt)));
        s.Frame().Command(cmd::RadioInfo)->showStatusText(&s.Frame());
        QCOMPARE(pane->text(), QStringLiteral("Retrieve Status Information from the connected Radio"));
        buttons[3]->showStatusText(&s.Frame());
        QCOMPARE(pane->text(), QStringLiteral(" "));
        s.Frame().Command(cmd::Exit)->showStatusText(&s.Frame());
        QCOMPARE(pane->text(), QStringLiteral("Quit the Radilift"));

        // Key indicators follow the prompt pane in this order.
        QStringList indicators;
        for (QLabel* label : s.Frame().statusBar()->findChildren<QLabel*>()) {
            if (label != pane) indicators << label->text();
        }
        QCOMPARE(indicators, (QStringList{"CAP", "NUM", "SCRL"}));
    }

    // The indicators show the keyboard's lock state as the window system
    // reports it, whatever keys were pressed in the program.
    void lockIndicatorsShowTheKeyboardsState_data()
    {
        QTest::addColumn<bool>("caps");
        QTest::addColumn<bool>("num");
        QTest::addColumn<bool>("scroll");
        QTest::newRow("all off") << false << false << false;
        QTest::newRow("caps lock") << true << false << false;
        QTest::newRow("num lock") << false << true << false;
        QTest::newRow("scroll and num lock") << false << true << true;
    }

    void lockIndicatorsShowTheKeyboardsState()
    {
        QFETCH(bool, caps);
        QFETCH(bool, num);
        QFETCH(bool, scroll);
        Started s(Variant::Service);
        LockKeyState state{true, !caps, !num, !scroll};
        s.Frame().SetLockKeyReader([&state] { return state; });
        auto lit = [&s] {
            QStringList on;
            for (QLabel* label : s.Frame().statusBar()->findChildren<QLabel*>())
                if (label != s.Frame().PromptPane() && label->isEnabled()) on << label->text();
            return on;
        };
        QStringList expected;
        if (caps) expected << QStringLiteral("CAP");
        if (num) expected << QStringLiteral("NUM");
        if (scroll) expected << QStringLiteral("SCRL");
        // The keyboard changes (in this program or another); the indicators follow.
        state = {true, caps, num, scroll};
        QTest::keyClick(s.Frame().windowHandle(), Qt::Key_CapsLock);
        QCOMPARE(lit(), expected);
        state = {true, !caps, num, scroll};
        QTRY_VERIFY_WITH_TIMEOUT(lit().contains(QStringLiteral("CAP")) != caps, 3000);
    }

    void lockIndicatorsFollowTheKeysWhereTheStateIsUnknown()
    {
        Started s(Variant::Service);
        s.Frame().SetLockKeyReader([] { return LockKeyState{}; });
        QLabel* num = nullptr;
        for (QLabel* label : s.Frame().statusBar()->findChildren<QLabel*>())
            if (label->text() == QLatin1String("NUM")) num = label;
        QVERIFY(num && !num->isEnabled());
        QTest::keyClick(s.Frame().windowHandle(), Qt::Key_NumLock);
        QVERIFY(num->isEnabled());
        QTest::keyClick(s.Frame().windowHandle(), Qt::Key_NumLock);
        QVERIFY(!num->isEnabled());
    }

    // The main window comes back with the size it had; the file dialogs open
    // where the last file was chosen, the current folder at the first start.
    void windowSizeAndLastFolderAreKept()
    {
        TempStore store;
        FakePorts ports;
        std::vector<QString> folders;
        ShellHooks hooks = TestHooks(ports);
        hooks.chooseFile = [&folders](QWidget*, const QString&, const QString& folder) {
            folders.push_back(folder);
            return QStringLiteral("/tmp/sources/torva5t.0");
        };
        {
            CRadiliftApp app(Variant::Divavav, store.Store(), hooks);
            QVERIFY(app.InitInstance());
            app.MainFrame()->resize(700, 480);
            app.OnCommand(cmd::SelectFirmware);
            app.OnCommand(cmd::SelectCodeplug);
            app.ExitInstance();
        }
        QCOMPARE(folders, (std::vector<QString>{QStringLiteral("."), QStringLiteral("/tmp/sources")}));
        CRadiliftApp again(Variant::Divavav, store.Store(), hooks);
        QVERIFY(again.InitInstance());
        QCOMPARE(again.MainFrame()->size(), QSize(700, 480));
        again.OnCommand(cmd::SelectFirmware);
        QCOMPARE(folders.back(), QStringLiteral("/tmp/sources"));
    }

    void everyCommandHasItsPromptAndTheAcceleratorsAreBound()
    {
        Started s(Variant::Mendkit);
        const uint32_t commands[] = {57601, 32781, 32776, 32780, 32777, 57665, 32771, 32774,
                                     32772, 32783, 32782, 32792, 32793, 32773, 59392, 59393,
                                     57667, 57664, 32784, 32794, 32779, 32778, 32785, 32800};
        for (uint32_t id : commands) {
            QAction* action = s.Frame().Command(id);
            QVERIFY2(action, qPrintable(QString::number(id)));
            const QString full = QString::fromUtf8(LoadMessageText(id));
            QCOMPARE(action->statusTip(), full.section(QLatin1Char('\n'), 0, 0));
        }
        const struct {
            uint32_t id;
            QKeySequence key;
        } accelerators[] = {{cmd::Help, QKeySequence(Qt::Key_F1)},
                            {cmd::ContextHelp, QKeySequence(Qt::SHIFT | Qt::Key_F1)},
                            {cmd::NextPane, QKeySequence(Qt::Key_F6)},
                            {cmd::PrevPane, QKeySequence(Qt::SHIFT | Qt::Key_F6)}};
        for (const auto& accelerator : accelerators) {
            QCOMPARE(s.Frame().Command(accelerator.id)->shortcut(), accelerator.key);
        }
    }

    void viewCommandsToggleTheBars()
    {
        Started s(Variant::Service);
        QAction* toolbar = s.Frame().Command(cmd::ViewToolbar);
        QAction* statusBar = s.Frame().Command(cmd::ViewStatusBar);
        QVERIFY(toolbar->isChecked() && statusBar->isChecked());
        toolbar->trigger();
        statusBar->trigger();
        QVERIFY(!s.Frame().ToolBar()->isVisible());
        QVERIFY(!s.Frame().statusBar()->isVisible());
        toolbar->trigger();
        QVERIFY(s.Frame().ToolBar()->isVisible());
    }

    void firmwareSelectionEnablesFlashingInTheLabVariant()
    {
        Started s(Variant::Divavav);
        QVERIFY(!s.Enabled(cmd::FlashFirmware));
        QVERIFY(!s.Enabled(cmd::ToolbarUpgrade));
        QVERIFY(!s.Enabled(cmd::WriteCodeplug));

        // A cancelled selection changes nothing.
        s.Frame().Command(cmd::SelectFirmware)->trigger();
        QVERIFY(!s.Enabled(cmd::FlashFirmware));
        QVERIFY(s.app->m_strFirmwareFile.empty());
        QCOMPARE(s.app->m_bFirmwareSelected, 0);

        s.chosen = {QStringLiteral("/data/torva5t.0")};
        s.Frame().Command(cmd::SelectFirmware)->trigger();
        QCOMPARE(s.app->m_strFirmwareFile, std::string("/data/torva5t.0"));
        QVERIFY(s.Enabled(cmd::FlashFirmware));
        QVERIFY(s.Enabled(cmd::ToolbarUpgrade));
        QVERIFY(!s.Enabled(cmd::WriteCodeplug));

        // Selecting again replaces the path; cancelling then keeps it.
        s.chosen = {QStringLiteral("/data/other.0"), QString()};
        s.Frame().Command(cmd::SelectFirmware)->trigger();
        s.Frame().Command(cmd::SelectFirmware)->trigger();
        QCOMPARE(s.app->m_strFirmwareFile, std::string("/data/other.0"));
        QCOMPARE(s.app->m_bFirmwareSelected, 1);

        s.chosen = {QStringLiteral("/data/codeplug.0")};
        s.Frame().Command(cmd::SelectCodeplug)->trigger();
        QCOMPARE(s.app->m_strCodeplugFile, std::string("/data/codeplug.0"));
        QVERIFY(s.Enabled(cmd::WriteCodeplug));
        QVERIFY(s.app->m_strFirmwareFolder.empty());
    }

    void serviceVariantCanUpgradeFromTheStart()
    {
        Started s(Variant::Service);
        QCOMPARE(s.app->m_bFirmwareSelected, 1);
        QVERIFY(s.Enabled(cmd::ToolbarUpgrade));
        QVERIFY(s.Enabled(cmd::UpgradeRadio));
        // The patch tool has nothing to upgrade with.
        Started m(Variant::Mendkit);
        QCOMPARE(m.app->m_bFirmwareSelected, 0);
        QVERIFY(!m.Frame().ToolBar()->actions().contains(m.Frame().Command(cmd::ToolbarUpgrade)));
    }

    void aboutBoxesShowTheirTexts()
    {
        Started s(Variant::Divavav);
        auto labels = [](QWidget* dialog) {
            QStringList texts;
            for (QLabel* label : dialog->findChildren<QLabel*>()) {
                if (label->isVisibleTo(dialog) && !label->text().isEmpty()) texts << label->text();
            }
            return texts;
        };
        QStringList about;
        QString aboutTitle;
        const auto pending1 = AnswerNextDialog(true, [&](QWidget* dialog) {
            about = labels(dialog);
            aboutTitle = dialog->windowTitle();
            SaveShot(dialog, QStringLiteral("about"));
        });
        s.Frame().Command(cmd::ToolbarAbout)->trigger();
        QCOMPARE(aboutTitle, QStringLiteral("About"));
        QVERIFY(about.contains(QStringLiteral("Fieldline ZR740 Series Vantrel")));
        QVERIFY(about.contains(QStringLiteral("Version:  R03.08.08, 06-Oct-2006")));
        // The template's own product, version and internal-use texts never show.
        QVERIFY(!about.contains(QStringLiteral("Vantrel Application")));
        QCOMPARE(about.size(), 3);

        QStringList lab;
        QString labTitle;
        const auto pending2 = AnswerNextDialog(true, [&](QWidget* dialog) {
            lab = labels(dialog);
            labTitle = dialog->windowTitle();
            SaveShot(dialog, QStringLiteral("about-lab"));
        });
        s.Frame().Command(cmd::AboutLab)->trigger();
        QCOMPARE(labTitle, QStringLiteral("About Vantrel - Divavav version"));
        QCOMPARE(lab.mid(0, 3),
                 (QStringList{QString::fromUtf8("Fieldline Radio Vantrel\u2122 Tool"),
                              "Version:  D03.00.00a, 03-May-2000", "CAUTION: Divavav Version - Internal use only !"}));
    }

    void testReleaseQuestionOnlyForATestRelease_data()
    {
        QTest::addColumn<QStringList>("versions");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("runs");
        const int ok = QMessageBox::Ok;
        const int cancel = QMessageBox::Cancel;
        QTest::newRow("test release, OK") << QStringList{"R03.08.08", "T03.08.09"} << ok << true << true;
        QTest::newRow("test release, Cancel") << QStringList{"R03.08.08", "T03.08.09"} << cancel << true << false;
        QTest::newRow("release after a test") << QStringList{"T03.08.01", "R03.08.08"} << cancel << false << true;
        QTest::newRow("lab release") << QStringList{"T03.07.08", "D03.07.04"} << cancel << false << true;
        QTest::newRow("lower-case t") << QStringList{"t03.08.09"} << cancel << false << true;
        QTest::newRow("the program's own table") << QStringList{} << cancel << false << true;
    }

    void testReleaseQuestionOnlyForATestRelease()
    {
        QFETCH(QStringList, versions);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, runs);
        TempStore store;
        FakePorts ports;
        // A table of the given releases and its terminator.
        std::vector<QByteArray> texts;
        for (const QString& version : versions)
            texts.push_back(version.toLatin1());
        std::vector<VersionRecord> table;
        for (const QByteArray& text : texts)
            table.push_back(VersionRecord{text.constData(), {}});
        table.push_back(VersionRecord{"XXXXXXXXX", {}});
        ShellHooks hooks = TestHooks(ports);
        if (!versions.isEmpty()) hooks.versionTable = [&table] { return table.data(); };
        CRadiliftApp app(Variant::Service, store.Store(), hooks);
        BoxSeen seen;
        const auto pending1 = AnswerNextBox(static_cast<QMessageBox::StandardButton>(answer), &seen);
        QCOMPARE(app.InitInstance(), runs);
        if (!asked) {
            QTest::qWait(50); // gives an unexpected box the time to appear
            QVERIFY(!seen.shown);
            return;
        }
        QVERIFY(seen.shown);
        QCOMPARE(seen.caption, QStringLiteral("Vantrel"));
        QCOMPARE(seen.text, QString::fromUtf8(LoadMessageText(20165)));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        // Leaving here saves nothing.
        QVERIFY(store.Reopen()->allKeys().isEmpty());
    }

    void exportCommandsWriteIntoTheProgramFolder()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const std::string dir = folder.path().toStdString() + "/";
        QVERIFY(QFile::copy(QStringLiteral(VANTREL_BIN_DIR "/torva5t.0"), folder.filePath("torva5t.0")));
        const std::string previous = ProgramFolder();
        SetProgramFolder(dir);
        Started s(Variant::Divavav);

        BoxSeen seen;
        {
            const auto pending = AnswerNextBox(QMessageBox::Ok, &seen);
            s.Frame().Command(cmd::SaveFirmwareBinary)->trigger();
        }
        QCOMPARE(seen.text, QString::fromUtf8(LoadMessageText(20138)));
        QVERIFY(QFile::exists(folder.filePath("tor5t.mot")));
        QCOMPARE(s.app->m_strFirmwareFolder, dir);

        // No bootcode sources here: the first one missing stops the export with its message.
        BoxSeen missing;
        {
            const auto pending = AnswerNextBox(QMessageBox::Ok, &missing);
            s.Frame().Command(cmd::SaveBootcodes)->trigger();
        }
        QCOMPARE(missing.text, QString::fromUtf8(LoadMessageText(20109)));
        QVERIFY(!QFile::exists(folder.filePath("bt19.mot")));
        SetProgramFolder(previous);
    }

    void settingsAreSavedOnlyAtANormalEnd()
    {
        TempStore store;
        FakePorts ports;
        ports.results["COM2"] = PortProbeResult::Opens;
        {
            CRadiliftApp app(Variant::Divavav, store.Store(), TestHooks(ports));
            QVERIFY(app.InitInstance());
            app.m_nFlashRate = 115200;
            // The program is killed: no end of instance.
        }
        QVERIFY(store.Reopen()->allKeys().isEmpty());
        {
            CRadiliftApp app(Variant::Divavav, store.Store(), TestHooks(ports));
            QVERIFY(app.InitInstance());
            app.m_nFlashRate = 115200;
            app.ExitInstance();
        }
        auto saved = store.Reopen();
        QCOMPARE(saved->value("Options/SerialPort").toInt(), 1);
        QCOMPARE(saved->value("Options/FlashRate").toInt(), 115200);
    }
};

VANTREL_SHELL_TEST(MainFrameTest)

} // namespace vantrel

#include "MainFrameTest.moc"
