// The tests' per-user data folder is never the tester's own: commands run
// without --data-dir (backups, the service history) write into a folder of
// this test run, removed when it ends.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::filesystem::path& DataHome()
{
    static std::filesystem::path path;
    return path;
}

const bool g_dataHomeSet = [] {
    DataHome() = std::filesystem::temp_directory_path() / ("vantrel-tests-data-" + std::to_string(::getpid()));
    ::setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(DataHome(), ec);
    });
    return true;
}();

} // namespace
