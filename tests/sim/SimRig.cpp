#include "sim/SimRig.h"

#include "support/TestSimRadio.h"

#include <gtest/gtest.h>

namespace vantrel {

SimRig::SimRig(const std::string& profile, const std::string& faults)
{
    auto radio = MakeTestSimRadio(profile, faults);
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

namespace vantrel {

std::vector<uint8_t> SampleLoader(uint32_t flashRate, size_t codeBytes)
{
    std::vector<uint8_t> image{'V', 'L', 'D', 'R'};
    for (int i = 0; i < 4; ++i)
        image.push_back(static_cast<uint8_t>(flashRate >> (8 * i)));
    for (size_t i = 0; i < codeBytes; ++i)
        image.push_back(static_cast<uint8_t>(0x30 + i));
    return image;
}

int DownloadBootcode(SimRig& rig, const std::vector<uint8_t>& bootcode, uint32_t flashRate)
{
    LineStatus status;
    bool sawBreak = false;
    for (int i = 0; i < 200 && !sawBreak; ++i) {
        rig.device->GetStatus(status);
        sawBreak = (status.errors & kLineErrorBreak) != 0;
        if (!sawBreak) rig.device->WaitForActivity(5);
    }
    EXPECT_TRUE(sawBreak) << "no break from the radio";
    rig.Pass(10);
    rig.device->GetStatus(status);
    EXPECT_EQ(status.errors & kLineErrorBreak, 0u) << "break still held";
    rig.WriteRaw({0xFD});
    EXPECT_EQ(rig.Read(2), Bytes({0xFD, 0xFF})) << "sync";
    std::vector<uint8_t> padded = bootcode;
    padded.resize((padded.size() + 7) / 8 * 8, 0x00);
    for (size_t at = 0; at < padded.size(); at += 8) {
        const std::vector<uint8_t> block(padded.begin() + static_cast<long>(at),
                                         padded.begin() + static_cast<long>(at) + 8);
        rig.WriteRaw(block);
        EXPECT_EQ(rig.Read(8), block) << "local echo of block at " << at;
        EXPECT_EQ(rig.Read(8), block) << "radio echo of block at " << at;
    }
    rig.SetRate(flashRate);
    rig.device->Purge(PurgeRxAbort | PurgeRxClear | PurgeTxAbort | PurgeTxClear);
    rig.device->SetReadLimits(ReadLimits{250, 0, 700});
    const auto ready = rig.Read(1);
    rig.device->SetReadLimits(ReadLimits{250, 0, 1000});
    return ready.empty() ? -1 : ready[0];
}

} // namespace vantrel
