#include "CaptureCycle.h"

#include "FormTimer.h"
#include "TimeSource.h"

#include <QCoreApplication>
#include <QLocale>

namespace {
constexpr std::int32_t LinkNothingYet = 3;
}

CaptureCycle::CaptureCycle(ModuleDriver &driver, QObject *window)
    : QObject(window), m_driver(driver), m_capture(new FormTimer(QStringLiteral("Timer2"), CaptureTickMs, window)),
      m_drain(new FormTimer(QStringLiteral("FlushBuffer"), DrainTickMs, window)), m_buffer(BufferSize, 0)
{
    connect(m_capture, &FormTimer::timeout, this, &CaptureCycle::captureTick);
    connect(m_drain, &FormTimer::timeout, this, &CaptureCycle::drainTick);
}

double CaptureCycle::secondsSinceStart() const
{
    // A monotonic clock: a run that crosses midnight keeps counting up.
    return static_cast<double>(TimeSource::clock().nowMs() - m_startMs) / 1000.0;
}

void CaptureCycle::beginRun(const QString &addressList, const QString &commandList)
{
    m_startMs = TimeSource::clock().nowMs();
    addressFilter.parse(addressList);
    commandFilter.parse(commandList);
}

void CaptureCycle::resetDelta()
{
    m_previousOffset = 0;
    m_firstRow = true;
}

void CaptureCycle::setPlaybackTick(bool playingBack)
{
    m_capture->setInterval(playingBack ? PlaybackTickMs : CaptureTickMs);
}

void CaptureCycle::captureTick()
{
    if (analyzing)
        playbackStep();
    else
        liveTick();
}

void CaptureCycle::liveTick()
{
    std::uint8_t count = 0;
    std::int32_t r = m_driver.GetData(m_buffer.data(), &count, WaitMs);
    const double t = secondsSinceStart();
    if (r == LinkNothingYet)
        r = DriverResult::NoResponse;
    if (r == DriverResult::NoResponse)
        return;
    if (r != DriverResult::Success) {
        emit driverError(r);
        return;
    }
    ++recordsCaptured;

    double seconds = 0;
    if (absoluteTime && absoluteTime()) {
        seconds = secondsSinceStart();
    } else if (m_firstRow) {
        seconds = t;
        m_previousOffset = t;
        m_firstRow = false;
    } else {
        seconds = t - m_previousOffset;
    }
    const MonitorRows::Row row = MonitorRows::build(m_buffer, count, MonitorRows::timeText(seconds, QLocale::system()));
    if (row.beepTwice)
        emit invalidCommand();
    if (addressFilter.contains(row.address) || commandFilter.contains(row.command)) {
        ++rowsFiltered;
        return;
    }
    m_previousOffset = t;
    emit line(row.text);
    if (!log.writeRow(row.text)) {
        const QString error = log.errorString();
        log.close();
        emit logWriteFailed(error);
    }
}

void CaptureCycle::playbackStep()
{
    if (paused && paused())
        return;
    if (!playback.isOpen() || playback.atEnd()) {
        playback.close();
        emit endOfFile();
        return;
    }
    emit line(MonitorLog::aligned(playback.next()));
}

void CaptureCycle::drainTick()
{
    if (m_draining)
        return; // a tick that fell due while the drain let the window breathe
    m_draining = true;
    // Ends when nothing is left, on a link error, after a bounded number of records, and as
    // soon as a capture starts: with other controllers talking the module is never empty,
    // and a drain running on would take every other record from the capture.
    for (int i = 0; i < MaxDrainRecords; ++i) {
        QCoreApplication::processEvents();
        if (m_capture->isEnabled() || !m_drain->isEnabled())
            break;
        std::uint8_t count = 0;
        if (m_driver.GetData(m_buffer.data(), &count, WaitMs) != DriverResult::Success)
            break;
    }
    m_draining = false;
}
