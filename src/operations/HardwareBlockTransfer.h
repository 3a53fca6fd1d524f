#pragma once

#include "codeplug/CodeplugLayout.h"

#include <array>
#include <cstdint>

namespace vantrel {

// The radio's hardware codeplug from address 4 to 639 in memory: image offset
// = radio address - 4 (addresses 0 to 3 belong to no block). A non-zero
// generation selects the Phase 3 block table, zero the Phase 1/2 one.
constexpr uint32_t kHardwareImageBase = kFirstHardwareBlockAddress;
constexpr uint32_t kHardwareImageSize = kPhase3HardwareLength - kHardwareImageBase; // 636

struct HardwareCodeplugImage {
    uint32_t generation = 1;
    std::array<uint8_t, kHardwareImageSize> bytes{};

    bool Phase3() const { return generation != 0; }
    const HardwareBlock& Block(int number) const { return HardwareBlocks(Phase3())[number - 1]; } // 1..7
    uint8_t* At(uint32_t address) { return bytes.data() + (address - kHardwareImageBase); }
};

// Moves single hardware-codeplug blocks between the image and the radio over
// its own connection at 9600 Bd. Each of the seven blocks can be included or
// not, and its checksum refreshed before writing or not; as built, block 3
// alone is included, with its checksum refreshed.
//
// The transfer drives an open progress window (range 14): a read sends
// positions 1 to 7 and leaves the window open, a write positions 8 to 14, then
// resets the radio and closes the window. It shows no message of its own; a
// port that does not open fails the transfer before any command.
class CHardwareBlockTransfer {
public:
    static constexpr int kMaxWriteAttempts = 4;

    CHardwareBlockTransfer(int portIndex, HardwareCodeplugImage& image);

    void Include(int block, bool include, bool refreshChecksum = true);

    // Reads the included blocks into the image; nothing is repeated, no reset.
    bool Read();
    // Writes the included blocks, all of them again after a failure, up to
    // four attempts; then always resets the radio. True only when the write
    // and the reset both succeeded.
    bool Write();

private:
    struct Selection {
        bool included = false;
        bool refreshChecksum = false;
    };

    bool WriteAttempt();

    int m_portIndex;
    HardwareCodeplugImage& m_image;
    std::array<Selection, kHardwareBlockCount> m_blocks{};
};

} // namespace vantrel
