#pragma once

#include <cstdio>

namespace vantrel {

// Exit statuses of vantrel-cli.
enum CliExit : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitCancelled = 3, kExitInterrupted = 4 };

// Runs the command line; returns the exit status. Output goes to out / err.
int RunCli(int argc, const char* const* argv, std::FILE* out = stdout, std::FILE* err = stderr,
           std::FILE* in = stdin);

}  // namespace vantrel
