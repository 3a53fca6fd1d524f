#pragma once

#include "cli/Cli.h"
#include "support/StreamText.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vantrel {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliRun RunCommand(std::vector<std::string> args)
{
    args.insert(args.begin(), "vantrel-cli");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CliRun run;
    run.status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, nullptr);
    run.out = test::StreamText(out);
    run.err = test::StreamText(err);
    std::fclose(out);
    std::fclose(err);
    return run;
}

inline std::string TempPath(const std::string& name)
{
    const auto path = std::filesystem::temp_directory_path() /
                      ("vantrel-cli-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + name);
    std::filesystem::remove(path);
    return path.string();
}

} // namespace vantrel
