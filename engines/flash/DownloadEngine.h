#pragma once

#include "core/Job.h"
#include "core/Problem.h"
#include "driver/ModuleDriver.h"
#include "engines/flash/BlockSenders.h"
#include "engines/flash/DownloadMessages.h"
#include "engines/flash/LoadEvents.h"
#include "engines/flash/LoadOutcome.h"
#include "engines/flash/SRecord.h"

#include <QObject>
#include <QString>

#include <functional>
#include <span>
#include <vector>

class FormTimer;

// Sends firmware files to a bus device or to the module as a chain of one-shot timer
// steps: each step sends one message, arms the reply watchdog and the poller, and the
// reply decides the next step. A load is a job: started once its first step is armed,
// ended once per load (a device's, with "Load Complete" when it completed, or a whole
// file's), after the status line has said it.
class DownloadEngine final : public Job {
    Q_OBJECT
public:
    // Intervals in milliseconds.
    static constexpr int StartStepMs = 100;
    static constexpr int PollMs = 25;
    static constexpr int PollWaitMs = 2000;
    static constexpr int ShortPauseMs = 50;
    static constexpr int ConnectionWatchdogMs = 12000;
    static constexpr int ProgramRequestWatchdogMs = 25000;
    static constexpr int StepWatchdogMs = 7000;
    static constexpr int ExitWatchdogMs = 2000;
    static constexpr int BlockWatchdogMs = 3000;
    static constexpr int NextDeviceMs = 100;

    DownloadEngine(ModuleDriver &driver, LoadEvents &events, QObject *parent);

    // How loads run; the face sets them, a load in hand reads them as it goes.
    LoadSettings &settings() { return m_settings; }

    // A device's load from its firmware file: its download files written, then the load
    // started. None, or the status text that says why the device cannot be loaded (then
    // nothing is sent).
    Problem loadDevice(std::uint8_t address, const QString &firmwareFile, const QString &type, bool knownType);
    // A file loaded as it is (the module's firmware, or a file chosen directly): none once
    // started, or why it cannot be.
    Problem loadWholeFile(const QString &file, std::uint8_t address, bool knownType);
    // Starts a device's load with its "a" download file (the conversion has run).
    void startDevice(std::uint8_t address, const QString &firmwareFile, bool knownType);
    // Starts a load of one file: the module's firmware, or a device file chosen directly.
    void startFile(const QString &file, std::uint8_t address, bool knownType);
    // The pause was let go: a load held after its last reply goes on. A reply still pending
    // goes on by itself, so nothing is sent before it arrives.
    void resume();
    // The load in hand is abandoned with the abort byte (the window closes, or the job is
    // cancelled): nothing more is sent and no step runs any more.
    void abortLoad();
    void cancel() override { abortLoad(); }
    // A load is under way: a step or a reply is due, or a transfer is active.
    bool running() const override;
    // Every device is done and at least one was loaded.
    void finishUpload();
    // Reads and discards the replies the module still holds, then goes on to then.
    void flushReplies(std::function<void()> then = {});

    // Stops waiting for a reply (the COM-port layout takes over).
    void stopReplyWait() { stopWatchdogAndPoll(); }
    bool transferActive() const { return m_transferActive; }
    bool loadBusy() const { return m_loadBusy; }
    void setTransferActive(bool active) { m_transferActive = active; }
    void clearLoadBusy() { m_loadBusy = false; }
    std::uint8_t sequenceNumber() const { return m_sequence; }
    const QString &loadFileName() const { return m_loadFileName; }

private:
    FormTimer *makeTimer(const QString &name, int intervalMs, void (DownloadEngine::*step)());
    void arm(FormTimer *timer, int intervalMs);
    void armWatchdog(int intervalMs, int retryCount);
    void stopWatchdogAndPoll();

    bool sendToDevice(const DownloadMessages::Bytes &message, std::uint8_t sequence);
    std::int32_t sendToModule(const DownloadMessages::Bytes &message);
    void sendDeviceStep(const DownloadMessages::Bytes &message, std::uint8_t replyCode, int watchdogMs);
    bool sendModuleStep(const DownloadMessages::Bytes &message);
    void sendAbortByte();
    std::uint8_t advanceSequence();
    void armPacingUnlessPaused(int intervalMs);
    void stopLoad();
    void abandon(int loadStatus);
    void abandonOnDriverResult(std::int32_t result);
    void abandonFile();
    void end(LoadOutcome::Kind kind, const QString &text);

    // Timer steps.
    void startStep();
    void startOfFileStep();
    void pacingStep();
    void programRequest();
    void prepareStep();
    void setAddressStep();
    void commitStep();
    void exitLoaderStep();
    void moduleChecksumStep();
    void moduleExitStep();
    void watchdogExpired();
    void nextDeviceTimer();
    void poll();
    bool takeReply(std::int32_t result, std::span<const std::uint8_t> reply);

    void deviceBlock();
    void nextDeviceAction();
    void sendDataMessage(); // after the short pause before each data message
    void moduleBlock();
    void deviceFileChecksum();
    void handleModuleReply(std::uint8_t code, std::uint8_t status, std::span<const std::uint8_t> reply);
    void moduleChecksumReply(std::uint8_t status, std::span<const std::uint8_t> reply);
    void moduleExitReply(std::uint8_t status);
    void handleDeviceReply(std::uint8_t status);
    void deviceError(std::uint8_t status);
    bool scanFileRange();

    ModuleDriver &m_driver;
    LoadEvents &m_events;
    LoadSettings m_settings;
    LoadProgress m_progress{m_events};
    FormTimer *m_pacing, *m_moduleExit, *m_watchdog, *m_startOfFile, *m_start, *m_moduleChecksum, *m_poller,
        *m_programRequest, *m_setAddress, *m_commit, *m_exitLoader, *m_nextDevice, *m_shortPause, *m_prepare;
    std::vector<FormTimer *> m_timers;

    RecordFile m_file;
    DeviceBlockSender m_device;
    DeviceBlockSender::Action m_dataMessage; // sent when the short pause is over
    QString m_loadFileName;
    QString m_downloadBase; // a device's download files are this and a letter
    QString m_sendFile;
    std::uint8_t m_deviceAddress = 1;
    std::uint8_t m_lastReplyCode = 0;
    std::uint8_t m_sequence = 0;
    int m_retryCount = 0;
    int m_loadStep = 1;
    bool m_knownType = true;
    bool m_transferActive = false;
    bool m_loadBusy = false;
    bool m_checksumMatched = false;
    bool m_heldByPause = false;
    bool m_replyPending = false;
    bool m_watchdogDue = false;
    unsigned m_loadNumber = 0; // counts stopped loads, so a reply awaited for one is not taken by another
    long m_firstAddress = 0;
    long m_lastAddress = 0;
    long m_expectedChecksum = 0;
    std::uint32_t m_imageChecksum = 0;
    double m_allFF = 0;
};
