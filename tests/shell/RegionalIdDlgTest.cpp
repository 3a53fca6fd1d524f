#include "ShellTestSupport.h"
#include "link/StringTable.h"
#include "operations/RegionalId.h"
#include "platform/Clock.h"
#include "shell/CMainFrame.h"
#include "shell/CRadiliftApp.h"
#include "shell/CRegionalIdDlg.h"
#include "shell/CommandIds.h"
#include "shell/QtFeedback.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace vantrel {
namespace {

RegionalIdRead ReadAs(uint8_t value)
{
    return RegionalIdRead{RegionalIdReadOutcome::Valid, value};
}

// The lab variant with COM2 reaching the built-in simulated radio on virtual time.
struct SimulatedBench {
    VirtualClock clock;
    TempStore store;
    FakePorts ports;
    std::unique_ptr<CRadiliftApp> app;

    SimulatedBench()
    {
        store.Store().setValue("Options/SerialPort", 1);
        store.Store().setValue("Options/Slot2", "sim");
        ShellHooks hooks = TestHooks(ports);
        hooks.clock = &clock;
        hooks.readRegionalId = &ReadRegionalId;
        hooks.programRegionalId = &ProgramRegionalId;
        app = std::make_unique<CRadiliftApp>(Variant::Divavav, store.Store(), hooks);
        QVERIFY(app->InitInstance());
    }
    SimRadio& Radio()
    {
        std::string error;
        return app->Simulation().LineFor("sim", error)->Radio();
    }
    void SetRegion(std::vector<uint8_t> value)
    {
        SimInfoItem& item = Radio().MutableState().items[kSimItemRegion];
        item.supported = true;
        item.value = std::move(value);
    }
};

} // namespace

class RegionalIdDlgTest : public QObject {
    Q_OBJECT

private slots:
    void listsTheSixRegionsWithTheRadiosPreselected_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("selected");
        QTest::newRow("Super Verolan") << 0x00 << 0;
        QTest::newRow("Asia") << 0x04 << 4;
        QTest::newRow("no region") << 0xFF << 5;
        QTest::newRow("outside the list") << 0x07 << -1;
    }

    void listsTheSixRegionsWithTheRadiosPreselected()
    {
        QFETCH(int, value);
        QFETCH(int, selected);
        CRegionalIdDlg dialog([value](int) { return ReadAs(static_cast<uint8_t>(value)); }, {}, 0);
        QVERIFY(dialog.InitDialog());
        QComboBox* list = Control<QComboBox>(dialog, 1003);
        QVERIFY(list);
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->itemText(i);
        QCOMPARE(names,
                 (QStringList{"Super Verolan", "North America", "Latin America", "EMEA", "Asia", "No Region defined"}));
        QCOMPARE(list->currentIndex(), selected);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Program Regional ID"));
        QCOMPARE(Control<QPushButton>(dialog, 1)->text(), QStringLiteral("Program"));
        QCOMPARE(Control<QPushButton>(dialog, 2)->text(), QStringLiteral("Abort"));
        QVERIFY(Control<QPushButton>(dialog, 1)->isDefault());
    }

    void aFailedReadNeverShowsTheDialog()
    {
        for (auto outcome : {RegionalIdReadOutcome::Invalid, RegionalIdReadOutcome::PortOpenFailed,
                             RegionalIdReadOutcome::CommunicationError}) {
            bool shown = false;
            const auto pending = AnswerNextDialog(false, [&shown](QWidget*) { shown = true; });
            CRegionalIdDlg dialog([outcome](int) { return RegionalIdRead{outcome, 0}; }, {}, 0);
            QCOMPARE(dialog.exec(), int(QDialog::Rejected));
            QTest::qWait(30);
            QVERIFY(!shown);
        }
    }

    void programWithoutASelectionAsksForOneAndStaysOpen()
    {
        std::vector<uint8_t> written;
        CRegionalIdDlg dialog([](int) { return ReadAs(0x07); },
                              [&written](int, uint8_t value) {
                                  written.push_back(value);
                                  return RegionalIdWriteOutcome::Programmed;
                              },
                              0);
        QVERIFY(dialog.InitDialog());
        dialog.show();
        QtFeedback feedback;
        ScopedFeedback scope(feedback);
        BoxSeen seen;
        const auto pending = AnswerNextBox(QMessageBox::Ok, &seen);
        Control<QPushButton>(dialog, 1)->click();
        QCOMPARE(seen.text, QStringLiteral("No Regional ID selected."));
        QCOMPARE(seen.caption, QStringLiteral("Error"));
        QVERIFY(written.empty());
        QVERIFY(dialog.isVisible());
        dialog.hide();
    }

    void aFailedWriteKeepsTheDialogAndItsSelection()
    {
        int attempts = 0;
        CRegionalIdDlg dialog([](int) { return ReadAs(0x01); },
                              [&attempts](int, uint8_t) {
                                  return ++attempts == 1 ? RegionalIdWriteOutcome::Failed
                                                         : RegionalIdWriteOutcome::Programmed;
                              },
                              0);
        QVERIFY(dialog.InitDialog());
        dialog.show();
        Control<QComboBox>(dialog, 1003)->setCurrentIndex(3);
        Control<QPushButton>(dialog, 1)->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(Control<QComboBox>(dialog, 1003)->currentIndex(), 3);
        Control<QPushButton>(dialog, 1)->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(attempts, 2);
    }

    void programsTheSimulatedRadio()
    {
        SimulatedBench bench;
        bench.SetRegion({0x02});
        QString preselected;
        BoxSeen seen;
        const auto box = AnswerNextBox(QMessageBox::Ok, &seen);
        const auto pending = AnswerNextDialog(false, [&preselected](QWidget* dialog) {
            QComboBox* list = Control<QComboBox>(*dialog, 1003);
            preselected = list->currentText();
            SaveShot(dialog, QStringLiteral("regional-id"));
            list->setCurrentIndex(5);
            Control<QPushButton>(*dialog, 1)->click();
        });
        bench.app->MainFrame()->Command(cmd::ProgramRegionalId)->trigger();
        QCOMPARE(preselected, QStringLiteral("Latin America"));
        QCOMPARE(seen.text, QStringLiteral("The Regional ID was successfully programmed."));
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(bench.Radio().Region(), uint8_t(0xFF));
    }

    void aRadioThatCannotBeReachedShowsThePortBox()
    {
        SimulatedBench bench;
        // COM3 reaches nothing.
        bench.app->m_nSerialPort = 2;
        bench.app->Router().SetSlotTarget(2, "/nonexistent/ttyS9");
        BoxSeen seen;
        const auto box = AnswerNextBox(QMessageBox::Ok, &seen);
        bench.app->MainFrame()->Command(cmd::ProgramRegionalId)->trigger();
        QVERIFY(seen.shown);
        QCOMPARE(seen.text,
                 QStringLiteral("The serial port COM3 could not be opened.\nThere is no such device."));
        QCOMPARE(seen.caption, QStringLiteral("Error"));
    }
};

VANTREL_SHELL_TEST(RegionalIdDlgTest)

} // namespace vantrel

#include "RegionalIdDlgTest.moc"
