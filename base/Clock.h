#pragma once

#include <cstdint>
#include <functional>
#include <map>

// The one source of time: real in the program, manual in tests, so waits and timer
// intervals can be stepped through without sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary fixed start.
    virtual std::int64_t nowMs() const = 0;
    // Blocks the caller for the given time, as a driver wait does.
    virtual void sleepMs(std::int64_t ms) = 0;
};

// Wall-clock time from the monotonic system clock.
class SteadyClock final : public Clock {
public:
    std::int64_t nowMs() const override;
    void sleepMs(std::int64_t ms) override;
};

// Time that only moves when told to; alarms fire in due order as it is advanced.
class ManualClock final : public Clock {
public:
    using AlarmId = std::uint64_t;

    std::int64_t nowMs() const override { return m_now; }
    // A blocking wait moves time on without firing alarms: like a real blocking
    // call, it only makes due timers late.
    void sleepMs(std::int64_t ms) override;

    AlarmId addAlarm(std::int64_t dueMs, std::function<void()> fire);
    void cancelAlarm(AlarmId id);
    bool hasAlarms() const { return !m_alarms.empty(); }

    // Moves time forward by ms, firing every alarm that falls due on the way.
    void advance(std::int64_t ms);

private:
    struct Alarm {
        std::int64_t due;
        std::function<void()> fire;
    };
    std::int64_t m_now = 0;
    AlarmId m_nextId = 1;
    std::map<AlarmId, Alarm> m_alarms;
};
