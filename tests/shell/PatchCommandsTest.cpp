#include "ShellTestSupport.h"
#include "link/Feedback.h"
#include "operations/PatchFile.h"
#include "operations/Patcher.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "shell/CMainFrame.h"
#include "shell/CRadiliftApp.h"
#include "shell/CommandIds.h"
#include "sim/SimBench.h"
#include "sim/SimSamplePatch.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace vantrel {
namespace {

using Bytes = std::vector<uint8_t>;

const QString kDone = QStringLiteral("Successfully done!");

// The patch tool with COM1 reaching a simulated radio on virtual time, the
// sample patch in its program folder and undo data kept in a folder of the
// test's own.
struct PatchBench {
    VirtualClock clock;
    TempStore store;
    FakePorts ports;
    QTemporaryDir folder;
    std::string previousProgramFolder = ProgramFolder();
    std::unique_ptr<CRadiliftApp> app;

    explicit PatchBench(const QString& target = QStringLiteral("sim"))
    {
        const QString data = folder.filePath(QStringLiteral("data"));
        QDir().mkpath(data);
        SetUserDataFolder(data.toStdString());
        SetProgramFolder(folder.path().toStdString());
        QFile patch(folder.filePath(QString::fromLatin1(kPatchFileName)));
        if (patch.open(QIODevice::WriteOnly)) patch.write(QByteArray::fromStdString(SimSamplePatchText()));
        store.Store().setValue("Options/SerialPort", 0);
        store.Store().setValue("Options/Slot1", target);
        ShellHooks hooks = TestHooks(ports);
        hooks.clock = &clock;
        hooks.patchRadio = &RunPatcher;
        app = std::make_unique<CRadiliftApp>(Variant::Mendkit, store.Store(), hooks);
        QVERIFY(app->InitInstance());
    }
    ~PatchBench()
    {
        app.reset();
        SetUserDataFolder("");
        SetProgramFolder(previousProgramFolder);
    }

    Bytes& Eeprom(const std::string& target = "sim")
    {
        std::string error;
        return app->Simulation().LineFor(target, error)->Radio().MutableState().eeprom;
    }
    void Run(uint32_t command) { app->MainFrame()->Command(command)->trigger(); }
};

} // namespace

class PatchCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void patchThenUndoGivesTheRadioItsBlockBack()
    {
        PatchBench bench;
        const Bytes old = bench.Eeprom();
        {
            BoxRecorder boxes(QStringLiteral("patch-done"));
            bench.Run(cmd::PatchRadio);
            QCOMPARE(boxes.Texts(), QStringList{kDone});
            const BoxSeen& seen = boxes.Seen().front();
            QCOMPARE(seen.caption, QStringLiteral("Mendkit"));
            QCOMPARE(seen.icon, QMessageBox::Information);
            // Where the old block went is in the box, not only the status bar.
            QVERIFY2(seen.informative.contains(QStringLiteral("Undo data saved to ")), qPrintable(seen.informative));
        }
        const Bytes patched = bench.Eeprom();
        // Block 3 of a Phase 3 radio, 123 to 228, and nothing else changed.
        QVERIFY(!std::equal(old.begin() + 123, old.begin() + 229, patched.begin() + 123));
        QVERIFY(std::equal(old.begin(), old.begin() + 123, patched.begin()));
        QVERIFY(std::equal(old.begin() + 229, old.end(), patched.begin() + 229));

        {
            BoxRecorder boxes(QStringLiteral("undo-done"));
            bench.Run(cmd::UndoPatch);
            QCOMPARE(boxes.Texts(), QStringList{kDone});
            QCOMPARE(boxes.Seen().front().caption, QStringLiteral("Mendkit"));
        }
        QVERIFY(bench.Eeprom() == old);

        // The patch tool's name was only for its own notices.
        BoxSeen later;
        const auto answer = AnswerNextBox(QMessageBox::Ok, &later);
        ShowMessage(kMsgInformation, 20163);
        QCOMPARE(later.caption, QStringLiteral("Vantrel"));
    }

    void aRadioThePatchIsNotForIsLeftAlone()
    {
        PatchBench bench(QStringLiteral("sim:unsupported"));
        const Bytes old = bench.Eeprom("sim:unsupported");
        BoxRecorder boxes;
        bench.Run(cmd::PatchRadio);
        QCOMPARE(boxes.Texts(), QStringList{"The connected radio is not supported by this Mendkit."});
        QCOMPARE(boxes.Seen().front().caption, QStringLiteral("Error"));
        QVERIFY(bench.Eeprom("sim:unsupported") == old);
        QVERIFY(!bench.app->Feedback().Progress().IsOpen());
    }

    void aRadioOutOfReachEndsWithThePatchError()
    {
        PatchBench bench(QStringLiteral("/nonexistent/ttyS9"));
        BoxRecorder boxes;
        bench.Run(cmd::UndoPatch);
        QCOMPARE(boxes.Texts(),
                 (QStringList{"The serial port COM1 could not be opened.\nThere is no such device.",
                              "An error occured during patching the radio."}));
        QVERIFY(!bench.app->Feedback().Progress().IsOpen());
    }

    void theOtherVariantsNeitherPatchNorUndo()
    {
        for (Variant variant : {Variant::Service, Variant::Divavav}) {
            TempStore store;
            FakePorts ports;
            ShellHooks hooks = TestHooks(ports);
            int calls = 0;
            hooks.patchRadio = [&calls](int, bool) {
                ++calls;
                return PatchOutcome::Done;
            };
            CRadiliftApp app(variant, store.Store(), hooks);
            QVERIFY(app.InitInstance());
            BoxRecorder boxes;
            app.MainFrame()->Command(cmd::PatchRadio)->trigger();
            app.MainFrame()->Command(cmd::UndoPatch)->trigger();
            QTest::qWait(30);
            QCOMPARE(calls, 0);
            QVERIFY(boxes.Seen().empty());
            QVERIFY(!MenuLayout(*app.MainFrame()).join(QLatin1Char('\n')).contains(QStringLiteral("atch")));
        }
    }
};

VANTREL_SHELL_TEST(PatchCommandsTest)

} // namespace vantrel

#include "PatchCommandsTest.moc"
