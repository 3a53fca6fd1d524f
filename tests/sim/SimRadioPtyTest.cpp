#include "sim/SimRig.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace vantrel {
namespace {

// vantrel-simradio as a child process, and the slave side of its pseudo-terminal.
class PtyRadioProcess {
public:
    explicit PtyRadioProcess(std::vector<std::string> args)
    {
        const std::string program = std::string(VANTREL_BIN_DIR) + "/vantrel-simradio";
        if (access(program.c_str(), X_OK) != 0) return;
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        args.insert(args.begin(), program);
        args.push_back("--quiet");
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (rc != 0) {
            m_pid = -1;
            close(out[0]);
            return;
        }
        // The first line is the slave's path.
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            m_path += c;
        close(out[0]);
        m_fd = open(m_path.c_str(), O_RDWR | O_NOCTTY);
    }
    ~PtyRadioProcess()
    {
        if (m_fd >= 0) close(m_fd);
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }
    bool Running() const { return m_fd >= 0; }

    void Setup(speed_t speed, bool markBreaks)
    {
        termios t{};
        tcgetattr(m_fd, &t);
        cfmakeraw(&t);
        t.c_iflag = markBreaks ? (PARMRK | INPCK) : 0;
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(m_fd, TCSANOW, &t);
    }
    void Write(const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // What arrives within ms, returning early once count bytes are there.
    std::vector<uint8_t> ReadFor(int ms, size_t count = SIZE_MAX)
    {
        std::vector<uint8_t> out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end && out.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, 10) > 0) {
                uint8_t buffer[256];
                const ssize_t n = read(m_fd, buffer, sizeof buffer);
                if (n > 0) out.insert(out.end(), buffer, buffer + n);
            }
        }
        return out;
    }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_path;
};

TEST(SimRadioPty, AnswersOnAPseudoTerminalAndMarksItsBreak)
{
    PtyRadioProcess radio({"--auto-operator"});
    if (!radio.Running()) GTEST_SKIP() << "vantrel-simradio not built or no pseudo-terminals";
    radio.Setup(B9600, false);
    radio.Write({0xF2, 0x23, 0x10, 0xDA});
    EXPECT_EQ(radio.ReadFor(1000, 10), Bytes({0xF2, 0x23, 0x10, 0xDA, 0x50, 0xF3, 0x8B, 0x10, 0x01, 0x70}));

    // The host switching to 2400 Bd stands for the operator's bootstrap step;
    // the break arrives marked in-band, the sync answer 0xFF doubled.
    radio.Setup(B2400, true);
    const auto marks = radio.ReadFor(1000, 3);
    ASSERT_GE(marks.size(), 3u);
    EXPECT_EQ(std::vector<uint8_t>(marks.begin(), marks.begin() + 3), Bytes({0xFF, 0x00, 0x00}));
    radio.Write({0xFD});
    // Repeated breaks may still be on their way before the sync answer.
    std::vector<uint8_t> sync;
    for (int i = 0; i < 10 && (sync.size() < 3 || sync[sync.size() - 3] != 0xFD); ++i) {
        const auto more = radio.ReadFor(500, 3);
        sync.insert(sync.end(), more.begin(), more.end());
    }
    ASSERT_GE(sync.size(), 3u);
    EXPECT_EQ(std::vector<uint8_t>(sync.end() - 3, sync.end()), Bytes({0xFD, 0xFF, 0xFF}));
    const auto loader = SampleLoader(38400, 8);
    for (size_t at = 0; at < loader.size(); at += 8) {
        const std::vector<uint8_t> block(loader.begin() + static_cast<long>(at),
                                         loader.begin() + static_cast<long>(at) + 8);
        radio.Write(block);
        std::vector<uint8_t> twice = block;
        twice.insert(twice.end(), block.begin(), block.end());
        EXPECT_EQ(radio.ReadFor(1000, 16), twice);
    }
    radio.Setup(B38400, true);
    EXPECT_EQ(radio.ReadFor(1000, 1), Bytes({'P'}));
}

} // namespace
} // namespace vantrel
