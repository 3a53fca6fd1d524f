#pragma once

#include <cstdint>
#include <vector>

namespace vantrel {

// The radio's message format: a header whose high nibble is the opcode (15:
// escaped, the opcode follows) and whose low nibble is N, the count of bytes
// after the header (0: one-byte message; 15: escaped, N follows as two bytes,
// high first); then N - 1 payload bytes and a checksum that makes the 8-bit sum
// of the whole message 0xFF.

constexpr uint8_t kAckByte = 0x50;
constexpr uint8_t kNakByte = 0x60;

// 255 minus the 8-bit sum of the bytes.
uint8_t MessageChecksum(const uint8_t* bytes, uint32_t count);

// Builds the message for an opcode and payload in the shortest shape.
std::vector<uint8_t> EncodeMessage(uint8_t opcode, const uint8_t* payload, uint32_t length);

// Byte-at-a-time parser of the header and length; tells when a message is complete.
class MessageParser {
public:
    void Reset();
    // Feeds one byte; returns true when the message is complete with this byte.
    bool Feed(uint8_t byte);
    bool Complete() const { return m_state == State::Complete; }
    uint8_t Opcode() const { return m_opcode; }
    // N: the bytes after the header (payload plus checksum); 0 for a one-byte message.
    uint32_t BodyLength() const { return m_length; }
    // Header size in bytes: 1, plus 1 for an escaped opcode, plus 2 for an escaped length.
    uint32_t HeaderLength() const { return m_headerLength; }
    // A header that ended with N = 0 after more than one byte: it announces a
    // payload length of -1 and can never be a valid message.
    bool EmptyEscapedHeader() const { return Complete() && m_length == 0 && m_headerLength > 1; }

private:
    enum class State { Header, OpcodeByte, LengthHigh, LengthLow, Body, Complete };
    State m_state = State::Header;
    bool m_escapedLength = false;
    uint8_t m_opcode = 0;
    uint32_t m_length = 0;
    uint32_t m_body = 0;
    uint32_t m_headerLength = 0;
};

}  // namespace vantrel
