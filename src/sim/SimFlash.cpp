#include "sim/SimFlash.h"

namespace vantrel {

uint8_t SimFlash::At(uint32_t offset) const
{
    const auto it = m_pages.find(offset - offset % kPageSize);
    return it == m_pages.end() ? 0xFF : it->second[offset % kPageSize];
}

void SimFlash::Read(uint32_t offset, uint32_t count, uint8_t* out) const
{
    for (uint32_t i = 0; i < count; ++i)
        out[i] = At(offset + i);
}

bool SimFlash::Program(uint32_t offset, const uint8_t* data, uint32_t count)
{
    bool ok = true;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = offset + i;
        const uint32_t base = at - at % kPageSize;
        auto it = m_pages.find(base);
        if (it == m_pages.end()) {
            if (data[i] == 0xFF) continue;
            Page erased;
            erased.fill(0xFF);
            it = m_pages.emplace(base, erased).first;
        }
        uint8_t& cell = it->second[at % kPageSize];
        if (cell != 0xFF && cell != data[i]) ok = false;
        cell = static_cast<uint8_t>(cell & data[i]);
    }
    return ok;
}

void SimFlash::SetPage(uint32_t pageOffset, const Page& page)
{
    m_pages[pageOffset] = page;
}

} // namespace vantrel
