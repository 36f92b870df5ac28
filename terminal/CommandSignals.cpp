#include "terminal/CommandSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::atomic<bool> s_interrupted{false};
InterruptCatcher *s_current = nullptr;
int s_pipe[2] = {-1, -1}; // the handler writes a byte, the event loop reads it
constexpr int Caught[] = {SIGINT, SIGTERM, SIGHUP};

void interrupt(int)
{
    s_interrupted = true;
    const char byte = 1;
    if (s_pipe[1] >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    }
}

void openPipeOnce()
{
    if (s_pipe[0] >= 0)
        return;
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        s_pipe[0] = s_pipe[1] = -1;
}
} // namespace

InterruptCatcher::InterruptCatcher()
{
    openPipeOnce();
    s_interrupted = false;
    s_current = this;
    std::signal(SIGPIPE, SIG_IGN);
    // Without the pipe an interrupt is still seen by interrupted(), at the next step.
    if (s_pipe[0] >= 0) {
        m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(s_pipe[0], bytes, sizeof bytes) > 0) {
            }
            emit interruptedNow();
        });
    }
    for (const int signal : Caught)
        std::signal(signal, interrupt);
}

// The command has ended and said what it did: an interrupt that comes as the process
// exits (a second Ctrl-C) has nothing left to stop, and must not turn the status the
// command chose into death by a signal.
InterruptCatcher::~InterruptCatcher()
{
    for (const int signal : Caught)
        std::signal(signal, SIG_IGN);
    std::signal(SIGPIPE, SIG_DFL);
    s_current = nullptr;
}

bool InterruptCatcher::interrupted()
{
    return s_interrupted;
}

InterruptCatcher *InterruptCatcher::current()
{
    return s_current;
}

void InterruptCatcher::outputClosed()
{
    if (!s_interrupted && s_current)
        interrupt(SIGPIPE);
}
