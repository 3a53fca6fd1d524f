#pragma once

#include "cli/Cli.h"
#include "support/StreamText.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vantrel::test {

// One run of the command line in this process: its exit status and output.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliRun RunCliCommand(std::vector<std::string> args)
{
    args.insert(args.begin(), "vantrel-cli");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CliRun run;
    run.status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, nullptr);
    run.out = StreamText(out);
    run.err = StreamText(err);
    std::fclose(out);
    std::fclose(err);
    return run;
}

} // namespace vantrel::test
