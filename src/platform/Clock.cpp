#include "platform/Clock.h"

#include <chrono>
#include <thread>

// Windows has a clock of its own in platform/win32/native.
#if !defined(_WIN32)

namespace vantrel {

uint64_t RealClock::NowUs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void RealClock::SleepUntilUs(uint64_t t)
{
    // A day at most per call: "never" must not overflow the duration into the past.
    constexpr uint64_t kLongestUs = 86'400'000'000ull;
    const uint64_t now = NowUs();
    if (t <= now) return;
    const uint64_t wait = t - now < kLongestUs ? t - now : kLongestUs;
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(wait)));
}

void RealClock::Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vantrel

#endif
