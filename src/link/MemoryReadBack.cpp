#include "link/MemoryReadBack.h"

#include "link/Feedback.h"
#include "link/RadioCommands.h"
#include "link/StringTable.h"

#include <cstdio>
#include <vector>

namespace vantrel {
namespace {

constexpr uint32_t kIdReadBackMismatch = 20250;
constexpr uint32_t kIdCheckingWrittenData = 20255;

bool g_readBackOn = true;

} // namespace

ReadBackResult ReadBackMemoryRange(const uint8_t* written, uint32_t start, uint32_t count, MemoryMismatch& mismatch)
{
    if (!g_readBackOn || count == 0) return ReadBackResult::Same;
    if (written == nullptr) return ReadBackResult::ReadFailed;
    SendProgress(WM_PROGRESS_TEXT, kIdCheckingWrittenData);
    std::vector<uint8_t> held(count);
    if (!ReadMemoryRange(held.data(), start, count)) return ReadBackResult::ReadFailed;
    for (uint32_t i = 0; i < count; ++i) {
        if (held[i] != written[i]) {
            mismatch = {start + i, written[i], held[i]};
            return ReadBackResult::Differs;
        }
    }
    return ReadBackResult::Same;
}

CheckedWrite WriteMemoryRangeChecked(const uint8_t* source, uint32_t start, uint32_t count, MemoryMismatch& mismatch)
{
    if (!WriteMemoryRange(source, start, count)) return CheckedWrite::Failed;
    switch (ReadBackMemoryRange(source, start, count, mismatch)) {
    case ReadBackResult::Same:
        return CheckedWrite::Done;
    case ReadBackResult::Differs:
        return CheckedWrite::Differs;
    case ReadBackResult::ReadFailed:
        break;
    }
    return CheckedWrite::Failed;
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
