#pragma once

#include <cstdint>
#include <vector>

#include "link/SerialPort.h"

namespace vantrel {

// Why the last receive or command failed.
enum LinkStatus : int32_t {
    LinkOk = 0,
    LinkNoResponse = 1,
    LinkIncomplete = 2,
    LinkTooLong = 3,
    LinkChecksumError = 4,
    LinkNotSupported = 6,
    LinkNoPort = 9,
    LinkRejected = 11,
    // The request's echo came back with a byte more, fewer or changed: the
    // radio answered something while the request was still going out (it had
    // dropped a request the sender paused in), so it did not get it whole.
    LinkDisturbed = 12,
    // The operator stopped the run; nothing more is sent.
    LinkStopped = 13,
};

constexpr uint32_t kReceiveBufferSize = 261;

// The one link to the radio: framed messages with opcode and length nibbles,
// one's-complement checksum and the interface's local echo. Holds the attached
// port by a non-owning pointer.
class CRadioLink {
public:
    void Attach(CSerialPort* port);
    CSerialPort* Port() const { return m_port; }

    void Send(uint8_t opcode, const uint8_t* payload, uint32_t length);
    // destination (may be null) holds kReceiveBufferSize bytes; a payload is never longer.
    int32_t Receive(uint8_t& opcode, uint8_t* destination, uint32_t& length, uint32_t timeoutMs);
    int32_t TakeStatus();
    int32_t Status() const { return m_status; }
    void SetStatus(int32_t status) { m_status = status; }

    // Where the commands copy a reply's payload.
    uint8_t* PayloadArea() { return m_payload; }

private:
    // Reads the interface's echo of a request and compares it with what was sent.
    int32_t SwallowEcho(const std::vector<uint8_t>& sent, uint32_t timeoutMs);
    // Waits until the radio has had its say about a disturbed request, then
    // leaves the receive queue empty.
    void SettleLine();

    int32_t m_status = LinkOk;
    CSerialPort* m_port = nullptr;
    uint8_t m_opcode = 0;
    uint32_t m_received = 0;
    uint8_t m_receiveBuffer[kReceiveBufferSize] = {};
    uint8_t m_payload[kReceiveBufferSize] = {};
};

// The process's one link.
CRadioLink& TheRadioLink();

// Opens the configured port and attaches it to the link; closes it when destroyed.
class CRadioConnection {
public:
    CRadioConnection(int portIndex, uint32_t rate, bool& ok);
    virtual ~CRadioConnection();
    CRadioConnection(const CRadioConnection&) = delete;
    CRadioConnection& operator=(const CRadioConnection&) = delete;

    int Detach();
    int Reopen(uint32_t rate);
    CSerialPort& Port() { return m_port; }

private:
    int m_portIndex;
    CSerialPort m_port;
};

}  // namespace vantrel
