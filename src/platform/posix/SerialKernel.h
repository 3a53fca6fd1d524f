#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace vantrel {

// The serial-info flag that makes a USB adapter's driver hand received bytes
// on at once (its latency timer at 1 ms) instead of after 16 ms.
constexpr int kSerialLowLatencyFlag = 0x2000;

// The kernel calls a serial device needs beyond termios: the serial-info flags
// and what sysfs tells about the device behind a descriptor. One interface, so
// that tests can stand in for a USB adapter's driver.
class SerialKernel {
public:
    virtual ~SerialKernel() = default;

    // The serial-info flags (TIOCGSERIAL / TIOCSSERIAL); 0 or the errno.
    virtual int GetSerialFlags(int fd, int& flags) = 0;
    virtual int SetSerialFlags(int fd, int flags) = 0;
    // Whether the device behind the descriptor hangs off a USB bus.
    virtual bool IsUsbDevice(int fd) = 0;
    // The adapter's latency timer (sysfs latency_timer), where the driver has one.
    virtual std::optional<uint32_t> LatencyTimerMs(int fd) = 0;
    // The process that holds the lock on the device file, if any.
    virtual std::optional<int> LockHolder(const std::string& path) = 0;
    // A process's command name, empty when it cannot be read.
    virtual std::string ProcessName(int pid) = 0;

    // True when the text is not what was last said of the device: the trace
    // tells each state of a device once per run, however often it is opened.
    bool IsNews(const std::string& device, const std::string& text)
    {
        std::string& last = m_said[device];
        if (last == text) return false;
        last = text;
        return true;
    }

private:
    std::map<std::string, std::string> m_said;
};

// The running system's.
SerialKernel& SystemSerialKernel();

// The process holding a lock on the file (device major, minor, inode) in the
// text of /proc/locks.
std::optional<int> FindLockHolder(const std::string& procLocks, uint32_t major, uint32_t minor, uint64_t inode);

} // namespace vantrel
