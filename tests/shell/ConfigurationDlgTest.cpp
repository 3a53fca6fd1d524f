#include "ShellTestSupport.h"
#include "platform/PortRouter.h"
#if !defined(_WIN32)
#include "platform/PortProbe.h"
#include "platform/Runtime.h"
#include "platform/posix/PosixSerialDevice.h"
#include "platform/posix/PtyPair.h"
#endif
#include "shell/CConfigurationDlg.h"
#include "shell/CRadiliftApp.h"
#include "shell/CommandIds.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <cstring>
#if !defined(_WIN32)
#include <termios.h>
#endif

namespace vantrel {
namespace {

QStringList Items(QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// COM1 opens, COM2 does not exist, COM3 is held by another program, COM4 does
// not exist; the slots reach their default devices.
void StandardPorts(FakePorts& ports)
{
    ports.results = {{PortRouter::DefaultSlotTarget(0), PortProbeResult::Opens},
                     {PortRouter::DefaultSlotTarget(2), PortProbeResult::Busy}};
}

} // namespace

class ConfigurationDlgTest : public QObject {
    Q_OBJECT

private slots:
    void listsTheSlotsThatExistAndStoresTheChosenIndex()
    {
        FakePorts ports;
        StandardPorts(ports);
        CConfigurationDlg dialog(ports.Probe(), ports.List());
        dialog.m_nPortIndex = 0;
        dialog.m_nFlashRate = 38400;
        dialog.InitDialog();
        QComboBox* list = Control<QComboBox>(dialog, 1000);
        QVERIFY(list);
        QCOMPARE(Items(list), (QStringList{"COM1", "COM3"}));
        QCOMPARE(list->currentIndex(), 0);
        list->setCurrentIndex(1);
        dialog.OnOK();
        QCOMPARE(dialog.m_nPortIndex, 2);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void anAbsentCurrentPortLeavesNoSelectionAndOkKeepsIt()
    {
        FakePorts ports;
        StandardPorts(ports);
        CConfigurationDlg dialog(ports.Probe(), ports.List());
        dialog.m_nPortIndex = 1;
        dialog.m_nFlashRate = 19200;
        dialog.InitDialog();
        QCOMPARE(Control<QComboBox>(dialog, 1000)->currentIndex(), -1);
        dialog.OnOK();
        QCOMPARE(dialog.m_nPortIndex, 1);
        QCOMPARE(dialog.m_nFlashRate, 19200);
    }

    void flashRateButtons_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("checked");
        QTest::addColumn<int>("click");
        QTest::addColumn<int>("result");
        QTest::newRow("19200") << 19200 << 1004 << 0 << 19200;
        QTest::newRow("38400 to 115200") << 38400 << 1005 << 1006 << 115200;
        QTest::newRow("unknown rate, nothing checked, kept") << 57600 << 0 << 0 << 57600;
        QTest::newRow("unknown rate, then 19200") << 57600 << 0 << 1004 << 19200;
    }

    void flashRateButtons()
    {
        QFETCH(int, rate);
        QFETCH(int, checked);
        QFETCH(int, click);
        QFETCH(int, result);
        FakePorts ports;
        CConfigurationDlg dialog(ports.Probe(), ports.List());
        dialog.m_nFlashRate = rate;
        dialog.InitDialog();
        for (int id : {1004, 1005, 1006}) {
            QRadioButton* button = Control<QRadioButton>(dialog, id);
            QVERIFY(button);
            QCOMPARE(button->isChecked(), id == checked);
        }
        if (click) Control<QRadioButton>(dialog, click)->click();
        dialog.OnOK();
        QCOMPARE(dialog.m_nFlashRate, result);
    }

