#include "ShellTestSupport.h"
#include "platform/PortRouter.h"
#include "shell/AppSettings.h"

#include <QTest>

namespace vantrel {

class SettingsTest : public QObject {
    Q_OBJECT

    struct Loaded {
        int port = 99;
        int rate = 99;
    };

    static Loaded Load(QSettings& store, FakePorts& ports, PortRouter& router)
    {
        Loaded loaded;
        LoadSettings(store, router, ports.Probe(), loaded.port, loaded.rate);
        return loaded;
    }

private slots:
    void windowStateIsEmptyAtFirstAndRoundTrips()
    {
        TempStore store;
        WindowState first = LoadWindowState(store.Store());
        QVERIFY(!first.size.isValid());
        QCOMPARE(first.lastFolder, QStringLiteral("."));
        first.size = QSize(800, 500);
        first.lastFolder = QStringLiteral("/srv/firmware");
        SaveWindowState(store.Store(), first);
        const WindowState back = LoadWindowState(*store.Reopen());
        QCOMPARE(back.size, QSize(800, 500));
        QCOMPARE(back.lastFolder, QStringLiteral("/srv/firmware"));
        // A size no window can usefully have, or a value of the wrong kind, is none.
        for (const QVariant& bad : {QVariant(QSize(20, 10)), QVariant(QStringLiteral("large"))}) {
            store.Store().setValue("Options/WindowSize", bad);
            QVERIFY(!LoadWindowState(store.Store()).size.isValid());
        }
    }

    void firstStartProbesForTheFirstPortThatOpens()
    {
        TempStore store;
        FakePorts ports;
        PortRouter router;
        ports.results = {{"COM1", PortProbeResult::Missing},
                         {"COM2", PortProbeResult::Busy},
                         {"COM3", PortProbeResult::Opens},
                         {"COM4", PortProbeResult::Opens}};
        const Loaded loaded = Load(store.Store(), ports, router);
        QCOMPARE(loaded.port, 2);
        QCOMPARE(loaded.rate, 38400);
        // A busy port is not taken, and probing stops at the first that opens.
        QCOMPARE(ports.probed, (std::vector<std::string>{"COM1", "COM2", "COM3"}));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(router.SlotTarget(i), PortRouter::DefaultSlotTarget(i));
    }

    void storedPortIsTakenWithoutProbing()
    {
        TempStore store;
        store.Store().setValue("Options/SerialPort", 2);
        store.Store().setValue("Options/FlashRate", 115200);
        FakePorts ports; // COM3 does not even exist
        PortRouter router;
        const Loaded loaded = Load(store.Store(), ports, router);
        QCOMPARE(loaded.port, 2);
        QCOMPARE(loaded.rate, 115200);
        QVERIFY(ports.probed.empty());
    }

    void outOfRangeValuesAreReplaced_data()
    {
        QTest::addColumn<QVariant>("storedPort");
        QTest::addColumn<QVariant>("storedRate");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("rate");
        // COM2 is the only port that opens.
        QTest::newRow("port 4, rate 57600") << QVariant(4) << QVariant(57600) << 1 << 38400;
        QTest::newRow("port -1, rate 19200") << QVariant(-1) << QVariant(19200) << 1 << 19200;
        QTest::newRow("port 3, rate 0") << QVariant(3) << QVariant(0) << 3 << 38400;
        QTest::newRow("not numbers") << QVariant("COM3") << QVariant("fast") << 1 << 38400;
    }

    void outOfRangeValuesAreReplaced()
    {
        QFETCH(QVariant, storedPort);
        QFETCH(QVariant, storedRate);
        QFETCH(int, port);
        QFETCH(int, rate);
        TempStore store;
        store.Store().setValue("Options/SerialPort", storedPort);
        store.Store().setValue("Options/FlashRate", storedRate);
        FakePorts ports;
        ports.results["COM2"] = PortProbeResult::Opens;
        PortRouter router;
        const Loaded loaded = Load(store.Store(), ports, router);
        QCOMPARE(loaded.port, port);
        QCOMPARE(loaded.rate, rate);
    }

    void noPortFoundKeepsTheOutOfRangeValueSoTheNextStartProbesAgain()
    {
        TempStore store;
        FakePorts ports;
        ports.results = {{"COM1", PortProbeResult::Busy}, {"COM2", PortProbeResult::Busy}};
        PortRouter router;
        const Loaded loaded = Load(store.Store(), ports, router);
        QCOMPARE(loaded.port, -1);
        QCOMPARE(ports.probed.size(), size_t(4));
        SaveSettings(store.Store(), router, loaded.port, loaded.rate);
        QCOMPARE(store.Reopen()->value("Options/SerialPort").toInt(), -1);
    }

    void slotDevicesRoundTripAndReachTheProbe()
    {
        TempStore store;
        store.Store().setValue("Options/Slot1", "/dev/ttyUSB0");
        store.Store().setValue("Options/Slot3", "  ");
        store.Store().setValue("Options/Slot4", "sim");
        FakePorts ports;
        PortRouter router;
        Load(store.Store(), ports, router);
        QCOMPARE(router.SlotTarget(0), std::string("/dev/ttyUSB0"));
        QCOMPARE(router.SlotTarget(1), PortRouter::DefaultSlotTarget(1));
        QCOMPARE(router.SlotTarget(2), PortRouter::DefaultSlotTarget(2));
        QCOMPARE(router.SlotTarget(3), std::string("sim"));
        QCOMPARE(router.Resolve("COM4"), std::string("sim"));

        router.SetSlotTarget(1, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
        SaveSettings(store.Store(), router, 3, 19200);
        PortRouter reread;
        FakePorts again;
        const Loaded loaded = Load(*store.Reopen(), again, reread);
        QCOMPARE(loaded.port, 3);
        QCOMPARE(loaded.rate, 19200);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(reread.SlotTarget(i), router.SlotTarget(i));
    }
};

VANTREL_SHELL_TEST(SettingsTest)

} // namespace vantrel

#include "SettingsTest.moc"
