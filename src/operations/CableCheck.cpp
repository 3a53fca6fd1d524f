#include "operations/CableCheck.h"

#include "link/Feedback.h"
#include "link/SerialPort.h"
#include "platform/Runtime.h"
#include "platform/StopRequest.h"

#include <algorithm>
#include <cstdio>

namespace vantrel {
namespace {

constexpr uint32_t kIdSwitchRadioOff = 20272;
constexpr uint32_t kIdCableCheckDone = 20273;
constexpr uint32_t kBootstrapRate = 2400;
constexpr uint32_t kNormalRate = 9600;
constexpr uint32_t kRounds = 12;
constexpr uint32_t kPatternBytes = 8;
constexpr uint32_t kEchoLimitMs = 1000;
// Anything the radio would say comes well within this after a pattern.
constexpr uint32_t kQuietMs = 150;

// Patterns that stress the line: alternating bits, all zeros and ones, the
// sync byte, the ACK, and a count.
std::vector<uint8_t> Pattern(uint32_t round)
{
    static const uint8_t kFixed[][kPatternBytes] = {
        {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA},
        {0x00, 0xFF, 0x00, 0xFF, 0x0F, 0xF0, 0x0F, 0xF0},
        {0xFD, 0xFF, 0x50, 0x60, 0xF2, 0x23, 0x10, 0xDA},
        {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
    };
    if (round < std::size(kFixed)) return {std::begin(kFixed[round]), std::end(kFixed[round])};
    std::vector<uint8_t> bytes(kPatternBytes);
    for (uint32_t i = 0; i < kPatternBytes; ++i)
        bytes[i] = static_cast<uint8_t>(round * 37 + i * 11);
    return bytes;
}

std::string Hex(uint8_t b)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

// "BEFORE at RATE BdAFTER", built by appending: GCC 12 misreads literal +
// temporary string at -O3 (-Wrestrict) and the MinGW build stops on it.
std::string AtRate(const char* before, uint32_t rate, const std::string& after)
{
    std::string text = before;
    text += " at ";
    text += std::to_string(rate);
    text += " Bd";
    text += after;
    return text;
}

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// One rate: patterns out, echoes back, timed. False when the port did not open.
bool CheckRate(const std::string& portName, uint32_t rate, CableRateCheck& check, PortFacts& facts)
{
    check.rate = rate;
    check.lineMs = kPatternBytes * 10 * 1000.0 / rate;
    CSerialPort port;
    if (!port.Open(portName, rate)) {
        CurrentFeedback().ShowPortOpenFailure(portName, port.LastOpenError());
        return false;
    }
    facts = port.Facts();
    Clock& clock = CurrentClock();
    std::vector<double> trips;
    for (uint32_t round = 0; round < kRounds && !StopRequested(); ++round) {
        const std::vector<uint8_t> sent = Pattern(round);
        port.PurgeInput();
        const uint64_t start = clock.NowUs();
        port.Write(sent.data(), kPatternBytes);
        const bool whole = port.WaitForInput(kPatternBytes, kEchoLimitMs);
        const double tripMs = static_cast<double>(clock.NowUs() - start) / 1000.0;
        uint8_t echo[kPatternBytes] = {};
        const uint32_t got = whole ? port.Read(echo, kPatternBytes) : port.ReadTimed(echo, kPatternBytes, 0);
        if (got == 0) {
            check.problem = AtRate("no echo", rate, ": the cable or the flash adapter is not connected");
            return true;
        }
        check.echoSeen = true;
        if (got < kPatternBytes) {
            std::string lost = " lost bytes: ";
            lost += std::to_string(got);
            lost += " of ";
            lost += std::to_string(kPatternBytes);
            lost += " came back";
            check.problem = AtRate("the echo", rate, lost);
            return true;
        }
        for (uint32_t i = 0; i < kPatternBytes; ++i) {
            if (echo[i] != sent[i]) {
                std::string garbled = " is garbled: ";
                garbled += Hex(sent[i]);
                garbled += " came back as ";
                garbled += Hex(echo[i]);
                check.problem = AtRate("the echo", rate, garbled);
                return true;
            }
        }
        if (port.WaitForInput(1, kQuietMs + facts.ReceiveDelayMs())) {
            check.problem = AtRate("something besides the cable answers", rate, ": is the radio switched off?");
            return true;
        }
        trips.push_back(tripMs);
        ++check.rounds;
    }
    check.echoGood = check.rounds == kRounds;
    if (!check.echoGood) check.problem = "stopped";
    check.medianMs = Median(trips);
    check.worstMs = trips.empty() ? 0 : *std::max_element(trips.begin(), trips.end());
    return true;
}

} // namespace

CableCheckResult CheckCable(int portIndex, uint32_t flashRate)
{
    CableCheckResult result;
    if (ShowMessage(kMsgWarningOkCancel, kIdSwitchRadioOff) == 0) {
        result.cancelled = true;
        return result;
    }
    const std::string portName = PortNameFromIndex(portIndex);
    result.portOpened = true;
    for (uint32_t rate : {kNormalRate, kBootstrapRate, flashRate}) {
        CableRateCheck check;
        if (!CheckRate(portName, rate, check, result.facts)) {
            result.portOpened = false;
            result.reason = "the port could not be opened";
            break;
        }
        result.rates.push_back(check);
        if (StopRequested()) break;
    }
    if (result.portOpened) {
        result.fit = !result.rates.empty() && !StopRequested();
        for (const CableRateCheck& check : result.rates) {
            if (!result.fit) break;
            if (!check.echoGood) {
                result.fit = false;
                result.reason = check.problem;
            } else if (check.worstMs > kCableRoundTripLimitMs) {
                result.fit = false;
                char text[160];
                std::snprintf(text, sizeof text,
                              "the echo%s took up to %.1f ms, more than the %.0f ms an upgrade waits for it",
                              AtRate("", check.rate, "").c_str(), check.worstMs, kCableRoundTripLimitMs);
                result.reason = text;
            }
        }
        if (StopRequested()) result.reason = "stopped";
    }
    ShowMessage(kMsgInformation, kIdCableCheckDone);
    return result;
}

} // namespace vantrel
