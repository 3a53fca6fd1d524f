#include "sim/SimRig.h"

#include <gtest/gtest.h>

namespace vantrel {

SimRig::SimRig(const std::string& profile, const std::string& faults)
{
    SimRadioConfig config;
    EXPECT_TRUE(MakeSimProfile(profile, config)) << profile;
    auto radio = std::make_unique<SimRadio>(std::move(config));
    SimFaultPlan plan;
    std::string error;
    EXPECT_TRUE(ParseSimFaults(faults, plan, error)) << error;
    radio->SetFaults(plan);
    line = std::make_shared<SimLine>(clock, std::move(radio));
    device = std::make_unique<SimSerialDevice>(line);
}

bool SimRig::Open(uint32_t rate)
{
    if (!device->Open("sim").Ok()) return false;
    device->SetQueueSizes(4096, 4096);
    device->Purge(PurgeRxAbort | PurgeRxClear | PurgeTxAbort | PurgeTxClear);
    device->SetReadLimits(ReadLimits{250, 0, 1000});
    SetRate(rate);
    return true;
}

void SimRig::SetRate(uint32_t rate)
{
    LineSettings settings;
    device->GetLineSettings(settings);
    settings.baudRate = rate;
    device->SetLineSettings(settings);
}

std::vector<uint8_t> SimRig::Send(uint8_t opcode, const std::vector<uint8_t>& payload)
{
    const auto message = EncodeMessage(opcode, payload.data(), static_cast<uint32_t>(payload.size()));
    WriteRaw(message);
    return message;
}

void SimRig::WriteRaw(const std::vector<uint8_t>& bytes)
{
    EXPECT_EQ(device->Write(bytes.data(), static_cast<uint32_t>(bytes.size())), static_cast<int>(bytes.size()));
}

std::vector<uint8_t> SimRig::Read(uint32_t count)
{
    std::vector<uint8_t> out(count);
    const int n = device->Read(out.data(), count);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::vector<uint8_t> SimRig::Transact(uint8_t opcode, const std::vector<uint8_t>& payload)
{
    const auto request = Send(opcode, payload);
    EXPECT_EQ(Read(static_cast<uint32_t>(request.size())), request) << "local echo";
    std::vector<uint8_t> answer;
    for (;;) {
        const auto part = Read(512);
        if (part.empty()) break;
        answer.insert(answer.end(), part.begin(), part.end());
    }
    return answer;
}

void SimRig::Pass(uint32_t ms)
{
    clock.Sleep(ms);
    line->Sync();
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

std::vector<uint8_t> AckThen(uint8_t opcode, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> out{kAckByte};
    const auto reply = EncodeMessage(opcode, payload.data(), static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), reply.begin(), reply.end());
    return out;
}

} // namespace vantrel
