#include "ShellTestSupport.h"
#include "platform/Clock.h"
#include "shell/CMainFrame.h"
#include "shell/CRadiliftApp.h"
#include "shell/CRadioInfoDlg.h"
#include "shell/CommandIds.h"
#include "sim/SimBench.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace vantrel {
namespace {

RadioInfoResult SampleRadio()
{
    RadioInfoResult result;
    result.outcome = RadioInfoOutcome::Ok;
    result.fields = {"ID = $4A $01", "471TGA1234", "012/03/077881", "n/a",          "R05.02.00",
                     "06/10/2006",   "8571234A02", "8570987B05",    "$12 $FE $03 ", "North America"};
    return result;
}

} // namespace

class RadioInfoDlgTest : public QObject {
    Q_OBJECT

private slots:
    void fieldsGoToTheirControlsAndTheRegionStaysHidden()
    {
        int portAsked = -1;
        CRadioInfoDlg dialog(
            [&portAsked](int port) {
                portAsked = port;
                return SampleRadio();
            },
            2);
        QVERIFY(dialog.InitDialog());
        QCOMPARE(portAsked, 2);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Radio Info"));
        const std::pair<int, QString> expected[] = {
            {1001, "ID = $4A $01"}, {1002, "471TGA1234"},   {1009, "012/03/077881"}, {1003, "n/a"},
            {1004, "R05.02.00"},    {1005, "06/10/2006"},   {1006, "8571234A02"},    {1007, "8570987B05"},
            {1013, "$12 $FE $03 "}, {1008, "North America"}};
        for (const auto& [id, text] : expected) {
            QLineEdit* edit = Control<QLineEdit>(dialog, id);
            QVERIFY2(edit, qPrintable(QString::number(id)));
            QCOMPARE(edit->text(), text);
            QVERIFY(edit->isReadOnly());
        }
        dialog.show();
        QVERIFY(!Control<QLineEdit>(dialog, 1008)->isVisible());
        QVERIFY(!Control<QLabel>(dialog, 1010)->isVisible());
        QVERIFY(Control<QLineEdit>(dialog, 1001)->isVisible());
        // OK sits in the middle of the dialog.
        QPushButton* ok = Control<QPushButton>(dialog, 1);
        QVERIFY(qAbs(ok->mapTo(&dialog, ok->rect().center()).x() - dialog.width() / 2) <= 2);
        SaveShot(&dialog, QStringLiteral("radio-info"));
        dialog.hide();
    }

    void eightBitTextIsShownByteForByte()
    {
        RadioInfoResult result = SampleRadio();
        result.fields.serialNumber = std::string("A\xE9Z", 3);
        CRadioInfoDlg dialog([result](int) { return result; }, 0);
        QVERIFY(dialog.InitDialog());
        QCOMPARE(Control<QLineEdit>(dialog, 1002)->text(), QString::fromUtf8("A\xC3\xA9Z"));
    }

    void aFailedReadNeverShowsTheDialog_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::newRow("port") << int(RadioInfoOutcome::PortOpenFailed);
        QTest::newRow("communication") << int(RadioInfoOutcome::CommunicationError);
    }

    void aFailedReadNeverShowsTheDialog()
    {
        QFETCH(int, outcome);
        TempStore store;
        FakePorts ports;
        ports.results["COM2"] = PortProbeResult::Opens;
        ShellHooks hooks = TestHooks(ports);
        std::vector<int> ports_asked;
        hooks.readRadioInfo = [&ports_asked, outcome](int port) {
            ports_asked.push_back(port);
            RadioInfoResult result = SampleRadio();
            result.outcome = static_cast<RadioInfoOutcome>(outcome);
            return result;
        };
        CRadiliftApp app(Variant::Service, store.Store(), hooks);
        QVERIFY(app.InitInstance());
        bool shown = false;
        const auto pending = AnswerNextDialog(true, [&shown](QWidget*) { shown = true; });
        app.MainFrame()->Command(cmd::ToolbarRadioInfo)->trigger();
        app.MainFrame()->Command(cmd::RadioInfo)->trigger();
        QTest::qWait(50);
        QVERIFY(!shown);
        QCOMPARE(ports_asked, (std::vector<int>{1, 1}));
    }

    void readsTheSimulatedRadio()
    {
        VirtualClock clock;
        TempStore store;
        store.Store().setValue("Options/SerialPort", 0);
        store.Store().setValue("Options/Slot1", "sim");
        FakePorts ports;
        ShellHooks hooks = TestHooks(ports);
        hooks.clock = &clock;
        hooks.readRadioInfo = &ReadRadioInfo;
        CRadiliftApp app(Variant::Service, store.Store(), hooks);
        QVERIFY(app.InitInstance());
        std::string error;
        SimRadioState& radio = app.Simulation().LineFor("sim", error)->Radio().MutableState();
        radio.items[1] = {true, {'4', '7', '1', 'T', 'G', 'A', '0', '0', '4', '2'}};
        radio.items[3] = {false, {}};
        radio.items[16] = {true, {0x01}};

        std::map<int, QString> shown;
        bool regionVisible = true;
        const auto pending = AnswerNextDialog(true, [&](QWidget* dialog) {
            for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
                shown[edit->property("controlId").toInt()] = edit->text();
            }
            regionVisible = Control<QLineEdit>(*dialog, 1008)->isVisible();
            SaveShot(dialog, QStringLiteral("radio-info-simulated"));
        });
        app.MainFrame()->Command(cmd::ToolbarRadioInfo)->trigger();
        QCOMPARE(shown[1002], QStringLiteral("471TGA0042"));
        QCOMPARE(shown[1003], QStringLiteral("n/a"));
        QCOMPARE(shown[1008], QStringLiteral("North America"));
        QVERIFY(!regionVisible);
        QVERIFY(!shown[1001].isEmpty());

        // A radio that does not answer item 0: the error box, and no dialog.
        radio.items[0] = {false, {}};
        bool dialogShown = false;
        BoxSeen seen;
        const auto box = AnswerNextBox(QMessageBox::Ok, &seen);
        const auto noDialog = AnswerNextDialog(true, [&dialogShown](QWidget*) { dialogShown = true; });
        app.MainFrame()->Command(cmd::RadioInfo)->trigger();
        QCOMPARE(seen.text,
                 QStringLiteral("Serial Communication Error!\nCheck the connection to the radio and try again."));
        QVERIFY(!dialogShown);
    }

    void bothCommandsOpenTheDialogOnTheConfiguredPort()
    {
        TempStore store;
        store.Store().setValue("Options/SerialPort", 3);
        FakePorts ports;
        ShellHooks hooks = TestHooks(ports);
        int portAsked = -1;
        hooks.readRadioInfo = [&portAsked](int port) {
            portAsked = port;
            return SampleRadio();
        };
        CRadiliftApp app(Variant::Divavav, store.Store(), hooks);
        QVERIFY(app.InitInstance());
        for (uint32_t id : {cmd::RadioInfo, cmd::ToolbarRadioInfo}) {
            QString model;
            portAsked = -1;
            const auto pending = AnswerNextDialog(
                true, [&model](QWidget* dialog) { model = Control<QLineEdit>(*dialog, 1001)->text(); });
            app.MainFrame()->Command(id)->trigger();
            QCOMPARE(portAsked, 3);
            QCOMPARE(model, QStringLiteral("ID = $4A $01"));
        }
    }
};

VANTREL_SHELL_TEST(RadioInfoDlgTest)

} // namespace vantrel

#include "RadioInfoDlgTest.moc"
