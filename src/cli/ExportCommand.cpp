#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "images/Export.h"
#include "platform/Files.h"

namespace vantrel {

int RunExportCommand(CliSession&, const std::string& what)
{
    const std::string folder = ProgramFolder();
    bool ok = false;
    if (what == "firmware") ok = SaveFirmwareAsBinary(folder);
    else if (what == "codeplugs") ok = SaveCodeplugsAsBinary(folder);
    else if (what == "bootcodes") ok = SaveBootcodesAsBinary(folder);
    else if (what == "all") ok = SaveFirmwareAsBinary(folder) && SaveBootcodesAsBinary(folder) &&
                               SaveCodeplugsAsBinary(folder);
    else return kExitUsage;
    return ok ? kExitOk : kExitFailed;
}

}  // namespace vantrel
