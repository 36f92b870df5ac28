#include "base/Clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

std::int64_t SteadyClock::nowMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::sleepMs(std::int64_t ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void ManualClock::sleepMs(std::int64_t ms)
{
    if (ms > 0)
        m_now += ms;
}

ManualClock::AlarmId ManualClock::addAlarm(std::int64_t dueMs, std::function<void()> fire)
{
    const AlarmId id = m_nextId++;
    m_alarms.emplace(id, Alarm{dueMs, std::move(fire)});
    return id;
}

void ManualClock::cancelAlarm(AlarmId id)
{
    m_alarms.erase(id);
}

void ManualClock::advance(std::int64_t ms)
{
    const std::int64_t target = m_now + std::max<std::int64_t>(ms, 0);
    for (;;) {
        // Earliest due alarm first; equal due times fire in the order they were set.
        auto next = m_alarms.end();
        for (auto it = m_alarms.begin(); it != m_alarms.end(); ++it) {
            if (it->second.due <= target && (next == m_alarms.end() || it->second.due < next->second.due))
                next = it;
        }
        if (next == m_alarms.end())
            break;
        m_now = std::max(m_now, next->second.due);
        auto fire = std::move(next->second.fire);
        m_alarms.erase(next);
        fire();
    }
    m_now = std::max(m_now, target);
}
