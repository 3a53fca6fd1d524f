#pragma once

#include "platform/PortProbe.h"

#include <QSize>
#include <QString>
#include <functional>
#include <string>

class QSettings;

namespace vantrel {

class PortRouter;

using PortProbeFn = std::function<PortProbeResult(const std::string& portName)>;

constexpr int kDefaultFlashRate = 38400;
bool IsValidFlashRate(int rate);

// Reads section "Options": the four slot devices into the router, then
// "SerialPort" (default -1) and "FlashRate" (default 0). An out-of-range port
// is replaced by the first of COM1 … COM4 that opens, and kept when none does;
// a rate other than 19200, 38400 or 115200 becomes 38400.
void LoadSettings(QSettings& store, PortRouter& router, const PortProbeFn& probe, int& serialPort, int& flashRate);

// Writes the port, the rate and the slot devices back. Called at a normal end
// of the program only.
void SaveSettings(QSettings& store, const PortRouter& router, int serialPort, int flashRate);

// What the main window keeps from one run to the next, beside the settings.
struct WindowState {
    QSize size;         // the main window's; invalid when none was kept
    QString lastFolder; // where the last file was chosen; "." (the current folder) at first
};

// Reads "WindowSize" and "LastFolder" from section "Options"; a size that is
// not one, or smaller than a window can usefully be, reads as none.
WindowState LoadWindowState(QSettings& store);
// Writes them back, at a normal end of the program only.
void SaveWindowState(QSettings& store, const WindowState& state);

} // namespace vantrel
