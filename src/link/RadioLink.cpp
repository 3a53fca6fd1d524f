#include "link/RadioLink.h"

#include <cstring>

#include "link/Feedback.h"
#include "link/MessageFormat.h"
#include "link/Trace.h"
#include "platform/Runtime.h"
#include "platform/StopRequest.h"

namespace vantrel {
namespace {

constexpr uint32_t kMsgNoPort = 20100;
constexpr uint32_t kMsgTooLong = 20102;
constexpr uint32_t kInterByteMs = 250;
constexpr uint32_t kDrainLimitMs = 2000;
constexpr uint32_t kPacingEchoLimitMs = 6000;
constexpr uint32_t kEchoBaseMs = 1000;
constexpr uint32_t kEchoPerByteMs = 250;
constexpr uint32_t kPacingGroup = 3;
constexpr uint32_t kSettleLimitMs = 5000;

// A deadline of d ms: the clock reading at its start plus d + 1, passed once
// the clock reads later than that. Kept on the 64-bit count so that a wrap of
// the 32-bit tick counter can neither end a receive at once nor let it run forever.
uint64_t DeadlineAfter(uint32_t ms) { return CurrentClock().NowMs() + ms + 1; }

bool Passed(uint64_t deadline) { return CurrentClock().NowMs() > deadline; }

// Only the extended-both shape at the two middle flash rates is paced by its
// echo; the interface's buffer keeps up at the others.
bool NeedsEchoPacing(const std::vector<uint8_t>& message, uint32_t rate)
{
    return message.size() > 1 && message[0] == 0xFF && (rate == 19200 || rate == 38400);
}

// Bytes whose echo a USB adapter may still hold back: as many as the line
// carries in the adapter's latency and one bus frame. None on a native port.
uint32_t EchoHeldBack(const CSerialPort& port)
{
    const uint32_t delayMs = port.Facts().ReceiveDelayMs();
    if (delayMs == 0 || port.GetBaudRate() == 0) return 0;
    constexpr uint32_t kBitsPerByte = 10;
    constexpr uint32_t kBusFrameMs = 1;
    return ((delayMs + kBusFrameMs) * port.GetBaudRate() + 1000 * kBitsPerByte - 1) / (1000 * kBitsPerByte);
}

}  // namespace

CRadioLink& TheRadioLink()
{
    static CRadioLink link;
    return link;
}

void CRadioLink::Attach(CSerialPort* port) { m_port = port; }

int32_t CRadioLink::TakeStatus()
{
    const int32_t status = m_status;
    m_status = LinkOk;
    return status;
}

void CRadioLink::Send(uint8_t opcode, const uint8_t* payload, uint32_t length)
{
    // Between two requests is where a run may stop.
    if (StopRequested()) {
        TraceEvent("stopped on request before sending");
        m_status = LinkStopped;
        return;
    }
    if (!m_port) {
        ShowMessage(kMsgError, kMsgNoPort);
        m_status = LinkNoPort;
        return;
    }
    // The length field is 16 bits; nothing in the command set comes near it.
    if (length >= 0xFFFF || (length != 0 && payload == nullptr)) {
        m_status = LinkTooLong;
        return;
    }
    m_port->PurgeInput();

    const std::vector<uint8_t> message = EncodeMessage(opcode, payload, length);
    const bool paced = NeedsEchoPacing(message, m_port->GetBaudRate());
    // Paced by the echo that is due: through a USB adapter the echo of the
    // last bytes cannot be back yet, and waiting for it would leave the line
    // idle for the adapter's latency every third byte. On a native port the
    // echo of every byte sent is awaited.
    const uint32_t heldBack = paced ? EchoHeldBack(*m_port) : 0;
    for (uint32_t i = 0; i < message.size(); ++i) {
        m_port->WriteByte(message[i]);
        if (!paced) continue;
        const uint32_t due = i + 1 > heldBack ? i + 1 - heldBack : 0;
        if (!m_port->WaitForOutputDrained(kDrainLimitMs) ||
            ((i + 1) % kPacingGroup == 0 && due != 0 && !m_port->WaitForInput(due, kPacingEchoLimitMs))) {
            m_status = LinkNoResponse;
            return;
        }
    }

    // Swallow the interface's echo; its outcome is the outcome of the send.
    m_status = SwallowEcho(message, kEchoBaseMs + kEchoPerByteMs * length);
}

int32_t CRadioLink::SwallowEcho(const std::vector<uint8_t>& sent, uint32_t timeoutMs)
{
    // The echo is taken by its length and compared: parsing it as a message
    // would let a byte the radio slipped in shift every later answer.
    uint64_t deadline = DeadlineAfter(timeoutMs);
    size_t got = 0;
    bool same = true;
    while (got < sent.size()) {
        const uint64_t before = CurrentClock().NowMs();
        const int byte = m_port->ReadByte();
        if (byte < 0 && CurrentClock().NowMs() == before) CurrentClock().SleepUntil(deadline + 1);
        if (byte >= 0) {
            same = same && static_cast<uint8_t>(byte) == sent[got];
            ++got;
            deadline = DeadlineAfter(kInterByteMs);
        } else if (Passed(deadline)) {
            break;
        }
    }
    if (got == 0) return LinkNoResponse;
    if (got == sent.size() && same) return LinkOk;
    TraceEvent("echo differs from the request: the radio did not get it whole");
    SettleLine();
    return LinkDisturbed;
}

void CRadioLink::SettleLine()
{
    // The radio refuses each piece of a broken request after its own gap
    // between characters; once it has been quiet for as long as the link
    // waits between two bytes, nothing more is coming.
    const uint64_t limit = DeadlineAfter(kSettleLimitMs);
    while (m_port->WaitForInput(1, kInterByteMs) && !Passed(limit))
        m_port->ReadByte();
    m_port->PurgeInput();
}

int32_t CRadioLink::Receive(uint8_t& opcode, uint8_t* destination, uint32_t& length, uint32_t timeoutMs)
{
    uint64_t deadline = DeadlineAfter(timeoutMs);
    m_received = 0;
    if (!m_port) {
        ShowMessage(kMsgError, kMsgNoPort);
        m_status = LinkNoPort;
        return m_status;
    }

    MessageParser parser;
    bool complete = false;
    while (!complete) {
        // Waiting for an answer is given up at once; the radio finishes on its own.
        if (StopRequested()) {
            m_status = LinkStopped;
            return m_status;
        }
        const uint64_t before = CurrentClock().NowMs();
        const int byte = m_port->ReadByte();
        // A closed or failed port answers at once instead of waiting out its
        // read limit; wait for the deadline rather than spinning on it.
        if (byte < 0 && CurrentClock().NowMs() == before) CurrentClock().SleepUntil(deadline + 1);
        if (byte >= 0) {
            if (m_received == kReceiveBufferSize) break;
            m_receiveBuffer[m_received++] = static_cast<uint8_t>(byte);
            deadline = DeadlineAfter(kInterByteMs);
            complete = parser.Feed(static_cast<uint8_t>(byte));
        } else if (Passed(deadline)) {
            break;
        }
    }

    if (!complete) {
        if (m_received == kReceiveBufferSize) {
            ShowMessage(kMsgError, kMsgTooLong);
            m_status = LinkTooLong;
        } else if (m_received > 0) {
            m_port->PurgeInput();
            m_status = LinkIncomplete;
        } else {
            m_status = LinkNoResponse;
        }
        return m_status;
    }

    if (m_received > 1 && MessageChecksum(m_receiveBuffer, m_received - 1) != m_receiveBuffer[m_received - 1]) {
        m_status = LinkChecksumError;
        return m_status;
    }
    // A multi-byte header announcing no bytes at all can pass the checksum
    // test, yet it would mean a payload of -1 bytes: it is malformed.
    if (parser.EmptyEscapedHeader()) {
        m_status = LinkChecksumError;
        return m_status;
    }

    m_opcode = parser.Opcode();
    opcode = m_opcode;
    if (destination) {
        const uint32_t payloadLength = m_received == 1 ? 0 : parser.BodyLength() - 1;
        std::memcpy(destination, m_receiveBuffer + parser.HeaderLength(), payloadLength);
        length = payloadLength;
    }
    m_status = LinkOk;
    return m_status;
}

CRadioConnection::CRadioConnection(int portIndex, uint32_t rate, bool& ok) : m_portIndex(portIndex)
{
    ok = m_port.Open(PortNameFromIndex(m_portIndex), rate);
    if (ok) TheRadioLink().Attach(&m_port);
}

CRadioConnection::~CRadioConnection()
{
    // Leave no pointer to a port that is about to go away.
    if (TheRadioLink().Port() == &m_port) TheRadioLink().Attach(nullptr);
    m_port.Close();
}

int CRadioConnection::Detach()
{
    TheRadioLink().Attach(nullptr);
    m_port.Close();
    return 1;
}

int CRadioConnection::Reopen(uint32_t rate)
{
    m_port.Open(PortNameFromIndex(m_portIndex), rate);
    TheRadioLink().Attach(&m_port);
    return 1;
}

}  // namespace vantrel
