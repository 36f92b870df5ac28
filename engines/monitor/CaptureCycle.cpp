#include "engines/monitor/CaptureCycle.h"

#include "base/MessageDecoder.h"
#include "core/FormTimer.h"
#include "core/TimeSource.h"
#include "driver/DriverResult.h"
#include "driver/ModuleConnection.h"

#include <QDateTime>

#include <utility>

namespace {
constexpr std::uint8_t CaptureOn = 1;
constexpr std::uint8_t CaptureOff = 0;
constexpr std::uint8_t CaptureChannel = 5;
} // namespace

CaptureCycle::CaptureCycle(ModuleDriver &driver, QObject *window)
    : Job(window), m_driver(driver),
      m_capture(new FormTimer(QStringLiteral("captureTick"), CaptureTickMs, window ? window : this)),
      m_drain(new FormTimer(QStringLiteral("drainTick"), DrainTickMs, window ? window : this))
{
    connect(m_capture, &FormTimer::timeout, this, &CaptureCycle::captureTick);
    connect(m_drain, &FormTimer::timeout, this, &CaptureCycle::drainTick);
}

CaptureCycle::~CaptureCycle()
{
    haltReads();
}

void CaptureCycle::connectModule(bool closeFirst, const std::function<void(const ConnectOutcome &)> &outcome,
                                 std::function<void()> ready)
{
    ConnectOptions options = ConnectOptions::busMonitor();
    options.closeFirst = closeFirst;
    const ConnectOutcome connected = ModuleConnection::connect(m_driver, options);
    outcome(connected);
    if (!connected.connected)
        return;
    ModuleConnection::drain(m_driver, this, ModuleConnection::DrainWaitMs,
                            [this, ready = std::move(ready)](const ModuleConnection::Records &) {
                                std::uint8_t result = 0;
                                m_driver.QwilAnalyzer(CaptureOn, CaptureChannel, &result);
                                ready();
                            });
}

ModuleConnection::Released CaptureCycle::releaseModule()
{
    std::uint8_t result = 0;
    ModuleConnection::Released released;
    released.setBack = m_driver.QwilAnalyzer(CaptureOff, CaptureChannel, &result);
    if (m_takeReadRecords)
        m_takeReadRecords();
    released.closed = m_driver.CloseUSBDriver();
    return released;
}

ModuleConnection::Released CaptureCycle::end(bool releaseTheModule)
{
    stopCapture();
    m_drain->setEnabled(false);
    m_resting = false;
    const ModuleConnection::Released released = releaseTheModule ? releaseModule() : ModuleConnection::Released{};
    m_playbackFile.close();
    return released;
}

bool CaptureCycle::running() const
{
    return m_capture->isEnabled();
}

bool CaptureCycle::draining() const
{
    return m_drain->isEnabled();
}

void CaptureCycle::switchDrain()
{
    m_drain->setEnabled(m_resting && (m_playback || !running()));
}

void CaptureCycle::rest()
{
    m_resting = true;
    switchDrain();
}

void CaptureCycle::suspend()
{
    stopCapture();
    m_resting = false;
    switchDrain();
}

void CaptureCycle::setPlayback(bool playback)
{
    m_playback = playback;
    m_capture->setInterval(playback ? PlaybackTickMs : CaptureTickMs);
}

void CaptureCycle::clearFilters()
{
    m_addressFilter.clear();
    m_commandFilter.clear();
}

bool CaptureCycle::openPlayback(const QString &path)
{
    return m_playbackFile.open(path);
}

void CaptureCycle::stopCapture()
{
    const bool wasRunning = running();
    haltReads();
    if (wasRunning)
        emit ended({JobOutcome::Kind::Completed, QString()});
}

void CaptureCycle::haltReads()
{
    m_capture->setEnabled(false);
    if (m_readsEnd)
        *m_readsEnd = true;
}

void CaptureCycle::afterLastRead(std::function<void()> then)
{
    if (m_fetching)
        m_afterLastRead = std::move(then);
    else
        then();
}

