#pragma once

#include "base/Clock.h"

// Hands out the process's clock: the steady clock unless a test installs a manual one.
namespace TimeSource {

Clock &clock();

// The installed manual clock, or nullptr when time is real.
ManualClock *manualClock();

// Installs a manual clock for the lifetime of this guard (tests only).
class ManualTimeScope {
public:
    ManualTimeScope();
    ~ManualTimeScope();
    ManualTimeScope(const ManualTimeScope &) = delete;
    ManualTimeScope &operator=(const ManualTimeScope &) = delete;

    ManualClock &clock() { return m_clock; }

private:
    ManualClock m_clock;
};

} // namespace TimeSource
