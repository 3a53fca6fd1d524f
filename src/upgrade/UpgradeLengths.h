#pragma once

#include "data/UpgradePlan.h"

#include <cstdint>
#include <random>

namespace vantrel {

// The EEPROM lengths an upgrade reads from the radio before it touches anything.
// They are summed in 32 bits and checked, so that an erased EEPROM (0xFFFF
// everywhere) or a damaged length word can never wrap to a small "valid" length
// or ask for more than the image holds.

// A hardware codeplug length the upgrade knows: 512 (Phase 1/2) or 640 (Phase 3).
bool IsKnownHardwareLength(uint32_t hardwareLength);

// Where the second length word lies: the application codeplug length (old
// layout) when the plan converts it, else the first block's record length (new
// layout).
uint32_t SecondLengthAddress(const UpgradePlan& plan, uint32_t hardwareLength);

// The number of bytes from address 0 to read and write back, or 0 when the
// radio's lengths are refused. `extra` is the word read at SecondLengthAddress.
// The hardware-only path needs a Phase 3 radio whose first block has the new
// layout's record length (67), since the template and the first-block patch
// cover 0 to 722.
uint32_t UpgradeImageLength(const UpgradePlan& plan, uint32_t hardwareLength, uint32_t extra);

// The tag byte written to a radio to recognise it after a re-download. Never
// 0xFF: an erased EEPROM reads 0xFF and would pass the check.
class TagByteSource {
public:
    explicit TagByteSource(uint32_t seed) : m_engine(seed) {}
    uint8_t Next() { return static_cast<uint8_t>(m_engine() % 255u); }
    // A tag byte other than the one the radio already holds: with an equal
    // byte, a radio that never had this run's tag would pass the check.
    uint8_t NextDifferentFrom(uint8_t held)
    {
        uint8_t tag = Next();
        while (tag == held)
            tag = Next();
        return tag;
    }

private:
    std::minstd_rand m_engine;
};

} // namespace vantrel
