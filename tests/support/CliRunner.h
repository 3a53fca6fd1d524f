#pragma once

#include <string>
#include <vector>

namespace vantrel::test {

// One run of the command line in the test process, with what it wrote.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs vantrel-cli with args (the program name is added); standard input is
// none, so nothing is asked at a terminal.
CliRun RunCommand(std::vector<std::string> args);

// A path in the temporary folder for this test run, removed first.
std::string TempPath(const std::string& name);

} // namespace vantrel::test
