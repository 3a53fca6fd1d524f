#pragma once

#include "sim/SimRadio.h"

#include <memory>
#include <string>

namespace vantrel {

// A simulated radio of a known profile with a fault plan, failing the current
// test when either is not valid.
std::unique_ptr<SimRadio> MakeTestSimRadio(const std::string& profile, const std::string& faults);

} // namespace vantrel
