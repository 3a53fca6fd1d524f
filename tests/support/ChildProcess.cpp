#include "support/ChildProcess.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vantrel::test {
namespace {

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& outputStem)
    : m_stem(outputStem)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (m_stem + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (m_stem + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess()
{
    if (m_pid <= 0) return;
    kill(m_pid, SIGTERM);
    Wait();
}

int ChildProcess::Wait()
{
    if (m_pid <= 0) return m_status;
    int status = 0;
    if (waitpid(m_pid, &status, 0) == m_pid) m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_pid = -1;
    return m_status;
}

std::string ChildProcess::Out() const
{
    return FileText(m_stem + ".out");
}

std::string ChildProcess::Err() const
{
    return FileText(m_stem + ".err");
}

bool ChildProcess::HasOpen(const std::string& path) const
{
    std::error_code ec;
    const auto wanted = std::filesystem::canonical(path, ec);
    if (ec || m_pid <= 0) return false;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(m_pid) + "/fd", ec)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path(), linkError) == wanted) return true;
    }
    return false;
}

std::string BuiltProgram(const std::string& name)
{
    return std::string(VANTREL_BIN_DIR) + "/" + name;
}

} // namespace vantrel::test
