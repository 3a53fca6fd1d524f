#include "support/SimPortRig.h"

#include "link/MessageFormat.h"
#include "sim/SimFaults.h"
#include "sim/SimSerialDevice.h"

#include "support/TestSimRadio.h"

#include <gtest/gtest.h>

namespace vantrel {

SimPortRig::SimPortRig(const std::string& profile, const std::string& faults)
{
    auto radio = MakeTestSimRadio(profile, faults);
    radio->SetLog([this](const std::string& line) { m_restarts += line == "restart"; });
    m_line = std::make_shared<SimLine>(m_clock, std::move(radio));
    m_runtime = std::make_unique<ScopedRuntime>(m_clock, *this);
    m_scopedFeedback = std::make_unique<ScopedFeedback>(m_feedback);
    m_previousTrace = CurrentTrace();
    SetCurrentTrace(this);
}

SimPortRig::~SimPortRig()
{
    SetCurrentTrace(m_previousTrace);
}

void SimPortRig::HoldPortBusy()
{
    m_intruder = std::make_unique<SimSerialDevice>(m_line);
    ASSERT_TRUE(m_intruder->Open("sim").Ok());
}

std::unique_ptr<SerialDevice> SimPortRig::CreateDevice(const std::string& portName, std::string& deviceName)
{
    deviceName = "sim";
    if (portName != "COM1") return nullptr;
    return std::make_unique<SimSerialDevice>(m_line);
}

void SimPortRig::Bytes(bool sent, const uint8_t* bytes, uint32_t count)
{
    if (sent) m_sent.insert(m_sent.end(), bytes, bytes + count);
}

std::vector<uint8_t> RequestBytes(const std::vector<Request>& requests)
{
    std::vector<uint8_t> bytes;
    for (const Request& r : requests) {
        const auto message = EncodeMessage(r.opcode, r.payload.data(), static_cast<uint32_t>(r.payload.size()));
        bytes.insert(bytes.end(), message.begin(), message.end());
    }
    return bytes;
}

} // namespace vantrel
