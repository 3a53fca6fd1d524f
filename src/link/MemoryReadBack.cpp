#include "link/MemoryReadBack.h"

#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/StringTable.h"

#include <cstdio>

namespace vantrel {
namespace {

constexpr uint32_t kIdReadBackMismatch = 20250;

bool g_readBackOn = true;

} // namespace

CheckedWrite WriteMemoryRangeChecked(const uint8_t* source, uint32_t start, uint32_t count, MemoryMismatch& mismatch)
{
    if (!g_readBackOn) return WriteMemoryRange(source, start, count) ? CheckedWrite::Done : CheckedWrite::Failed;
    bool differs = false;
    const bool written =
        WriteMemoryRangeWithCheck(source, start, count, [&](uint32_t address, uint32_t n, const uint8_t* expected) {
            uint8_t held[kMemoryBlock];
            if (n > sizeof held || !ReadMemory(address, n, held)) return false;
            for (uint32_t i = 0; i < n; ++i) {
                if (held[i] != expected[i]) {
                    mismatch = {address + i, expected[i], held[i]};
                    differs = true;
                    return false;
                }
            }
            return true;
        });
    if (written) return CheckedWrite::Done;
    return differs ? CheckedWrite::Differs : CheckedWrite::Failed;
}

std::string ReadBackMismatchText(const MemoryMismatch& mismatch)
{
    char text[160];
    std::snprintf(text, sizeof text, LoadMessageText(kIdReadBackMismatch), static_cast<unsigned>(mismatch.address),
                  static_cast<unsigned>(mismatch.expected), static_cast<unsigned>(mismatch.read));
    return text;
}

void ShowReadBackMismatch(const MemoryMismatch& mismatch)
{
    ShowMessage(kMsgError, kIdReadBackMismatch, ReadBackMismatchText(mismatch));
}

ScopedReadBackOff::ScopedReadBackOff() : m_previous(g_readBackOn)
{
    g_readBackOn = false;
}

ScopedReadBackOff::~ScopedReadBackOff()
{
    g_readBackOn = m_previous;
}

} // namespace vantrel
