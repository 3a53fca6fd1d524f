#pragma once

#include "link/Trace.h"
#include "platform/Clock.h"
#include "platform/Runtime.h"
#include "platform/SerialDevice.h"
#include "sim/SimLine.h"
#include "sim/SimProfiles.h"
#include "support/RecordingFeedback.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// A simulated radio behind port COM1 (port index 0) on a virtual clock, with a
// recording feedback current and a trace of every byte the program sends, for
// running operations end to end. Other port names reach no device.
class SimPortRig final : public DeviceFactory, public LinkTrace {
public:
    explicit SimPortRig(const std::string& profile = kSimDefaultProfile, const std::string& faults = "");
    ~SimPortRig() override;
    SimPortRig(const SimPortRig&) = delete;
    SimPortRig& operator=(const SimPortRig&) = delete;

    SimRadio& Radio() { return m_line->Radio(); }
    RecordingFeedback& Feedback() { return m_feedback; }

    // Every byte the program wrote, in order.
    const std::vector<uint8_t>& Sent() const { return m_sent; }
    // How often the radio restarted (a reset reached it).
    int Restarts() const { return m_restarts; }
    // Another program holds COM1 open, so opening it fails.
    void HoldPortBusy();

    std::unique_ptr<SerialDevice> CreateDevice(const std::string& portName, std::string& deviceName) override;
    void Bytes(bool sent, const uint8_t* bytes, uint32_t count) override;
    void Event(const std::string&) override {}

private:
    VirtualClock m_clock{1000};
    std::shared_ptr<SimLine> m_line;
    std::unique_ptr<SerialDevice> m_intruder;
    RecordingFeedback m_feedback;
    std::unique_ptr<ScopedRuntime> m_runtime;
    std::unique_ptr<ScopedFeedback> m_scopedFeedback;
    LinkTrace* m_previousTrace = nullptr;
    std::vector<uint8_t> m_sent;
    int m_restarts = 0;
};

// The framed requests (opcode, payload) one after the other, as the program sends them.
struct Request {
    uint8_t opcode;
    std::vector<uint8_t> payload;
};
std::vector<uint8_t> RequestBytes(const std::vector<Request>& requests);

} // namespace vantrel
