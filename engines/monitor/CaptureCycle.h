#pragma once

#include "core/Job.h"
#include "driver/ModuleConnection.h"
#include "driver/ModuleDriver.h"
#include "engines/monitor/MonitorLog.h"
#include "engines/monitor/MonitorRows.h"

#include <QObject>

#include <functional>
#include <vector>

class FormTimer;

// When a captured record was answered, and the time its row shows.
struct RecordTime {
    std::int64_t wallMs = 0; // when the module answered, in milliseconds since the epoch
    double rowSeconds = 0;   // since the run started, or since the row shown before it
};

// The monitor's capture cycle: the records captured live told as they are (or one log line
// per tick played back), and a slower tick that drains the module while no capture runs.
// The faces make their rows, logs and capture files of what it tells. A tick starts a run
// of reads, each 1 ms after the answer before it, on the driver's side; the run ends when
// the window's user wants a turn, and the next tick starts the next run. A monitor run
// (live or played back) is a job: started by startRun, ended when its capture stops.
class CaptureCycle final : public Job {
    Q_OBJECT
public:
    static constexpr int CaptureTickMs = 1;
    static constexpr int PlaybackTickMs = 25;
    static constexpr int DrainTickMs = 250;
    static constexpr int WaitMs = 200;
    static constexpr int MaxDrainRecords = 4096;

    CaptureCycle(ModuleDriver &driver, QObject *window);
    ~CaptureCycle() override;

    // Connects the module for the monitor: outcome hears at once how it went; when it is
    // connected, what the module still holds is read and dropped, capture is switched on,
    // and ready runs.
    void connectModule(bool closeFirst, const std::function<void(const ConnectOutcome &)> &outcome,
                       std::function<void()> ready);
    // Capture switched off and the module let go. A run of reads asked to end has made
    // its last read by then: every record it read becomes a row first.
    ModuleConnection::Released releaseModule();
    // The capture ends, in the window and in the terminal alike: no read goes out after the
    // one in hand; with the module released, that read's records become rows (and log
    // lines) first; then the played-back file closes. What the release answered
    // (all 0 without one).
    ModuleConnection::Released end(bool releaseTheModule);
    // A run of reads is still out (after stopCapture, until its last records are taken).
    bool reading() const { return m_fetching; }
    // Runs then once the run of reads in hand has handed over its last records, at once
    // when none is out: a stopped run's rows are all made before then closes its log.
    void afterLastRead(std::function<void()> then);

    // A run is under way: live capture, or a log played back.
    bool running() const override;
    // The run in hand stops as stopCapture stops it.
    void cancel() override { stopCapture(); }
    // The module is in hand and nothing reads it: what it gathers is read and dropped, a
    // bounded number of records a tick, so that a capture starts from what comes next.
    // This follows the cycle's state: it rests after connecting and after a run, not in a
    // live run and not from a release until it rests again.
    bool draining() const;

    // How rows are timed and whether a playback waits. The face sets these as the user
    // changes them; a row reads them when it is made.
    void setAbsoluteTime(bool absolute) { m_absoluteTime = absolute; }
    void setPaused(bool paused) { m_paused = paused; }
    // Runs play back a log (at a line a tick) instead of capturing live.
    void setPlayback(bool playback);
    bool playback() const { return m_playback; }
    // The filters of the next run hide nothing until it starts.
    void clearFilters();

    // The log the next playback reads; false (with the reason in playbackError) when it
    // cannot be opened.
    bool openPlayback(const QString &path);
    QString playbackError() const { return m_playbackFile.errorString(); }
    void closePlayback() { m_playbackFile.close(); }

    // The module is in hand and no run goes on: the cycle rests and drains.
    void rest();
    // Nothing reads the module (a reconnect is under way) until the cycle rests again.
    void suspend();
    // Starts a run: time counts from now; the filters are read from the boxes' texts. A live
    // run stops the drain; a playback leaves the module to it.
    void startRun(const QString &addressList, const QString &commandList);
    // No read goes out after the one in hand, whose record is still taken; the run has
    // ended.
    void stopCapture();
    // The next Delta time is measured from the start of the run.
    void resetDelta();

    // Records the live runs fetched, and how many of them the filters hid.
    long long recordsCaptured() const { return m_recordsCaptured; }
    long long rowsFiltered() const { return m_rowsFiltered; }

signals:
    // A record of a live run that the filters let through.
    void captured(const ModuleRecord &record, const RecordTime &time);
    // A line of the log played back, as the log holds it.
    void playedBack(const QString &line);
    void driverError(int code);
    void invalidCommand();
    void endOfFile();

private:
    void captureTick();
    void liveTick();
    void takeRecord(const ModuleRecord &record);
    void drainNext();
    void playbackStep();
    void drainTick();
    double secondsSinceStart(std::int64_t atMs) const;

    ModuleDriver &m_driver;
    FormTimer *m_capture;
    FormTimer *m_drain;
    std::int64_t m_startMs = 0;
    std::int64_t m_startWallMs = 0;
    double m_previousOffset = 0;
    bool m_firstRow = true;
    bool m_fetching = false;
    ModuleDriver::RunEnd m_readsEnd;         // while reads follow one another on the driver's side
    std::function<void()> m_takeReadRecords; // hands over what the run read so far
    std::function<void()> m_afterLastRead;
    void switchDrain();
    void haltReads();

    bool m_draining = false;
    int m_drained = 0;
    bool m_resting = false; // the module in hand, left to the drain when no live run reads it
    bool m_absoluteTime = false;
    bool m_paused = false;
    bool m_playback = false;
    MonitorRows::FilterList m_addressFilter;
    MonitorRows::FilterList m_commandFilter;
    LogReader m_playbackFile;
    long long m_recordsCaptured = 0;
    long long m_rowsFiltered = 0;
};
