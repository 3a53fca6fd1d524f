#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace vantrel::testing {

// A pseudo-terminal: the device under test opens the slave by its path, the
// test plays the far end on the master. The test also keeps a slave
// descriptor of its own to read back the line settings.
class PtyPair {
public:
    PtyPair()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) return;
        const char* name = ptsname(m_master);
        if (name == nullptr) return;
        m_slavePath = name;
        m_slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~PtyPair()
    {
        CloseMaster();
        if (m_slave >= 0) close(m_slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return m_master >= 0 && m_slave >= 0; }
    const std::string& SlavePath() const { return m_slavePath; }
    int SlaveFd() const { return m_slave; }

    bool Send(const std::vector<uint8_t>& bytes) const
    {
        return write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // What the device sent, up to count bytes, waiting at most timeoutMs.
    std::vector<uint8_t> Receive(size_t count, int timeoutMs) const
    {
        std::vector<uint8_t> got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            pollfd p{m_master, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
            uint8_t chunk[512];
            const ssize_t n = read(m_master, chunk, std::min(sizeof chunk, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }

    void CloseMaster()
    {
        if (m_master >= 0) close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

} // namespace vantrel::testing
