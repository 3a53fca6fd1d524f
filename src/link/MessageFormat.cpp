#include "link/MessageFormat.h"

#include <algorithm>
#include <cstddef>

namespace vantrel {

uint8_t MessageChecksum(const uint8_t* bytes, uint32_t count)
{
    uint8_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(0xFF - sum);
}

std::vector<uint8_t> EncodeMessage(uint8_t opcode, const uint8_t* payload, uint32_t length)
{
    std::vector<uint8_t> out;
    const uint32_t n = length + 1;
    const bool escOpcode = opcode > 14;
    if (!escOpcode && length == 0) {
        out.push_back(static_cast<uint8_t>(opcode << 4));
        return out;
    }
    const bool escLength = n > 14;
    const uint8_t high = escOpcode ? 0xF0 : static_cast<uint8_t>(opcode << 4);
    const uint8_t low = escLength ? 0x0F : static_cast<uint8_t>(n);
    out.push_back(static_cast<uint8_t>(high | low));
    if (escOpcode) out.push_back(opcode);
    if (escLength) {
        out.push_back(static_cast<uint8_t>(n >> 8));
        out.push_back(static_cast<uint8_t>(n & 0xFF));
    }
    // Sized first and copied in place: header, payload, checksum.
    const size_t header = out.size();
    out.resize(header + length + 1);
    if (length > 0) std::copy(payload, payload + length, out.begin() + static_cast<std::ptrdiff_t>(header));
    out.back() = MessageChecksum(out.data(), static_cast<uint32_t>(out.size() - 1));
    return out;
}

void MessageParser::Reset() { *this = MessageParser(); }

bool MessageParser::Feed(uint8_t b)
{
    switch (m_state) {
    case State::Header: {
        m_headerLength = 1;
        m_opcode = static_cast<uint8_t>(b >> 4);
        m_length = b & 0x0F;
        const bool escOpcode = m_opcode == 0x0F;
        m_escapedLength = m_length == 0x0F;
        if (escOpcode) m_state = State::OpcodeByte;
        else if (m_escapedLength) m_state = State::LengthHigh;
        else m_state = m_length == 0 ? State::Complete : State::Body;
        break;
    }
    case State::OpcodeByte:
        ++m_headerLength;
        m_opcode = b;
        if (m_escapedLength) m_state = State::LengthHigh;
        else m_state = m_length == 0 ? State::Complete : State::Body;
        break;
    case State::LengthHigh:
        ++m_headerLength;
        m_length = static_cast<uint32_t>(b) << 8;
        m_state = State::LengthLow;
        break;
    case State::LengthLow:
        ++m_headerLength;
        m_length |= b;
        m_state = m_length == 0 ? State::Complete : State::Body;
        break;
    case State::Body:
        if (++m_body >= m_length) m_state = State::Complete;
        break;
    case State::Complete:
        break;
    }
    return m_state == State::Complete;
}

}  // namespace vantrel
