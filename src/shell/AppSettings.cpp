#include "shell/AppSettings.h"

#include "platform/PortRouter.h"

#include <QSettings>

namespace vantrel {
namespace {

const QString kGroup = QStringLiteral("Options");
const QString kSerialPort = QStringLiteral("SerialPort");
const QString kFlashRate = QStringLiteral("FlashRate");
const QString kWindowSize = QStringLiteral("WindowSize");
const QString kLastFolder = QStringLiteral("LastFolder");
constexpr int kSmallestWindow = 200;

QString SlotKey(int index)
{
    return QStringLiteral("Slot%1").arg(index + 1);
}

// A value of the wrong type reads as missing, as a registry profile would.
int ReadInt(QSettings& store, const QString& key, int fallback)
{
    bool ok = false;
    const int value = store.value(key, fallback).toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

bool IsValidFlashRate(int rate)
{
    return rate == 19200 || rate == 38400 || rate == 115200;
}

void LoadSettings(QSettings& store, PortRouter& router, const PortProbeFn& probe, int& serialPort, int& flashRate)
{
    store.beginGroup(kGroup);
    for (int i = 0; i < PortRouter::kSlotCount; ++i) {
        const QString target = store.value(SlotKey(i)).toString().trimmed();
        router.SetSlotTarget(i, target.isEmpty() ? PortRouter::DefaultSlotTarget(i) : target.toStdString());
    }
    serialPort = ReadInt(store, kSerialPort, -1);
    flashRate = ReadInt(store, kFlashRate, 0);
    store.endGroup();

    if (serialPort < 0 || serialPort >= PortRouter::kSlotCount) {
        for (int i = 0; i < PortRouter::kSlotCount; ++i) {
            if (probe && probe(PortRouter::SlotName(i)) == PortProbeResult::Opens) {
                serialPort = i;
                break;
            }
        }
    }
    if (!IsValidFlashRate(flashRate)) flashRate = kDefaultFlashRate;
}

WindowState LoadWindowState(QSettings& store)
{
    WindowState state;
    store.beginGroup(kGroup);
    const QSize size = store.value(kWindowSize).toSize();
    if (size.width() >= kSmallestWindow && size.height() >= kSmallestWindow) state.size = size;
    state.lastFolder = store.value(kLastFolder).toString();
    store.endGroup();
    if (state.lastFolder.isEmpty()) state.lastFolder = QStringLiteral(".");
    return state;
}

void SaveWindowState(QSettings& store, const WindowState& state)
{
    store.beginGroup(kGroup);
    if (state.size.isValid()) store.setValue(kWindowSize, state.size);
    store.setValue(kLastFolder, state.lastFolder);
    store.endGroup();
    store.sync();
}

void SaveSettings(QSettings& store, const PortRouter& router, int serialPort, int flashRate)
{
    store.beginGroup(kGroup);
    store.setValue(kSerialPort, serialPort);
    store.setValue(kFlashRate, flashRate);
    for (int i = 0; i < PortRouter::kSlotCount; ++i) {
        store.setValue(SlotKey(i), QString::fromStdString(router.SlotTarget(i)));
    }
    store.endGroup();
    store.sync();
}

} // namespace vantrel
