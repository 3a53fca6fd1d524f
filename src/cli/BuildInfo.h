#pragma once

#include <string>

namespace vantrel {

// The newest release of the version table: the firmware the program carries.
std::string ProgramVersion();
// The revision of the source the program was built from ("git describe"), or
// "unknown" when it was built from a tree without its history.
const char* BuildRevision();
// What --version prints: "vantrel-cli R03.08.08 (revision 1a2b3c4d5e)".
std::string VersionLine();

} // namespace vantrel
