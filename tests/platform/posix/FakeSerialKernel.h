#pragma once

#include "platform/posix/SerialKernel.h"

#include <cerrno>
#include <map>
#include <vector>

namespace vantrel::testing {

// A USB adapter's driver as the serial device sees it through the kernel
// calls: its serial-info flags, what it refuses, its latency timer.
class FakeSerialKernel final : public SerialKernel {
public:
    bool usb = true;
    int flags = 0;
    int getError = 0;            // errno of TIOCGSERIAL, 0: works
    int setError = 0;            // errno of TIOCSSERIAL, 0: works
    bool keepsLowLatency = true; // false: takes the request and ignores it
    bool hasLatencyTimer = true;
    uint32_t defaultLatencyMs = 16;
    std::optional<int> lockHolder;
    std::map<int, std::string> names;
    std::vector<int> flagsSet; // every TIOCSSERIAL, in order

    int GetSerialFlags(int, int& out) override
    {
        if (getError != 0) return getError;
        out = flags;
        return 0;
    }
    int SetSerialFlags(int, int value) override
    {
        if (setError != 0) return setError;
        flagsSet.push_back(value);
        flags = keepsLowLatency ? value : (value & ~kSerialLowLatencyFlag);
        return 0;
    }
    bool IsUsbDevice(int) override { return usb; }
    std::optional<uint32_t> LatencyTimerMs(int) override
    {
        if (!hasLatencyTimer) return std::nullopt;
        // The common driver sets its timer to 1 ms in low-latency mode.
        return (flags & kSerialLowLatencyFlag) != 0 ? 1u : defaultLatencyMs;
    }
    std::optional<int> LockHolder(const std::string&) override { return lockHolder; }
    std::string ProcessName(int pid) override
    {
        const auto it = names.find(pid);
        return it == names.end() ? std::string() : it->second;
    }
};

} // namespace vantrel::testing
