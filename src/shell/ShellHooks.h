#pragma once

#include "data/VersionTable.h"
#include "operations/Patcher.h"
#include "platform/PortRouter.h"
#include "shell/AppSettings.h"
#include "shell/CCodeplugUpdateDlg.h"
#include "shell/CConfigurationDlg.h"
#include "shell/CRadioInfoDlg.h"
#include "shell/CRecoverRadioDlg.h"
#include "shell/CRegionalIdDlg.h"
#include "shell/CServiceHistoryDlg.h"
#include "shell/CUpgradeRadioDlg.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace vantrel {

// The patch tool's operations on the radio at a port: Patch Radio, or Undo
// patch when undo is true.
using PatchRadioFn = std::function<PatchOutcome(int portIndex, bool undo)>;

// What the application asks of the machine, in one place so that tests can
// answer instead: port probing and listing, the open-file dialog, the devices
// and radio operations, and the newest firmware release the program knows.
struct ShellHooks {
    PortProbeFn probePort;
    ListPortsFn listPorts;
    // Opens in the folder given; returns the full path chosen, or an empty
    // string when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& folder)> chooseFile;
    // The serial devices behind the slots. A slot naming "sim" reaches the
    // application's own simulated radio.
    PortRouter::Maker deviceMaker;
    // The radio operations the dialogs run.
    ReadRadioInfoFn readRadioInfo;
    ReadRegionalIdFn readRegionalId;
    ProgramRegionalIdFn programRegionalId;
    RunUpgradeFn runUpgrade;
    WriteCodeplugFn writeCodeplug;
    PatchRadioFn patchRadio;
    RecoverRadioFn recoverRadio;
    // The open-file dialog for an EEPROM backup.
    ChooseBackupFn chooseBackup;
    // A clock of the caller's instead of the real one (tests run the
    // simulated radio on virtual time).
    Clock* clock = nullptr;
    // The firmware version table whose newest record decides whether this is
    // a test release.
    std::function<const VersionRecord*()> versionTable;
    // The service history file the radio operations add to: empty for the one
    // in the per-user data folder; none, nothing is recorded.
    std::optional<std::string> historyFile;
    // The save-file dialog of the history's CSV export.
    ChooseSaveFileFn chooseSaveFile;
};

// The machine's own answers.
ShellHooks DefaultShellHooks();

// Patch Radio and Undo patch with the patch file of the program folder.
PatchOutcome RunPatcher(int portIndex, bool undo);

// The system's open-file dialog for firmware and codeplug sources.
QString ChooseSourceFile(QWidget* parent, const QString& title, const QString& folder);
// The system's save-file dialog for a CSV file.
QString ChooseCsvFile(QWidget* parent, const QString& title);
// The system's open-file dialog for an EEPROM backup.
QString ChooseBackupFile(QWidget* parent);

} // namespace vantrel
