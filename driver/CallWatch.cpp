#include "driver/CallWatch.h"

namespace CallWatch {
namespace {
Watch s_watch;
}

void install(const Watch &watch)
{
    s_watch = watch;
}

Ticket issued(const QObject *receiver, std::function<void()> endSoon)
{
    return s_watch.issued ? s_watch.issued(receiver, std::move(endSoon)) : 0;
}

void answered(Ticket ticket)
{
    if (s_watch.answered)
        s_watch.answered(ticket);
}

void runDue()
{
    if (s_watch.runDue)
        s_watch.runDue();
}

} // namespace CallWatch
