#pragma once

#include "engines/flash/DownloadEngine.h"
#include "terminal/CommandSignals.h"
#include "terminal/TerminalProgress.h"

#include <QEventLoop>
#include <QObject>

// Calls start, then runs the event loop until sender emits the signal (true; also when
// start made it emit) or the user interrupts (false). A start that returns false started
// nothing to wait for.
template <typename Sender, typename Signal, typename Start>
bool runUntil(const Sender *sender, Signal signal, Start start)
{
    QEventLoop loop;
    bool done = false;
    QObject::connect(sender, signal, &loop, [&] {
        done = true;
        loop.quit();
    });
    if (InterruptCatcher *catcher = InterruptCatcher::current())
        QObject::connect(catcher, &InterruptCatcher::interruptedNow, &loop, &QEventLoop::quit);
    if (start() && !done && !InterruptCatcher::interrupted())
        loop.exec();
    return done;
}

// What a loader (the download engine, the serial loader) shows in a window, shown on a
// terminal: the status texts with a progress bar on standard error. Results come from the
// loaders' outcomes, not from here.
class TerminalLoad final : public LoadHost {
public:
    explicit TerminalLoad(bool devices) : m_devices(devices) {}

    bool deviceMode() const override { return m_devices; }
    void showStatus(const QString &text, Colour) override
    {
        m_status = text;
        m_progress.show(text, m_value, m_maximum);
    }
    void showLoadStatus(int code) override;
    void setProgress(int value, int maximum) override
    {
        m_value = value;
        m_maximum = maximum;
        m_progress.show(m_status, m_value, m_maximum);
    }
    void stepProgress() override { setProgress(std::min(m_value + 1, m_maximum), m_maximum); }
    void completeProgress() override { setProgress(m_maximum, m_maximum); }
    void enableLoadButtons() override { m_progress.finish(); }
    // Ends the progress line, so that what follows starts on a line of its own.
    void endProgressLine() { m_progress.finish(); }

private:
    bool m_devices;
    int m_value = 0;
    int m_maximum = 100;
    QString m_status;
    TerminalProgress m_progress{stderr};
};
