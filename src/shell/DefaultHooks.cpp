#include "flash/CodeplugWriter.h"
#include "operations/Patcher.h"
#include "operations/RadioInfo.h"
#include "operations/RegionalId.h"
#include "shell/ShellHooks.h"
#include "upgrade/UpgradeProcedure.h"

#include <QFileDialog>

#include "platform/SystemSerialDevice.h"

namespace vantrel {

QString ChooseSourceFile(QWidget* parent, const QString& title)
{
    QFileDialog dialog(parent, title, QStringLiteral("."));
    dialog.setNameFilters({QStringLiteral("Firmware files (*.0)"), QStringLiteral("All files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("0"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
}

PatchOutcome RunPatcher(int portIndex, bool undo)
{
    CPatcher patcher(portIndex);
    return undo ? patcher.Undo() : patcher.Patch();
}

ShellHooks DefaultShellHooks()
{
    ShellHooks hooks;
    hooks.probePort = &ProbeSerialPort;
    hooks.listPorts = &ListSerialPorts;
    hooks.chooseFile = &ChooseSourceFile;
    hooks.readRadioInfo = &ReadRadioInfo;
    hooks.readRegionalId = &ReadRegionalId;
    hooks.programRegionalId = &ProgramRegionalId;
    hooks.runUpgrade = [](const UpgradeSettings& settings) { return RunUpgrade(settings); };
    hooks.writeCodeplug = &WriteCodeplug;
    hooks.patchRadio = &RunPatcher;
    hooks.versionTable = &VersionTable;
    hooks.deviceMaker = &MakeSystemSerialDevice;
    return hooks;
}

} // namespace vantrel
