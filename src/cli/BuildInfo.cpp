#include "cli/BuildInfo.h"

#include "data/VersionTable.h"

namespace vantrel {

std::string ProgramVersion()
{
    return NewestReleaseVersion();
}

std::string VersionLine()
{
    return "vantrel-cli " + ProgramVersion() + " (revision " + BuildRevision() + ")";
}

} // namespace vantrel
