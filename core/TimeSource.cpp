#include "core/TimeSource.h"

namespace TimeSource {
namespace {
SteadyClock s_steady;
ManualClock *s_manual = nullptr;
} // namespace

Clock &clock()
{
    if (s_manual)
        return *s_manual;
    return s_steady;
}

ManualClock *manualClock()
{
    return s_manual;
}

ManualTimeScope::ManualTimeScope()
{
    s_manual = &m_clock;
}

ManualTimeScope::~ManualTimeScope()
{
    s_manual = nullptr;
}

} // namespace TimeSource
