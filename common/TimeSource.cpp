#include "TimeSource.h"

#include <QCoreApplication>
#include <QThread>

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

void processEventsUntil(const std::function<bool()> &done)
{
    while (!done()) {
        QCoreApplication::processEvents();
        if (s_manual)
            s_manual->advance(1);
        else if (!done())
            QThread::msleep(1);
    }
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
