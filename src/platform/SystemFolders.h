#pragma once

#include <string>

namespace vantrel {

// What the system says about where things are; each platform answers in its
// own way. Both are UTF-8 and empty when the system cannot tell.
std::string RunningExecutablePath();
// This program's per-user data folder, separator kept, not yet created.
std::string DefaultUserDataFolder();

} // namespace vantrel
