#pragma once

#include "core/Job.h"
#include "terminal/CommandSignals.h"

#include <QEventLoop>
#include <QObject>

// The end of a job a command assembles itself (a capture with its log and capture file).
class JobEnd final : public QObject {
    Q_OBJECT
signals:
    void ended();
};

// The one way a terminal command waits for a job (a scan, a load, a serial run): start
// it, then run the event loop until the job says it has ended. The user's interrupt
// (SIGINT, SIGTERM, SIGHUP, or the output closed) is the job's cancel, which ends it as a
// failure ends it, and the wait goes on until it has; a second interrupt stops waiting
// (whoever called then ends the job's work itself: the module is released all the same).
// A start that returns false started nothing to wait for.
template <typename Sender, typename Signal, typename Start, typename Cancel>
void runJob(const Sender *job, Signal ended, Start start, Cancel cancel)
{
    QEventLoop loop;
    bool done = false;
    bool cancelled = false;
    QObject::connect(job, ended, &loop, [&] {
        done = true;
        loop.quit();
    });
    const auto interrupt = [&] {
        if (done)
            return;
        if (cancelled) {
            loop.quit();
            return;
        }
        cancelled = true;
        cancel();
    };
    if (InterruptCatcher *catcher = InterruptCatcher::current())
        QObject::connect(catcher, &InterruptCatcher::interruptedNow, &loop, interrupt);
    if (!start())
        return;
    if (InterruptCatcher::interrupted())
        interrupt();
    if (!done)
        loop.exec();
}

// An engine's job, cancelled as it cancels itself: how it ended (not attempted when the
// start started nothing, or the wait was given up).
template <typename Start> JobOutcome runJob(Job &job, Start start)
{
    JobOutcome outcome;
    const QMetaObject::Connection heard =
        QObject::connect(&job, &Job::ended, [&outcome](const JobOutcome &ended) { outcome = ended; });
    runJob(&job, &Job::ended, start, [&job] { job.cancel(); });
    QObject::disconnect(heard);
    return outcome;
}
