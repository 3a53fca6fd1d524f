#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace vantrel {

// Undoes the terminal driver's in-band marking of line conditions. With
// PARMRK set (and INPCK, IGNBRK, BRKINT off) the driver delivers
//   FF FF     for a data byte FF,
//   FF 00 00  for a break,
//   FF 00 xx  for a byte xx received with a framing or parity error.
// The decoder turns such a stream back into plain data and latches the break.
// A byte with a framing or parity mark is kept as data: the radio protocol has
// its own checksums and echo checks, and dropping it would shift every later
// byte of a message. Marks may be split across reads; an incomplete mark is
// held until the next bytes decide what it was, and is not counted as data.
class ParmrkDecoder {
public:
    // Maximum number of decoded bytes held before Feed should not be called again.
    static constexpr size_t kMaxHeld = 1u << 20;

    void Feed(const uint8_t* data, size_t count);

    // Decoded bytes ready to be taken.
    size_t Available() const { return m_ready.size(); }
    size_t Take(uint8_t* out, size_t max);

    // True when a break was seen since the last call.
    bool TakeBreak();

    // Forgets ready bytes and any incomplete mark (a purge of the input).
    void Clear();

private:
    enum class State { Data, AfterFF, AfterFF00 };

    std::deque<uint8_t> m_ready;
    State m_state = State::Data;
    bool m_break = false;
};

} // namespace vantrel
