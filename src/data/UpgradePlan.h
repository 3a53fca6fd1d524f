#pragma once

#include <cstdint>

namespace vantrel {

// What an upgrade does to a radio. Each flag is 0 or 1; all zero means the
// radio is not supported.
struct UpgradePlan {
    uint32_t supported = 0;
    uint32_t hardwareCodeplug = 0;    // migrate the hardware codeplug, write the EEPROM image back
    uint32_t applicationCodeplug = 0; // convert the application codeplug to the new layout
    uint32_t firmware = 0;            // flash the firmware

    bool operator==(const UpgradePlan&) const = default;
};

} // namespace vantrel
