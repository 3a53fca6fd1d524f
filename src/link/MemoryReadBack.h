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

enum class ReadBackResult {
    Same,       // every byte reads back as written
    Differs,    // the mismatch names the first difference
    ReadFailed, // the radio did not answer the read-back: the write is unconfirmed
};

// Reads a range just written back from the radio and compares it with what was
// sent. A write command's acknowledgement says only that the radio took the
// bytes, not that its EEPROM kept them, so every EEPROM write of the program
// is followed by this. Shows the status "Checking the written EEPROM data..."
// and the range read's own progress range and positions.
ReadBackResult ReadBackMemoryRange(const uint8_t* written, uint32_t start, uint32_t count, MemoryMismatch& mismatch);

enum class CheckedWrite {
    Done,    // written and read back the same
    Failed,  // the write failed, or its read-back got no answer: retrying may help
    Differs, // written, but the radio holds something else: the mismatch says where
};

// WriteMemoryRange followed by ReadBackMemoryRange over the same bytes: how
// every EEPROM range of the program is written.
CheckedWrite WriteMemoryRangeChecked(const uint8_t* source, uint32_t start, uint32_t count, MemoryMismatch& mismatch);

// Shows the error box 20250 naming the address and both values.
void ShowReadBackMismatch(const MemoryMismatch& mismatch);
std::string ReadBackMismatchText(const MemoryMismatch& mismatch);

// For measuring what the read-back costs (upgrade_bench): while an object of
// this class lives, ReadBackMemoryRange reads nothing and reports Same. The
// program itself never turns the read-back off.
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
