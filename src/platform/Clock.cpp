#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace vantrel {

uint64_t RealClock::NowMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void RealClock::Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void RealClock::SleepUntil(uint64_t t)
{
    const uint64_t now = NowMs();
    if (t > now) Sleep(static_cast<uint32_t>(t - now));
}

}  // namespace vantrel
