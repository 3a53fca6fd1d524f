#include "sim/SimUart.h"

namespace vantrel {

UartFrame UartFrame::From(const LineSettings& settings)
{
    return UartFrame{settings.baudRate, settings.dataBits, settings.parity, settings.stopBits};
}

bool UartFrame::SameAs(const UartFrame& other) const
{
    return rate == other.rate && dataBits == other.dataBits && parity == other.parity && stopBits == other.stopBits;
}

uint32_t UartFrame::Bits() const
{
    return 1u + dataBits + (parity == Parity::None ? 0u : 1u) + stopBits;
}

uint64_t CharacterTimeUs(const UartFrame& frame)
{
    if (frame.rate == 0) return 0;
    return (static_cast<uint64_t>(frame.Bits()) * 1000000u + frame.rate / 2) / frame.rate;
}

namespace {

// Line level during bit k of the transmitted character (0 = start bit);
// after the character the line idles at 1.
int LevelAt(uint8_t b, const UartFrame& tx, uint64_t k)
{
    if (k == 0) return 0;
    if (k <= tx.dataBits) return (b >> (k - 1)) & 1;
    if (tx.parity != Parity::None && k == tx.dataBits + 1u) {
        int ones = 0;
        for (int i = 0; i < tx.dataBits; ++i)
            ones += (b >> i) & 1;
        return tx.parity == Parity::Even ? (ones & 1) : !(ones & 1);
    }
    return 1;
}

} // namespace

uint8_t ReceiveCharacter(uint8_t b, const UartFrame& tx, const UartFrame& rx)
{
    const uint8_t rxMask = static_cast<uint8_t>((1u << (rx.dataBits >= 8 ? 8 : rx.dataBits)) - 1u);
    if (tx.SameAs(rx)) return static_cast<uint8_t>(b & rxMask);
    if (tx.rate == 0 || rx.rate == 0) return 0;
    uint8_t out = 0;
    for (uint32_t j = 0; j < rx.dataBits && j < 8; ++j) {
        // Sample point (1.5 + j) receiver bit times after the start edge, in
        // transmitter bit times.
        const uint64_t k = (static_cast<uint64_t>(3 + 2 * j) * tx.rate) / (2ull * rx.rate);
        out = static_cast<uint8_t>(out | (LevelAt(b, tx, k) << j));
    }
    return out;
}

} // namespace vantrel
