#pragma once

#include <array>
#include <cstdint>
#include <map>

namespace vantrel {

// The radio's flash memory, kept sparse: pages that were never programmed since
// the last erase are absent and read as erased (0xFF). Offsets are the flash
// offsets, the radio address without bit 22.
class SimFlash {
public:
    static constexpr uint32_t kSize = 0x400000;
    static constexpr uint32_t kPageSize = 256;
    using Page = std::array<uint8_t, kPageSize>;

    static bool InRange(uint32_t offset, uint32_t count) { return offset <= kSize && count <= kSize - offset; }

    uint8_t At(uint32_t offset) const;
    void Read(uint32_t offset, uint32_t count, uint8_t* out) const;
    // Programming only clears bits. Returns false when some byte could not take
    // its value because it was not erased (the cell keeps old AND new).
    bool Program(uint32_t offset, const uint8_t* data, uint32_t count);
    void EraseAll() { m_pages.clear(); }
    bool IsErased() const { return m_pages.empty(); }

    const std::map<uint32_t, Page>& Pages() const { return m_pages; }
    // For loading a saved state: the page at a page-aligned offset.
    void SetPage(uint32_t pageOffset, const Page& page);

private:
    std::map<uint32_t, Page> m_pages;
};

} // namespace vantrel
