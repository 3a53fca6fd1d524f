#include "support/CliRunner.h"

#include "cli/Cli.h"
#include "support/StreamText.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace vantrel::test {

CliRun RunCommand(std::vector<std::string> args)
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

std::string TempPath(const std::string& name)
{
    const auto path = std::filesystem::temp_directory_path() /
                      ("vantrel-cli-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + name);
    std::filesystem::remove_all(path);
    return path.string();
}

} // namespace vantrel::test
