#include "flash/CodeplugWriter.h"
#include "operations/Patcher.h"
#include "operations/RadioInfo.h"
#include "operations/RegionalId.h"
#include "platform/Files.h"
#include "platform/SystemSerialDevice.h"
#include "shell/ShellHooks.h"
#include "upgrade/RecoverRadio.h"
#include "upgrade/UpgradeProcedure.h"

#include <QFileDialog>

namespace vantrel {

QString ChooseSourceFile(QWidget* parent, const QString& title, const QString& folder)
{
    QFileDialog dialog(parent, title, folder);
    dialog.setNameFilters({QStringLiteral("Firmware files (*.0)"), QStringLiteral("All files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("0"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
}

QString ChooseCsvFile(QWidget* parent, const QString& title)
{
    QFileDialog dialog(parent, title, QStringLiteral("service-history.csv"));
    dialog.setNameFilters({QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
}

QString ChooseBackupFile(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Select EEPROM backup"), QString::fromStdString(UserDataFolder()));
    dialog.setNameFilters({QStringLiteral("EEPROM backups (*.vbk)"), QStringLiteral("All files (*.*)")});
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
    hooks.recoverRadio = &RecoverRadio;
    hooks.chooseBackup = &ChooseBackupFile;
    hooks.versionTable = &VersionTable;
    hooks.historyFile = std::string();
    hooks.chooseSaveFile = &ChooseCsvFile;
    hooks.deviceMaker = &MakeSystemSerialDevice;
    return hooks;
}

} // namespace vantrel
