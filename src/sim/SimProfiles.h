#pragma once

#include "sim/SimRadioState.h"

#include <string>
#include <vector>

namespace vantrel {

// The named radios the simulation offers ("sim:PROFILE"; plain "sim" is the
// default profile). Fills config and returns true for a known name.
bool MakeSimProfile(const std::string& name, SimRadioConfig& config);
// Every profile name, the default first.
std::vector<std::string> SimProfileNames();
// The name "sim" and "sim:" select.
constexpr const char* kSimDefaultProfile = "default";

} // namespace vantrel
