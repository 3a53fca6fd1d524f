#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// The first byte of a written range that read back different.
struct MemoryMismatch {
    uint32_t address = 0;
    uint8_t expected = 0; // what was written
    uint8_t read = 0;     // what the radio holds
};

enum class CheckedWrite {
    Done,    // written and read back the same
    Failed,  // a write failed, or a read-back got no answer: retrying may help
    Differs, // written, but the radio holds something else: the mismatch says where
};

// How every EEPROM range of the program is written: WriteMemoryRange, each
// 30-byte block read back and compared as soon as it is written. A write
// command's acknowledgement says only that the radio took the bytes, not that
// its EEPROM kept them. The read takes the place of the block's 100 ms pause
// and ends with its own, so the radio still has that pause between two writes
// and the check costs only the read's bytes on the line. The first block that
// differs ends the write: what follows it is not written.
CheckedWrite WriteMemoryRangeChecked(const uint8_t* source, uint32_t start, uint32_t count, MemoryMismatch& mismatch);

// Shows the error box 20250 naming the address and both values.
void ShowReadBackMismatch(const MemoryMismatch& mismatch);
std::string ReadBackMismatchText(const MemoryMismatch& mismatch);

// For measuring what the read-back costs (upgrade_bench): while an object of
// this class lives, WriteMemoryRangeChecked is WriteMemoryRange. The program
// itself never turns the read-back off.
class ScopedReadBackOff {
public:
    ScopedReadBackOff();
    ~ScopedReadBackOff();
    ScopedReadBackOff(const ScopedReadBackOff&) = delete;
    ScopedReadBackOff& operator=(const ScopedReadBackOff&) = delete;

private:
    bool m_previous;
};

} // namespace vantrel
