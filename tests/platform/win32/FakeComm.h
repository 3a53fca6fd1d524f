#pragma once

#include "platform/win32/CommApi.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantrel::test {

// The communications functions as a script: the test says what each call
// answers and reads back what the device asked for. Ports opened through it
// forward to it, and it notes when one is closed.
class FakeComm final : public CommApi {
public:
    struct WaitAnswer {
        bool armed = true;
        uint32_t events = 0;
    };

    // --- what the test arranges ---
    std::map<std::string, uint32_t> openErrors; // by device path; others open
    CommState driverState;                      // what GetState answers until SetState changes it
    bool getStateFails = false;
    bool setStateFails = false;
    // Driver errors and queue counts; errors are latched until ClearError reads them.
    uint32_t latchedErrors = 0;
    uint32_t inQueue = 0;
    uint32_t outQueue = 0;
    std::deque<WaitAnswer> waits; // answered in order, then "armed, nothing"
    std::vector<uint8_t> input;   // what reads deliver
    bool readFails = false;
    bool writeFails = false;
    uint32_t writeAccepts = UINT32_MAX;

    // --- what the test observes ---
    std::vector<std::string> openedPaths;
    bool portOpen = false;
    std::vector<uint32_t> masks;
    std::vector<uint32_t> purges;
    std::vector<std::pair<uint32_t, uint32_t>> queueSizes;
    std::vector<CommTimeouts> timeouts;
    std::vector<CommState> statesSet;
    std::vector<uint32_t> waitLimits;
    std::vector<uint32_t> sleeps;
    std::vector<uint8_t> written;

    std::unique_ptr<CommPort> Open(const std::string& devicePath, uint32_t& error) override;
    void Sleep(uint32_t ms) override { sleeps.push_back(ms); }

    // A later event or error seen by the driver, the way it reports them.
    void RaiseBreak() { latchedErrors |= comm::kCeBreak; }
    void QueueWait(uint32_t events, bool armed = true) { waits.push_back({armed, events}); }
};

} // namespace vantrel::test
