#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/Interruption.h"
#include "flash/CodeplugWriter.h"
#include "operations/Patcher.h"
#include "platform/Files.h"
#include "platform/StopRequest.h"
#include "upgrade/RecoverRadio.h"
#include "upgrade/RestoreBackup.h"
#include "upgrade/UpgradeProcedure.h"

namespace vantrel {

int RunUpgradeCommand(CliSession& session, const std::string& selectedFirmware)
{
    UpgradeSettings settings;
    settings.portIndex = session.PortIndex();
    settings.flashRate = session.FlashRate();
    settings.programFolder = ProgramFolder();
    if (!selectedFirmware.empty()) {
        settings.firmwarePath = selectedFirmware;
        settings.firmwareSelected = true;
    }
    const UpgradeResult result = RunUpgrade(settings);
    if (StopRequested()) {
        std::fprintf(session.Err(), "Interrupted: stopped between two requests to the radio; the port is closed.\n%s\n",
                     UpgradeStandingText(result.stage).c_str());
        if (!result.backupPath.empty())
            std::fprintf(session.Err(), "Backup of the radio's EEPROM data: %s\n", result.backupPath.c_str());
        return kExitInterrupted;
    }
    switch (result.outcome) {
    case UpgradeOutcome::Succeeded:
        return kExitOk;
    case UpgradeOutcome::Cancelled:
        return kExitCancelled;
    case UpgradeOutcome::Failed:
        break;
    }
    return kExitFailed;
}

int RunRestoreCommand(CliSession& session, const std::string& backupPath)
{
    switch (RestoreBackup(backupPath, session.PortIndex(), session.FlashRate(), ProgramFolder())) {
    case RestoreOutcome::Restored:
        return kExitOk;
    case RestoreOutcome::Cancelled:
        return kExitCancelled;
    case RestoreOutcome::Failed:
        break;
    }
    return kExitFailed;
}

int RunRecoverCommand(CliSession& session, const std::string& backupPath, const std::string& selectedFirmware)
{
    RecoverySettings settings;
    settings.portIndex = session.PortIndex();
    settings.flashRate = session.FlashRate();
    settings.programFolder = ProgramFolder();
    settings.backupPath = backupPath;
    if (!selectedFirmware.empty()) {
        settings.firmwarePath = selectedFirmware;
        settings.firmwareSelected = true;
    }
    switch (RecoverRadio(settings)) {
    case RecoveryOutcome::Recovered:
        return kExitOk;
    case RecoveryOutcome::Cancelled:
        return kExitCancelled;
    case RecoveryOutcome::Failed:
        break;
    }
    return kExitFailed;
}

int RunWriteCodeplugCommand(CliSession& session, const CodeplugWriteOptions& requested)
{
    CodeplugWriteOptions options = requested;
    options.portIndex = session.PortIndex();
    // Declining a retry of a failed write cancels no operation: the write failed.
    return WriteCodeplug(options) == CodeplugWriteOutcome::Success ? kExitOk : kExitFailed;
}

int RunPatchCommand(CliSession& session, bool undo)
{
    CPatcher patcher(session.PortIndex());
    const PatchOutcome outcome = undo ? patcher.Undo() : patcher.Patch();
    return outcome == PatchOutcome::Done ? kExitOk : kExitFailed;
}

} // namespace vantrel
