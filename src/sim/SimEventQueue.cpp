#include "sim/SimEventQueue.h"

namespace vantrel {

void SimEventQueue::Schedule(uint64_t atUs, Action action)
{
    const uint64_t at = atUs < m_now ? m_now : atUs;
    m_events.emplace(std::make_pair(at, m_sequence++), std::move(action));
}

void SimEventQueue::RunUntil(uint64_t t)
{
    while (!m_events.empty() && m_events.begin()->first.first <= t) {
        auto node = m_events.extract(m_events.begin());
        m_now = node.key().first;
        node.mapped()();
    }
    if (t > m_now) m_now = t;
}

std::optional<uint64_t> SimEventQueue::NextTime() const
{
    if (m_events.empty()) return std::nullopt;
    return m_events.begin()->first.first;
}

} // namespace vantrel