double CaptureCycle::secondsSinceStart(std::int64_t atMs) const
{
    // A monotonic clock: a run that crosses midnight keeps counting up.
    return static_cast<double>(atMs - m_startMs) / 1000.0;
}

void CaptureCycle::startRun(const QString &addressList, const QString &commandList)
{
    m_startMs = TimeSource::clock().nowMs();
    m_startWallMs = QDateTime::currentMSecsSinceEpoch();
    m_addressFilter.parse(addressList);
    m_commandFilter.parse(commandList);
    m_capture->setEnabled(true);
    switchDrain();
    emit started();
}

void CaptureCycle::resetDelta()
{
    m_previousOffset = 0;
    m_firstRow = true;
}

void CaptureCycle::captureTick()
{
    if (m_playback)
        playbackStep();
    else
        liveTick();
}

void CaptureCycle::liveTick()
{
    if (m_fetching)
        return; // the record asked for is still on its way
    m_fetching = true;
    ModuleConnection::ReadRun reads = ModuleConnection::readRun(
        m_driver, this, WaitMs, CaptureTickMs,
        [this](const std::vector<ModuleRecord> &records) {
            for (const ModuleRecord &record : records)
                takeRecord(record);
        },
        [this] {
            m_fetching = false;
            m_readsEnd.reset();
            m_takeReadRecords = nullptr;
            m_capture->release();
            if (m_afterLastRead)
                std::exchange(m_afterLastRead, nullptr)();
        });
    if (m_fetching) {
        m_readsEnd = std::move(reads.end);
        m_takeReadRecords = std::move(reads.handOverNow);
        m_capture->hold(); // the next tick counts from the run's end
    }
}

void CaptureCycle::takeRecord(const ModuleRecord &record)
{
    std::int32_t r = record.result;
    // A record's time is when the module answered, however long it waited for its batch.
    const double t = secondsSinceStart(record.answeredMs);
    if (r == DriverResult::NothingYet)
        r = DriverResult::NoResponse;
    if (r == DriverResult::NoResponse)
        return;
    if (r != DriverResult::Success) {
        emit driverError(r);
        return;
    }
    ++m_recordsCaptured;

    double seconds = 0;
    if (m_absoluteTime) {
        seconds = t;
    } else if (m_firstRow) {
        seconds = t;
        m_previousOffset = t;
        m_firstRow = false;
    } else {
        seconds = t - m_previousOffset;
    }
    const std::span<const std::uint8_t> message = MonitorRows::message(record.bytes, record.count);
    if (MessageDecoder::invalid(message))
        emit invalidCommand();
    if (m_addressFilter.contains(MessageDecoder::byteAt(message, MessageDecoder::AddressAt)) ||
        m_commandFilter.contains(MessageDecoder::byteAt(message, MessageDecoder::CommandAt))) {
        ++m_rowsFiltered;
        return;
    }
    m_previousOffset = t;
    emit captured(record, {m_startWallMs + (record.answeredMs - m_startMs), seconds});
}

void CaptureCycle::playbackStep()
{
    if (m_paused)
        return;
    if (!m_playbackFile.isOpen() || m_playbackFile.atEnd()) {
        m_playbackFile.close();
        emit endOfFile();
        return;
    }
    emit playedBack(MonitorLog::aligned(m_playbackFile.next()));
}

void CaptureCycle::drainTick()
{
    if (m_draining)
        return; // a tick that fell due while the drain runs
    m_draining = true;
    m_drained = 0;
    drainNext();
}

// Ends when nothing is left, on a link error, after a bounded number of records, and as
// soon as a capture starts: with other controllers talking the module is never empty,
// and a drain running on would take every other record from the capture.
void CaptureCycle::drainNext()
{
    m_driver.yieldToWindows();
    if (m_drained >= MaxDrainRecords || m_capture->isEnabled() || !m_drain->isEnabled()) {
        m_draining = false;
        return;
    }
    ++m_drained;
    ModuleConnection::read(m_driver, this, WaitMs, [this](const ModuleRecord &record) {
        if (record.result == DriverResult::Success)
            drainNext();
        else
            m_draining = false;
    });
}
