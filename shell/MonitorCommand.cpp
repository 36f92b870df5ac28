#include "Commands.h"

#include "CaptureCycle.h"
#include "FormTimer.h"
#include "TerminalLoad.h"
#include "TerminalOutput.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// The capture or playback of one command, and how it ends.
class MonitorRun {
public:
    MonitorRun(ModuleDriver &driver, const MonitorOptions &options)
        : m_options(options), m_cycle(driver, &m_owner)
    {
        m_cycle.absoluteTime = [this] { return m_options.absoluteTime; };
        // Rows that cannot be written end the command; the writer has said why.
        QObject::connect(&m_cycle, &CaptureCycle::line, [this](const QString &row) {
            if (m_outputFailed)
                return;
            if (!TerminalOutput::write(row + QLatin1Char('\n'))) {
                m_outputFailed = true;
                return fail(ExitStatus::Failed, {});
            }
            if (++m_rows == m_options.count)
                requestStop();
        });
        // The records of one batch may all carry the loss: it is told once.
        QObject::connect(&m_cycle, &CaptureCycle::driverError, [this](int code) {
            if (!m_ending)
                fail(ExitStatus::NoModule, moduleLostText(code));
        });
        QObject::connect(&m_cycle, &CaptureCycle::logWriteFailed, [this](const QString &error) {
            // The rows go on, as in the window; the command ends as failed.
            std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(m_options.logPath), qPrintable(error));
            m_status = ExitStatus::Failed;
        });
        QObject::connect(&m_cycle, &CaptureCycle::endOfFile, [this] { requestStop(); });
        if (InterruptCatcher *catcher = InterruptCatcher::current())
            QObject::connect(catcher, &InterruptCatcher::interruptedNow, [this] { requestStop(); });
        m_timeUp.setSingleShot(true);
        QObject::connect(&m_timeUp, &QTimer::timeout, [this] { requestStop(); });
    }

    int run()
    {
        if (!m_options.playPath.isEmpty())
            startPlayback();
        else
            startCapture();
        if (InterruptCatcher::interrupted())
            requestStop();
        m_loop.exec();
        return m_status;
    }

private:
    // A log plays back without the module, a line a tick as in the window.
    void startPlayback()
    {
        if (!m_cycle.playback.open(m_options.playPath))
            return fail(ExitStatus::Failed, QStringLiteral("Cannot open ") + m_options.playPath + QStringLiteral(": ") +
                                                m_cycle.playback.errorString());
        m_cycle.analyzing = true;
        m_cycle.setPlaybackTick(true);
        begin();
    }

    void startCapture()
    {
        m_live = true;
        m_cycle.connectModule(
            false,
            [this](const ConnectOutcome &outcome) {
                if (!outcome.connected)
                    fail(ExitStatus::NoModule, noModuleText(outcome.word));
            },
            [this] {
                if (m_ending)
                    return; // interrupted while the module was read empty
                if (!m_options.logPath.isEmpty() && !m_cycle.log.create(m_options.logPath))
                    return fail(ExitStatus::Failed,
                                QStringLiteral("Cannot create ") + m_options.logPath + QStringLiteral(": ") +
                                    m_cycle.log.errorString());
                m_cycle.drainTimer()->setEnabled(false);
                begin();
            });
    }

    void begin()
    {
        m_cycle.beginRun(m_options.addresses, m_options.commands);
        m_cycle.startCapture();
        if (m_options.seconds > 0)
            m_timeUp.start(static_cast<int>(std::min(m_options.seconds * 1000, 2e9)));
    }

    void fail(int status, const QString &why)
    {
        if (!why.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(why));
        m_status = status;
        requestStop();
    }

    // The end comes once the signal handler that asked for it has returned: the cycle's
    // end takes the records of the read in hand, which may emit rows of their own.
    void requestStop()
    {
        if (m_ending)
            return;
        m_ending = true;
        QMetaObject::invokeMethod(
            &m_owner, [this] { finish(); }, Qt::QueuedConnection);
    }

    void finish()
    {
        m_timeUp.stop();
        m_cycle.end(m_live);
        m_live = false;
        m_loop.quit();
    }

    const MonitorOptions &m_options;
    QObject m_owner;
    CaptureCycle m_cycle;
    QEventLoop m_loop;
    QTimer m_timeUp;
    long long m_rows = 0;
    int m_status = ExitStatus::Completed;
    bool m_live = false;
    bool m_ending = false;
    bool m_outputFailed = false; // the rows cannot be written: the command ends
};

} // namespace

int runMonitor(ModuleDriver &driver, const MonitorOptions &options)
{
    const InterruptCatcher catcher;
    MonitorRun run(driver, options);
    return run.run();
}
