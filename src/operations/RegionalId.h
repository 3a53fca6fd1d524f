#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// The six regions of the list, in list order: values 0 to 4 and 0xFF.
constexpr int kRegionCount = 6;
uint8_t RegionValueAt(int position);  // 0..4 → 0..4, 5 → 0xFF
int RegionPosition(uint8_t value);  // -1 for a value without a list position
uint32_t RegionNameId(int position);  // 20200 … 20205

enum class RegionalIdReadOutcome {
    Valid,  // value holds the region byte; radio reset
    Invalid,  // read answered with no usable value (message shown where due); radio reset
    PortOpenFailed,  // port-open failure box shown
    CommunicationError,  // 20157 shown; no reset
};

struct RegionalIdRead {
    RegionalIdReadOutcome outcome = RegionalIdReadOutcome::CommunicationError;
    uint8_t value = 0;
    // Invalid because the radio refused the read (a NAK or another intact
    // reply): nothing was shown, so a front end that must say why can.
    bool refused = false;
};

enum class RegionalIdWriteOutcome { Programmed, PortOpenFailed, Failed };

// Reads the Regional ID (item 16) when the dialog opens.
RegionalIdRead ReadRegionalId(int portIndex);
// Writes the value (write-info item 4) and resets the radio; 20012 / 20013 shown.
RegionalIdWriteOutcome ProgramRegionalId(int portIndex, uint8_t value);

}  // namespace vantrel
