#pragma once

#include "platform/SerialDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// The programming cable and the flash adapter at one rate.
struct CableRateCheck {
    uint32_t rate = 0;
    bool echoSeen = false; // anything came back at all
    bool echoGood = false;
    std::string problem; // why the echo is not good
    uint32_t rounds = 0; // test patterns that came back whole
    double medianMs = 0; // round trip of one 8-byte pattern
    double worstMs = 0;
    double lineMs = 0; // what the 8 bytes alone take on the line
};

struct CableCheckResult {
    bool cancelled = false; // the operator did not confirm the radio is off
    bool portOpened = false;
    std::vector<CableRateCheck> rates;
    PortFacts facts; // the port as it reported itself
    bool fit = false;
    std::string reason; // why the cable is not fit for an upgrade
};

// Checks the cable with the radio switched off, when all the line carries is
// the interface's echo: 8-byte test patterns at 9600 Bd, 2400 Bd and the flash
// rate must come back unchanged, with nothing else on the line, and in time
// for the waits of an upgrade. Asks the operator to switch the radio off first
// (20272) and on again at the end (20273).
CableCheckResult CheckCable(int portIndex, uint32_t flashRate);

// The longest round trip of an 8-byte pattern an upgrade takes: the echo of a
// bootcode block.
constexpr double kCableRoundTripLimitMs = 126.0;

} // namespace vantrel
