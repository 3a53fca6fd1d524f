#include "platform/posix/ParmrkDecoder.h"

#include <algorithm>

namespace vantrel {

void ParmrkDecoder::Feed(const uint8_t* data, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t byte = data[i];
        switch (m_state) {
        case State::Data:
            if (byte == 0xFF) {
                m_state = State::AfterFF;
            } else {
                m_ready.push_back(byte);
            }
            break;
        case State::AfterFF:
            if (byte == 0xFF) {
                m_ready.push_back(0xFF);
                m_state = State::Data;
            } else if (byte == 0x00) {
                m_state = State::AfterFF00;
            } else {
                // Not a mark the driver makes: marking was off when these bytes
                // arrived, so both are plain data.
                m_ready.push_back(0xFF);
                m_ready.push_back(byte);
                m_state = State::Data;
            }
            break;
        case State::AfterFF00:
            if (byte == 0x00) {
                m_break = true;
            } else {
                m_ready.push_back(byte); // framing or parity mark: keep the byte
            }
            m_state = State::Data;
            break;
        }
    }
}

size_t ParmrkDecoder::Take(uint8_t* out, size_t max)
{
    const size_t n = std::min(max, m_ready.size());
    std::copy_n(m_ready.begin(), n, out);
    m_ready.erase(m_ready.begin(), m_ready.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

bool ParmrkDecoder::TakeBreak()
{
    const bool seen = m_break;
    m_break = false;
    return seen;
}

void ParmrkDecoder::Clear()
{
    m_ready.clear();
    m_state = State::Data;
}

} // namespace vantrel
