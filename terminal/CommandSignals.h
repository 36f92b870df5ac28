#pragma once

#include <QObject>

class QSocketNotifier;

// How a terminal command is ended from outside, caught once for the whole command: SIGINT
// (Ctrl-C), SIGTERM, SIGHUP (a dropped session) and a reader that closed the output all
// cancel the job in hand, which then ends as it ends on a failure (the abort byte to the
// device in hand, the module released) and says what was done. SIGPIPE is ignored while
// one lives, so a closed pipe is told by the write that fails. A signal reaches the event
// loop as interruptedNow(). Once it is gone, the process is exiting: those signals are
// ignored from then on.
class InterruptCatcher final : public QObject {
    Q_OBJECT
public:
    InterruptCatcher();
    ~InterruptCatcher() override;
    InterruptCatcher(const InterruptCatcher &) = delete;
    InterruptCatcher &operator=(const InterruptCatcher &) = delete;

    static bool interrupted();
    // The catcher that lives now, or none.
    static InterruptCatcher *current();
    // A write found its reader gone: the command ends as on an interrupt.
    static void outputClosed();

signals:
    void interruptedNow();

private:
    QSocketNotifier *m_notifier = nullptr;
};
