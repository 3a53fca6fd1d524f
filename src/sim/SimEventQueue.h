#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace vantrel {

// Time-ordered actions of the simulated radio and its line, in microseconds.
// Actions due at the same time run in the order they were scheduled; an action
// may schedule further actions. Now() is the time of the action being run, or
// the time the queue was last run up to.
class SimEventQueue {
public:
    using Action = std::function<void()>;

    explicit SimEventQueue(uint64_t startUs = 0) : m_now(startUs) {}

    uint64_t Now() const { return m_now; }
    // An action for a time already past runs at Now().
    void Schedule(uint64_t atUs, Action action);
    // Runs every action due at or before t; Now() ends at t (never goes back).
    void RunUntil(uint64_t t);
    std::optional<uint64_t> NextTime() const;
    bool Empty() const { return m_events.empty(); }

private:
    uint64_t m_now;
    uint64_t m_sequence = 0;
    std::map<std::pair<uint64_t, uint64_t>, Action> m_events;
};

} // namespace vantrel
