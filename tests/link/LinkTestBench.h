#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "link/Feedback.h"
#include "link/MessageFormat.h"
#include "link/RadioLink.h"
#include "link/SerialPort.h"
#include "platform/Runtime.h"
#include "support/FakeSerialDevice.h"
#include "support/RecordingFeedback.h"

namespace vantrel {

using Bytes = std::vector<uint8_t>;

inline Bytes Msg(uint8_t opcode, const Bytes& payload = {})
{
    return EncodeMessage(opcode, payload.data(), static_cast<uint32_t>(payload.size()));
}

inline const Bytes kAck{kAckByte};
inline const Bytes kNak{kNakByte};

// A request as the radio heard it: opcode and payload.
struct HeardRequest {
    uint8_t opcode = 0;
    Bytes payload;
    Bytes raw;
};

inline HeardRequest DecodeRequest(const Bytes& raw)
{
    MessageParser parser;
    for (uint8_t b : raw) parser.Feed(b);
    HeardRequest r;
    r.opcode = parser.Opcode();
    r.raw = raw;
    if (raw.size() > 1) r.payload.assign(raw.begin() + parser.HeaderLength(), raw.end() - 1);
    return r;
}

// Port on a fake line, attached to the link, with a scripted radio: each
// request takes the next answer from the script (silence when it is empty).
class LinkTestBench : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(port.Open("COM1", 9600));
        TheRadioLink().Attach(&port);
        TheRadioLink().TakeStatus();
        device.SetResponder([this](const Bytes& request, FakeSerialDevice& line) {
            requests.push_back(DecodeRequest(request));
            requestEndMs.push_back(clock.NowMs());
            if (script.empty()) return;
            for (const Bytes& message : script.front()) line.Reply(message, answerDelayMs);
            script.pop_front();
        });
    }
    void TearDown() override { TheRadioLink().Attach(nullptr); }

    // The radio's answer to the next request: these messages, back to back.
    void Answer(std::vector<Bytes> messages) { script.push_back(std::move(messages)); }
    void Silence() { script.push_back({}); }
    uint64_t Now() { return clock.NowMs(); }
    int32_t Status() { return TheRadioLink().Status(); }

    VirtualClock clock{1000};
    FakeSerialDevice device{clock};
    FakeDeviceFactory factory{device};
    ScopedRuntime runtime{clock, factory};
    RecordingFeedback feedback;
    ScopedFeedback scopedFeedback{feedback};
    CSerialPort port;

    uint32_t answerDelayMs = 5;
    std::deque<std::vector<Bytes>> script;
    std::vector<HeardRequest> requests;
    std::vector<uint64_t> requestEndMs;
};

}  // namespace vantrel
