#include "shell/ShellHooks.h"

namespace vantrel {

bool IsTestReleaseVersion(const std::string& version) { return !version.empty() && version[0] == 'T'; }

}  // namespace vantrel
