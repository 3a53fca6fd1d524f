#pragma once

#include <string>

namespace vantrel {

// The text of a patch file for the patch tool that fits the simulated radios:
// the model numbers and codeplug versions of the default profile (Phase 3)
// and of "phase12-r2" (Phase 1/2), two settings bytes of hardware block 3 for
// each generation. Shipped in the program folder as the sample patch, so that
// Patch Radio and Undo patch can be tried without hardware.
std::string SimSamplePatchText();

} // namespace vantrel
