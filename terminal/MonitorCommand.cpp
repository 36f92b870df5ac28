#include "terminal/Commands.h"

#include "core/FormTimer.h"
#include "engines/monitor/CaptureCycle.h"
#include "engines/monitor/PcapWriter.h"
#include "engines/monitor/RowFeed.h"
#include "terminal/CommandRun.h"
#include "terminal/TerminalOutput.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// Where the capture file goes, in messages.
QString pcapName(const MonitorOptions &options)
{
    return options.pcapPath == QLatin1String("-") ? QStringLiteral("standard output") : options.pcapPath;
}

// A capture file of this command's own making: a named file, not standard output or
// Wireshark's FIFO.
bool fileNamed(const MonitorOptions &options)
{
    return !options.pcapPath.isEmpty() && options.pcapPath != QLatin1String("-") && !options.forWireshark;
}

// The rows go to standard output unless the capture file does, or Wireshark reads it.
bool rowsShown(const MonitorOptions &options)
{
    return !options.forWireshark && options.pcapPath != QLatin1String("-");
}

// The capture or playback of one command, and how it ends.
class MonitorRun {
public:
    MonitorRun(ModuleDriver &driver, const MonitorOptions &options)
        : m_options(options), m_cycle(driver, &m_owner), m_feed(m_cycle, QLocale::system(), &m_owner)
    {
        m_cycle.setAbsoluteTime(m_options.absoluteTime);
        // Rows that cannot be written end the command; the writer has said why.
        QObject::connect(&m_feed, &RowFeed::row, [this](const QString &row) {
            if (m_outputFailed)
                return;
            if (rowsShown(m_options) && !TerminalOutput::write(row + QLatin1Char('\n'))) {
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
        QObject::connect(&m_feed, &RowFeed::logWriteFailed, [this](const QString &error) {
            // The rows go on, as in the window; the command ends as failed.
            std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(m_options.logPath), qPrintable(error));
            m_status = ExitStatus::Failed;
        });
        QObject::connect(&m_cycle, &CaptureCycle::captured, [this](const ModuleRecord &record, const RecordTime &time) {
            if (m_pcap.isOpen() && !m_pcap.write(PcapWriter::fromRecord(record, time.wallMs, m_moduleWord)))
                pcapFailed();
        });
        QObject::connect(&m_cycle, &CaptureCycle::endOfFile, [this] { requestStop(); });
        m_timeUp.setSingleShot(true);
        QObject::connect(&m_timeUp, &QTimer::timeout, [this] { requestStop(); });
    }

    int run()
    {
        runJob(
            &m_end, &JobEnd::ended,
            [this] {
                if (!m_options.playPath.isEmpty())
                    startPlayback();
                else
                    startCapture();
                return true;
            },
            [this] { requestStop(); });
        if (!m_finished)
            finish(); // a second interrupt stopped the wait: the module is released all the same
        return m_status;
    }

private:
    // A log plays back without the module, a line a tick as in the window.
    void startPlayback()
    {
        m_cycle.setPlayback(true);
        if (!m_cycle.openPlayback(m_options.playPath))
            return fail(ExitStatus::Failed, QStringLiteral("Cannot open ") + m_options.playPath + QStringLiteral(": ") +
                                                m_cycle.playbackError());
        begin();
    }

    void startCapture()
    {
        // Opened before the module is touched: a wrong path costs no capture. A FIFO opens
        // once its reader does.
        m_pcap.flushEachPacket = true;
        if (!m_options.pcapPath.isEmpty() && !m_pcap.open(m_options.pcapPath))
            return fail(ExitStatus::Failed, QStringLiteral("Cannot create ") + pcapName(m_options) +
                                                QStringLiteral(": ") + m_pcap.errorString());
        m_pcapMade = fileNamed(m_options);
        m_live = true;
        m_cycle.connectModule(
            false,
            [this](const ConnectOutcome &outcome) {
                m_moduleWord = outcome.word;
                if (!outcome.connected)
                    fail(ExitStatus::NoModule, noModuleText(outcome.word));
            },
            [this] {
                if (m_ending)
                    return; // interrupted while the module was read empty
                if (!m_options.logPath.isEmpty() && !m_feed.openLog(m_options.logPath))
                    return fail(ExitStatus::Failed, QStringLiteral("Cannot create ") + m_options.logPath +
                                                        QStringLiteral(": ") + m_feed.logError());
                begin();
            });
    }

    void begin()
    {
        m_began = true;
        m_cycle.startRun(m_options.addresses, m_options.commands);
        if (m_options.seconds > 0)
            m_timeUp.start(static_cast<int>(std::min(m_options.seconds * 1000, 2e9)));
    }

    // Wireshark closing its end is how a live capture into it ends.
    void pcapFailed()
    {
        if (m_options.forWireshark && m_pcap.readerGone())
            return requestStop();
        fail(ExitStatus::Failed,
             QStringLiteral("Cannot write ") + pcapName(m_options) + QStringLiteral(": ") + m_pcap.errorString());
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
        if (std::exchange(m_finished, true))
            return;
        m_timeUp.stop();
        const std::int32_t lostWith = m_cycle.end(m_live).lostWith();
        m_feed.closeLog();
        m_live = false;
        // A module that fails its release was lost, also when nothing else found it.
        if (lostWith != 0 && m_status != ExitStatus::NoModule) {
            std::fprintf(stderr, "%s\n", qPrintable(moduleLostText(lostWith)));
            m_status = ExitStatus::NoModule;
        }
        if (m_pcap.isOpen() && !m_pcap.close())
            pcapFailed();
        // A capture that never began (no module, a log that cannot be made) leaves no file
        // that looks like an empty capture.
        if (!m_began && m_pcapMade)
            QFile::remove(m_options.pcapPath);
        emit m_end.ended();
    }

    const MonitorOptions &m_options;
    QObject m_owner;
    CaptureCycle m_cycle;
    RowFeed m_feed;
    PcapWriter m_pcap;
    JobEnd m_end;
    QTimer m_timeUp;
    long long m_rows = 0;
    std::int32_t m_moduleWord = 0; // as the module answered the connection
    int m_status = ExitStatus::Completed;
    bool m_live = false;
    bool m_began = false;    // the capture (or playback) started
    bool m_pcapMade = false; // the capture file named was created
    bool m_ending = false;
    bool m_finished = false;
    bool m_outputFailed = false; // the rows cannot be written: the command ends
};

// A log turned into a capture file as fast as it reads: no module and no pace. Lines that
// are not rows are counted and passed over. The packets are dated from when the log was
// made, its rows' times (from the row before, or with --absolute from the start) added.
int convertLog(const MonitorOptions &options)
{
    LogReader log;
    if (!log.open(options.playPath)) {
        std::fprintf(stderr, "Cannot open %s: %s\n", qPrintable(options.playPath), qPrintable(log.errorString()));
        return ExitStatus::Failed;
    }
    PcapWriter pcap;
    if (!pcap.open(options.pcapPath)) {
        std::fprintf(stderr, "Cannot create %s: %s\n", qPrintable(pcapName(options)), qPrintable(pcap.errorString()));
        return ExitStatus::Failed;
    }
    const QFileInfo made(options.playPath);
    const std::int64_t startMs =
        (made.birthTime().isValid() ? made.birthTime() : made.lastModified()).toMSecsSinceEpoch();
    double seconds = 0;
    long long skipped = 0;
    int status = ExitStatus::Completed;
    while (!log.atEnd() && !InterruptCatcher::interrupted()) {
        const QString line = log.next();
        const std::optional<MonitorLog::LoggedRow> row = MonitorLog::readRow(line);
        if (!row) {
            ++skipped;
            continue;
        }
        seconds = options.absoluteTime ? row->seconds : seconds + row->seconds;
        if (rowsShown(options) && !TerminalOutput::write(MonitorLog::aligned(line) + QLatin1Char('\n'))) {
            status = ExitStatus::Failed;
            break;
        }
        PcapWriter::Message message;
        message.wallMs = startMs + std::llround(seconds * 1000);
        message.bytes = row->bytes;
        if (!pcap.write(message))
            break;
    }
    if (!log.errorString().isEmpty()) {
        std::fprintf(stderr, "Cannot read %s: %s\n", qPrintable(options.playPath), qPrintable(log.errorString()));
        status = ExitStatus::Failed;
    }
    if (!pcap.close() || !pcap.errorString().isEmpty()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(pcapName(options)), qPrintable(pcap.errorString()));
        status = ExitStatus::Failed;
    }
    if (skipped > 0)
        std::fprintf(stderr, "%s: skipped %lld %s not a row\n", qPrintable(options.playPath), skipped,
                     skipped == 1 ? "line that is" : "lines that are");
    // Stopped halfway, the file would pass for the whole log's capture: none is left.
    if (!log.atEnd() && InterruptCatcher::interrupted()) {
        if (options.pcapPath != QLatin1String("-"))
            QFile::remove(options.pcapPath);
        std::fprintf(stderr, "Interrupted: %s not converted\n", qPrintable(options.playPath));
        status = ExitStatus::Failed;
    }
    return status;
}

} // namespace

int runMonitor(ModuleDriver &driver, const MonitorOptions &options)
{
    if (!options.playPath.isEmpty() && !options.pcapPath.isEmpty())
        return convertLog(options);
    MonitorRun run(driver, options);
    return run.run();
}
