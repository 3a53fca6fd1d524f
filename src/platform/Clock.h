#pragma once

#include <cstdint>

namespace vantrel {

// Millisecond time source. TickCount() is the classic 32-bit tick counter that
// wraps after about 49.7 days; NowMs() is the same clock on 64 bits, which never
// wraps and is what deadlines are computed on.
class Clock {
public:
    virtual ~Clock() = default;

    virtual uint64_t NowMs() = 0;
    virtual void Sleep(uint32_t ms) = 0;
    // Blocks until NowMs() >= t (returns at once when t is already past).
    virtual void SleepUntil(uint64_t t) = 0;
    // True when time only moves when somebody sleeps (the simulation's clock).
    virtual bool IsVirtual() const = 0;

    uint32_t TickCount() { return static_cast<uint32_t>(NowMs() + m_tickOffset); }
    // Shifts the 32-bit view so that tests can start near the wrap.
    void SetTickOffset(uint32_t offset) { m_tickOffset = offset; }

private:
    uint32_t m_tickOffset = 0;
};

// The operating system's monotonic clock.
class RealClock final : public Clock {
public:
    uint64_t NowMs() override;
    void Sleep(uint32_t ms) override;
    void SleepUntil(uint64_t t) override;
    bool IsVirtual() const override { return false; }
};

// Simulated time: moves only when somebody sleeps. A whole upgrade with its
// pauses runs in well under a second and every timing rule is exact.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint64_t startMs = 0) : m_now(startMs) {}
    uint64_t NowMs() override { return m_now; }
    void Sleep(uint32_t ms) override { m_now += ms; }
    void SleepUntil(uint64_t t) override
    {
        if (t > m_now) m_now = t;
    }
    bool IsVirtual() const override { return true; }

private:
    uint64_t m_now;
};

// Elapsed ticks between two readings of the 32-bit counter, wrap-around handled
// the way the port's waits have always measured it.
inline uint32_t ElapsedTicks(uint32_t start, uint32_t now)
{
    return now >= start ? now - start : (0xFFFFFFFFu - start) + now;
}

}  // namespace vantrel
