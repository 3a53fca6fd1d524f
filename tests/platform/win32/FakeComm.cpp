#include "platform/win32/FakeComm.h"

#include <algorithm>

namespace vantrel::test {
namespace {

class FakeCommPort final : public CommPort {
public:
    explicit FakeCommPort(FakeComm& comm) : m_comm(comm) { m_comm.portOpen = true; }
    ~FakeCommPort() override { m_comm.portOpen = false; }

    bool SetMask(uint32_t events) override
    {
        m_comm.masks.push_back(events);
        return true;
    }
    bool SetupQueues(uint32_t rxBytes, uint32_t txBytes) override
    {
        m_comm.queueSizes.emplace_back(rxBytes, txBytes);
        return true;
    }
    bool Purge(uint32_t flags) override
    {
        m_comm.purges.push_back(flags);
        return true;
    }
    bool SetTimeouts(const CommTimeouts& timeouts) override
    {
        m_comm.timeouts.push_back(timeouts);
        return true;
    }
    bool GetState(CommState& state) override
    {
        if (m_comm.getStateFails) return false;
        state = m_comm.driverState;
        return true;
    }
    bool SetState(const CommState& state) override
    {
        if (m_comm.setStateFails) return false;
        m_comm.statesSet.push_back(state);
        m_comm.driverState = state;
        return true;
    }
    bool ClearError(CommStatus& status) override
    {
        status.errors = m_comm.latchedErrors;
        status.inQueue = m_comm.inQueue;
        status.outQueue = m_comm.outQueue;
        m_comm.latchedErrors = 0;
        return true;
    }
    bool Read(uint8_t* buffer, uint32_t count, uint32_t& got) override
    {
        got = static_cast<uint32_t>(std::min<size_t>(count, m_comm.input.size()));
        std::copy_n(m_comm.input.begin(), got, buffer);
        m_comm.input.erase(m_comm.input.begin(), m_comm.input.begin() + got);
        return !m_comm.readFails;
    }
    bool Write(const uint8_t* buffer, uint32_t count, uint32_t& sent) override
    {
        sent = std::min(count, m_comm.writeAccepts);
        m_comm.written.insert(m_comm.written.end(), buffer, buffer + sent);
        return !m_comm.writeFails;
    }
    bool WaitEvent(uint32_t maxMs, uint32_t& events) override
    {
        m_comm.waitLimits.push_back(maxMs);
        FakeComm::WaitAnswer answer;
        if (!m_comm.waits.empty()) {
            answer = m_comm.waits.front();
            m_comm.waits.pop_front();
        }
        events = answer.armed ? answer.events : 0;
        return answer.armed;
    }

private:
    FakeComm& m_comm;
};

} // namespace

std::unique_ptr<CommPort> FakeComm::Open(const std::string& devicePath, uint32_t& error)
{
    openedPaths.push_back(devicePath);
    if (const auto refused = openErrors.find(devicePath); refused != openErrors.end()) {
        error = refused->second;
        return nullptr;
    }
    error = 0;
    return std::make_unique<FakeCommPort>(*this);
}

} // namespace vantrel::test
