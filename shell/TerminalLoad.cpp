#include "TerminalLoad.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <csignal>

namespace {
std::atomic<bool> s_interrupted{false};

void interrupt(int)
{
    s_interrupted = true;
}
} // namespace

InterruptCatcher::InterruptCatcher()
{
    s_interrupted = false;
    std::signal(SIGINT, interrupt);
    std::signal(SIGTERM, interrupt);
}

InterruptCatcher::~InterruptCatcher()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool InterruptCatcher::interrupted()
{
    return s_interrupted;
}

bool waitUntilDone(const bool &done)
{
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (done || s_interrupted)
            loop.quit();
    });
    watch.start(20);
    if (!done && !s_interrupted)
        loop.exec();
    return done;
}
