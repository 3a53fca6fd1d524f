#pragma once

#include <string>
#include <vector>

namespace vantrel {

// Readies the console for a command-line program and returns its arguments
// in UTF-8. On Windows the console is switched to UTF-8 output and terminal
// control sequences (the progress bar uses them), and the arguments come
// from the wide command line, so that any path can be given; elsewhere the
// arguments already are UTF-8.
std::vector<std::string> PrepareConsole(int argc, char** argv);

} // namespace vantrel
