#pragma once

#include "platform/SerialDevice.h"

#include <cstdint>

namespace vantrel {

// Shape of one character on the line: rate and frame (start bit, data bits
// LSB first, optional parity, stop bits).
struct UartFrame {
    uint32_t rate = 9600;
    uint8_t dataBits = 8;
    Parity parity = Parity::None;
    uint8_t stopBits = 1;

    static UartFrame From(const LineSettings& settings);
    static UartFrame At(uint32_t rate) { return UartFrame{rate, 8, Parity::None, 1}; }
    bool SameAs(const UartFrame& other) const;
    uint32_t Bits() const; // whole character, start and stop bits included
};

// Time one character occupies the line, in microseconds (10 bit times for 8N1).
uint64_t CharacterTimeUs(const UartFrame& frame);

// The byte a receiver set up for rx reads when a transmitter set up for tx
// sends b: the receiver samples the middle of each of its bit times after the
// start edge. Equal frames pass the byte unchanged; others garble it the same
// way every time.
uint8_t ReceiveCharacter(uint8_t b, const UartFrame& tx, const UartFrame& rx);

} // namespace vantrel
