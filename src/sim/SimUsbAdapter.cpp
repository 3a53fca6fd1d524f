#include "sim/SimUsbAdapter.h"

#include <charconv>
#include <string_view>

namespace vantrel {

bool ParseSimAdapter(const std::string& text, bool& present, SimUsbAdapter& adapter, std::string& error)
{
    std::string_view rest = text;
    const auto colon = rest.find(':');
    const std::string_view kind = rest.substr(0, colon);
    SimUsbAdapter parsed;
    if (kind == "native") {
        present = false;
    } else if (kind == "usb" || kind == "usb-default") {
        present = true;
        parsed.honoursLowLatency = kind == "usb";
    } else {
        error = "unknown adapter \"";
        error += kind;
        error += "\" (use native, usb or usb-default)";
        return false;
    }
    if (colon != std::string_view::npos) {
        constexpr std::string_view kJitter = "jitter=";
        const std::string_view option = rest.substr(colon + 1);
        uint32_t jitter = 0;
        const char* end = option.data() + option.size();
        if (!present || option.substr(0, kJitter.size()) != kJitter ||
            std::from_chars(option.data() + kJitter.size(), end, jitter).ptr != end ||
            option.size() == kJitter.size()) {
            error = "bad adapter option in \"" + text + "\" (a USB adapter takes :jitter=MICROSECONDS)";
            return false;
        }
        parsed.jitterUs = jitter;
    }
    adapter = parsed;
    return true;
}

uint32_t SimTransferJitterUs(const SimUsbAdapter& adapter, uint64_t transfer)
{
    if (adapter.jitterUs == 0) return 0;
    // A 64-bit mix of seed and transfer number (splitmix64).
    uint64_t z = (static_cast<uint64_t>(adapter.seed) << 32) + transfer + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<uint32_t>(z % (uint64_t{adapter.jitterUs} + 1));
}

} // namespace vantrel
