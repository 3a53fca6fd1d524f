#pragma once

#include <cstdint>

namespace vantrel {

// Time source. The clock counts microseconds, so that the simulated line can
// wake its reader at the exact end of a character; every timing rule of the
// program is still written in milliseconds on NowMs(). TickCount() is the
// classic 32-bit millisecond tick counter that wraps after about 49.7 days;
// NowMs() is the same clock on 64 bits, which never wraps and is what
// deadlines are computed on.
class Clock {
public:
    virtual ~Clock() = default;

    virtual uint64_t NowUs() = 0;
    // Blocks until NowUs() >= t (returns at once when t is already past).
    virtual void SleepUntilUs(uint64_t t) = 0;
    virtual void Sleep(uint32_t ms) = 0;
    // True when time only moves when somebody sleeps (the simulation's clock).
    virtual bool IsVirtual() const = 0;

    uint64_t NowMs() { return NowUs() / 1000; }
    // Blocks until NowMs() >= t (returns at once when t is already past).
    void SleepUntil(uint64_t t) { SleepUntilUs(t > kMaxMs ? ~0ull : t * 1000); }

    uint32_t TickCount() { return static_cast<uint32_t>(NowMs() + m_tickOffset); }
    // Shifts the 32-bit view so that tests can start near the wrap.
    void SetTickOffset(uint32_t offset) { m_tickOffset = offset; }

private:
    static constexpr uint64_t kMaxMs = ~0ull / 1000;
    uint32_t m_tickOffset = 0;
};

// The operating system's monotonic clock.
class RealClock final : public Clock {
public:
    uint64_t NowUs() override;
    void SleepUntilUs(uint64_t t) override;
    void Sleep(uint32_t ms) override;
    bool IsVirtual() const override { return false; }
};

// Simulated time: moves only when somebody sleeps. A whole upgrade with its
// pauses runs in well under a second and every timing rule is exact.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint64_t startMs = 0) : m_nowUs(startMs * 1000) {}
    uint64_t NowUs() override { return m_nowUs; }
    void SleepUntilUs(uint64_t t) override
    {
        if (t > m_nowUs) m_nowUs = t;
    }
    void Sleep(uint32_t ms) override { m_nowUs += uint64_t{ms} * 1000; }
    bool IsVirtual() const override { return true; }

private:
    uint64_t m_nowUs;
};

// Elapsed ticks between two readings of the 32-bit counter, wrap-around handled
// the way the port's waits have always measured it.
inline uint32_t ElapsedTicks(uint32_t start, uint32_t now)
{
    return now >= start ? now - start : (0xFFFFFFFFu - start) + now;
}

}  // namespace vantrel