    void pointingASlotElsewhereListsItAgain()
    {
        FakePorts ports;
        StandardPorts(ports);
        ports.results["sim"] = PortProbeResult::Opens;
        ports.present = {{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-port0", "FT232R"}};
        CConfigurationDlg dialog(ports.Probe(), ports.List());
        dialog.m_nPortIndex = 2;
        dialog.InitDialog();
        QComboBox* com2 = Control<QComboBox>(dialog, 1021);
        QVERIFY(com2);
        QCOMPARE(com2->currentText().toStdString(), PortRouter::DefaultSlotTarget(1));
        QCOMPARE(Items(com2), (QStringList{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-port0", "sim"}));

        com2->setCurrentText(QStringLiteral("sim"));
        emit com2->lineEdit()->editingFinished(); // the operator leaves the box
        QComboBox* list = Control<QComboBox>(dialog, 1000);
        dialog.show();
        SaveShot(&dialog, QStringLiteral("configuration"));
        QCOMPARE(Items(list), (QStringList{"COM1", "COM2", "COM3"}));
        QCOMPARE(list->currentText(), QStringLiteral("COM3")); // the selection stays on its port
        list->setCurrentIndex(1);
        // An emptied slot goes back to its default device.
        Control<QComboBox>(dialog, 1023)->setCurrentText(QString());
        dialog.OnOK();
        QCOMPARE(dialog.m_nPortIndex, 1);
        QCOMPARE(dialog.m_slotTargets[1], std::string("sim"));
        QCOMPARE(dialog.m_slotTargets[3], PortRouter::DefaultSlotTarget(3));
    }

    // Typing a device name probes nothing on the way: only the name the
    // operator ends with is probed, once editing ends.
    void probesOnlyWhenEditingEnds_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("pause in typing") << QStringLiteral("pause");
        QTest::newRow("Enter") << QStringLiteral("enter");
        QTest::newRow("focus moves on") << QStringLiteral("focus");
        QTest::newRow("picked from the list") << QStringLiteral("pick");
    }

    void probesOnlyWhenEditingEnds()
    {
        QFETCH(QString, ending);
        FakePorts ports;
        StandardPorts(ports);
        ports.present = {{"/dev/ttyUSB0", "", ""}};
        CConfigurationDlg dialog(ports.Probe(), ports.List());
        dialog.InitDialog();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QComboBox* com2 = dialog.SlotBox(1);
        ports.probed.clear();
        if (ending == QLatin1String("pick")) {
            com2->setCurrentIndex(0);
            emit com2->activated(0);
        } else {
            com2->setFocus();
            com2->lineEdit()->clear();
            QTest::keyClicks(com2->lineEdit(), QStringLiteral("/dev/ttyUSB0"));
            // Nothing while typing.
            QVERIFY(ports.probed.empty());
            if (ending == QLatin1String("pause")) {
                QTRY_VERIFY_WITH_TIMEOUT(!ports.probed.empty(), 5 * CConfigurationDlg::kTypingPauseMs);
            } else if (ending == QLatin1String("enter")) {
                QTest::keyClick(com2->lineEdit(), Qt::Key_Return);
            } else {
                Control<QComboBox>(dialog, 1022)->setFocus();
            }
        }
        QVERIFY(std::count(ports.probed.begin(), ports.probed.end(), std::string("/dev/ttyUSB0")) >= 1);
        for (const std::string& name : ports.probed) {
            bool slotDefault = false;
            for (int i = 0; i < PortRouter::kSlotCount; ++i)
                slotDefault = slotDefault || name == PortRouter::DefaultSlotTarget(i);
            QVERIFY2(name == "/dev/ttyUSB0" || slotDefault, name.c_str());
        }
        // Editing that ends without a change probes nothing again.
        ports.probed.clear();
        emit com2->lineEdit()->editingFinished();
        QVERIFY(ports.probed.empty());
    }

#if !defined(_WIN32)
    // The terminal the program was started from must not be left raw and
    // without echo because its path was typed into a slot box.
    void typingATerminalsPathLeavesItsSettingsAlone()
    {
        testing::PtyPair pty;
        QVERIFY(pty.Ok());
        termios before{};
        QCOMPARE(tcgetattr(pty.SlaveFd(), &before), 0);
        QVERIFY((before.c_lflag & ECHO) != 0);
        PortRouter router;
        router.SetDeviceMaker(MakePosixSerialDevice);
        RealClock clock;
        ScopedRuntime runtime(clock, router);
        CConfigurationDlg dialog(&ProbeSerialPort, ListPortsFn());
        dialog.InitDialog();
        QComboBox* com1 = dialog.SlotBox(0);
        com1->lineEdit()->clear();
        QTest::keyClicks(com1->lineEdit(), QString::fromStdString(pty.SlavePath()));
        QTest::keyClick(com1->lineEdit(), Qt::Key_Return);
        QTest::qWait(2 * CConfigurationDlg::kTypingPauseMs);
        QVERIFY(Items(Control<QComboBox>(dialog, 1000)).contains(QStringLiteral("COM1")));
        termios after{};
        QCOMPARE(tcgetattr(pty.SlaveFd(), &after), 0);
        QCOMPARE(after.c_lflag, before.c_lflag);
        QCOMPARE(after.c_iflag, before.c_iflag);
        QCOMPARE(after.c_oflag, before.c_oflag);
        QCOMPARE(after.c_cflag, before.c_cflag);
        QVERIFY(std::memcmp(after.c_cc, before.c_cc, sizeof before.c_cc) == 0);
    }
#endif

    void showsTheCautionTextAndPicture()
    {
        FakePorts ports;
        CConfigurationDlg dialog(ports.Probe(), ports.List());
        dialog.InitDialog();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Configuration"));
        bool textFound = false;
        bool pictureFound = false;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            textFound |= label->text() ==
                         QStringLiteral("Use Flash Rates higher than 19,200 Bd only\nwith Ribless Programming Cable "
                                        "(CBL1001 or CBL1002) and Flashing Adapter (ADP2001).");
            pictureFound |= label->property("bitmapId").toInt() == 164 && !label->pixmap().isNull();
        }
        QVERIFY(textFound);
        QVERIFY(pictureFound);
    }

    void theCommandCopiesBackOnOkOnly()
    {
        TempStore store;
        FakePorts ports;
        StandardPorts(ports);
        ports.results["COM1"] = PortProbeResult::Opens;
        CRadiliftApp app(Variant::Service, store.Store(), TestHooks(ports));
        QVERIFY(app.InitInstance());
        QCOMPARE(app.m_nSerialPort, 0);

        const auto pending1 = AnswerNextDialog(false, [](QWidget* dialog) {
            Control<QComboBox>(*dialog, 1000)->setCurrentIndex(1);
            Control<QRadioButton>(*dialog, 1006)->click();
        });
        app.OnCommand(cmd::Configuration);
        QCOMPARE(app.m_nSerialPort, 0);
        QCOMPARE(app.m_nFlashRate, 38400);

        const auto pending2 = AnswerNextDialog(false, [](QWidget* dialog) {
            Control<QComboBox>(*dialog, 1000)->setCurrentIndex(1);
            Control<QRadioButton>(*dialog, 1006)->click();
            Control<QComboBox>(*dialog, 1020)->setCurrentText(QStringLiteral("sim"));
            QMetaObject::invokeMethod(dialog, "OnOK");
        });
        app.OnCommand(cmd::Configuration);
        QCOMPARE(app.m_nSerialPort, 2);
        QCOMPARE(app.m_nFlashRate, 115200);
        QCOMPARE(app.Router().SlotTarget(0), std::string("sim"));
        // Nothing reaches the store before the end.
        QVERIFY(store.Reopen()->allKeys().isEmpty());
    }
};

VANTREL_SHELL_TEST(ConfigurationDlgTest)

} // namespace vantrel

#include "ConfigurationDlgTest.moc"
