#include "platform/posix/SerialKernel.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace vantrel {
namespace {

#if defined(__linux__)
static_assert(ASYNC_LOW_LATENCY == kSerialLowLatencyFlag, "the kernel's low-latency flag");
#endif

std::string ReadLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

class LinuxSerialKernel final : public SerialKernel {
public:
    int GetSerialFlags(int fd, int& flags) override
    {
#if defined(__linux__)
        serial_struct info{};
        if (ioctl(fd, TIOCGSERIAL, &info) != 0) return errno;
        flags = info.flags;
        return 0;
#else
        (void)fd;
        (void)flags;
        return ENOTTY;
#endif
    }

    int SetSerialFlags(int fd, int flags) override
    {
#if defined(__linux__)
        serial_struct info{};
        if (ioctl(fd, TIOCGSERIAL, &info) != 0) return errno;
        info.flags = flags;
        return ioctl(fd, TIOCSSERIAL, &info) == 0 ? 0 : errno;
#else
        (void)fd;
        (void)flags;
        return ENOTTY;
#endif
    }

    bool IsUsbDevice(int fd) override
    {
        const std::string folder = SysfsFolder(fd);
        if (folder.empty()) return false;
        char resolved[PATH_MAX];
        if (realpath(folder.c_str(), resolved) == nullptr) return false;
        return std::string(resolved).find("/usb") != std::string::npos;
    }

    std::optional<uint32_t> LatencyTimerMs(int fd) override
    {
        const std::string folder = SysfsFolder(fd);
        if (folder.empty()) return std::nullopt;
        const std::string text = ReadLine(folder + "/device/latency_timer");
        char* end = nullptr;
        const unsigned long ms = std::strtoul(text.c_str(), &end, 10);
        if (text.empty() || end == text.c_str() || ms > 255) return std::nullopt;
        return static_cast<uint32_t>(ms);
    }

    std::optional<int> LockHolder(const std::string& path) override
    {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return std::nullopt;
        std::ifstream in("/proc/locks");
        std::stringstream text;
        text << in.rdbuf();
        return FindLockHolder(text.str(), major(st.st_dev), minor(st.st_dev), st.st_ino);
    }

    std::string ProcessName(int pid) override
    {
        return ReadLine("/proc/" + std::to_string(pid) + "/comm");
    }

private:
    // /sys/dev/char/MAJOR:MINOR of the character device behind the descriptor.
    static std::string SysfsFolder(int fd)
    {
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return {};
        return "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
    }
};

} // namespace

SerialKernel& SystemSerialKernel()
{
    static LinuxSerialKernel kernel;
    return kernel;
}

std::optional<int> FindLockHolder(const std::string& procLocks, uint32_t major, uint32_t minor, uint64_t inode)
{
    // "1: FLOCK  ADVISORY  WRITE 2271 00:05:1016 0 EOF"; waiting lockers are
    // marked "->" and hold nothing.
    std::istringstream lines(procLocks);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string number, kind, mode, access, pid, file;
        if (!(words >> number >> kind >> mode >> access >> pid >> file) || number == "->" || kind == "->") continue;
        unsigned fileMajor = 0, fileMinor = 0;
        unsigned long long fileInode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &fileMajor, &fileMinor, &fileInode) != 3) continue;
        if (fileMajor != major || fileMinor != minor || fileInode != inode) continue;
        char* end = nullptr;
        const long holder = std::strtol(pid.c_str(), &end, 10);
        if (end != pid.c_str() && *end == '\0' && holder > 0 && holder <= INT_MAX) return static_cast<int>(holder);
    }
    return std::nullopt;
}

} // namespace vantrel
