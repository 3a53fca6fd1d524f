// The real clock on Windows: the high-resolution performance counter for the
// time, and a high-resolution waitable timer for sleeps, since a plain Sleep
// rounds up to the system tick (15.6 ms by default), far coarser than the
// port's 5 and 10 ms polls.

#include "platform/Clock.h"

#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace vantrel {
namespace {

uint64_t CounterFrequency()
{
    static const uint64_t frequency = [] {
        LARGE_INTEGER f{};
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? static_cast<uint64_t>(f.QuadPart) : 0;
    }();
    return frequency;
}

// One timer per thread, made on first use and closed when the thread ends.
class SleepTimer {
public:
    SleepTimer()
    {
        m_timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (!m_timer) {
            // Older systems: a plain timer with the system tick raised to 1 ms.
            m_timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
            m_raisedTick = timeBeginPeriod(1) == TIMERR_NOERROR;
        }
    }
    ~SleepTimer()
    {
        if (m_timer) CloseHandle(m_timer);
        if (m_raisedTick) timeEndPeriod(1);
    }
    SleepTimer(const SleepTimer&) = delete;
    SleepTimer& operator=(const SleepTimer&) = delete;

    void Wait(uint64_t us)
    {
        LARGE_INTEGER due{};
        due.QuadPart = -static_cast<LONGLONG>(us * 10); // relative, in 100 ns units
        if (m_timer && SetWaitableTimer(m_timer, &due, 0, nullptr, nullptr, FALSE)) {
            WaitForSingleObject(m_timer, INFINITE);
            return;
        }
        ::Sleep(static_cast<DWORD>((us + 999) / 1000));
    }

private:
    HANDLE m_timer = nullptr;
    bool m_raisedTick = false;
};

} // namespace

uint64_t RealClock::NowUs()
{
    const uint64_t frequency = CounterFrequency();
    LARGE_INTEGER counter{};
    if (frequency == 0 || !QueryPerformanceCounter(&counter)) return GetTickCount64() * 1000;
    const auto ticks = static_cast<uint64_t>(counter.QuadPart);
    // In two parts, so that the product cannot overflow.
    return ticks / frequency * 1'000'000 + ticks % frequency * 1'000'000 / frequency;
}

void RealClock::SleepUntilUs(uint64_t t)
{
    // A day at most per call, as elsewhere: "never" must not overflow the timer.
    constexpr uint64_t kLongestUs = 86'400'000'000ull;
    thread_local SleepTimer timer;
    const uint64_t now = NowUs();
    if (t <= now) return;
    timer.Wait(t - now < kLongestUs ? t - now : kLongestUs);
}

void RealClock::Sleep(uint32_t ms)
{
    SleepUntilUs(NowUs() + uint64_t{ms} * 1000);
}

} // namespace vantrel
