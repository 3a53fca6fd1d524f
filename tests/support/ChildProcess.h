#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace vantrel::test {

// A program run beside the test: its standard output and error go to files
// (stem + ".out" / ".err"), its input is empty. Killed when the object goes
// if it still runs.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args, const std::string& outputStem);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // Waits for the end; the exit status, or -1 when a signal ended it.
    int Wait();
    std::string Out() const;
    std::string Err() const;
    // True once the process has the file open (its /proc fd links).
    bool HasOpen(const std::string& path) const;

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_stem;
};

// A program of the build: VANTREL_BIN_DIR + "/" + name.
std::string BuiltProgram(const std::string& name);

} // namespace vantrel::test
