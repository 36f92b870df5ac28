#pragma once

#include "core/Job.h"
#include "core/Problem.h"
#include "engines/flash/LoadEvents.h"
#include "engines/flash/LoadOutcome.h"
#include "engines/flash/SRecord.h"
#include "engines/flash/SerialProtocol.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class FormTimer;
class SerialLine;

// Loads one board over a COM port: the boot image at 9600 baud, the flash loader in
// framed blocks, then at 38400 baud the application with its checksum check, or an erase
// of the whole flash or of chosen sectors. The board answers each step with one byte.
// A run is a job; each start ends once (refused before the first byte, or the run
// completed, failed or was cancelled), after the status line has said it.
class SerialLoader final : public Job {
    Q_OBJECT
public:
    enum class Request { Application, EraseAll, EraseSectors };
    static constexpr int StepMs = 1000, BootCommandMs = 500, NextBlockMs = 500, ApplicationStartMs = 100,
                         ChecksumMs = 100, StartOfFileMs = 500, FirstBlockMs = 200, NextFrameMs = 50,
                         ReplyWatchdogMs = 3000, EraseWatchdogMs = 45000;
    inline static const QString BootLoaderFile = QStringLiteral("BootLdr.dwn");
    inline static const QString FlashLoaderFile = QStringLiteral("FlshLdr.dwn");

    // deviceOf names the serial device of COM port 1 or 2.
    SerialLoader(SerialLine &line, LoadEvents &events, std::function<QString(int)> deviceOf, QObject *parent);

    // Option "1" or "2": opens that port; false (with the message shown) when it cannot.
    bool choosePort(int port);
    // The port chosen last, 0 for none.
    int chosenPort() const { return m_port1Or2; }
    // A load or an erase: runs the sequence for the request once every
    // file it sends has been read and found sound. Does nothing while a run is in hand.
    void start(const QString &applicationFile, Request request);
    // The run in hand ends as interrupted; the port stays open.
    void cancel() override;
    // Comm Port mode ends or the window closes: no step runs any more, the port closes.
    void stop();

    // The files a run for the request sends (the loader files from loaderFolder, the
    // current folder when empty), checked as start() checks them; problem says why they cannot be sent (then nothing
    // else is set).
    struct Files {
        QStringList application;
        SerialProtocol::Bytes bootImage;
        QStringList flashLoader;
        Problem problem;
    };
    static Files readFiles(const QString &applicationFile, Request request, const QString &loaderFolder);
    // Where BootLdr.dwn and FlshLdr.dwn are found; the current folder unless set.
    void setLoaderFolder(const QString &folder) { m_loaderFolder = folder; }
    // From the first byte sent until the run completes, fails or gives up.
    bool running() const override { return m_running; }

    // The selection the sector boxes build; an erase takes it as it stands at the start.
    SerialProtocol::SectorMask &sectorMask() { return m_mask; }
    long expectedChecksum() const { return m_expectedChecksum; }

signals:
    // A run began (its first byte is about to go out) or ended.
    void runningChanged(bool running);

private:
    // What the board's next answer is expected to acknowledge.
    enum class Awaiting { Nothing, BootImage, ApplicationStart, Block, Checksum, Erase };

    FormTimer *makeTimer(const char *name, int intervalMs, void (SerialLoader::*step)());
    bool openChosenPort();
    QString portFailure(int port) const;
    void setRunning(bool running);
    static std::optional<QStringList> soundFile(const QString &path, bool application, QString &problem);
    static QString beyondTheFlash(const QString &invalid, const QStringList &lines);
    void send(const SerialProtocol::Bytes &bytes, Awaiting awaiting, int watchdogMs);
    void armWatchdog(int intervalMs);
    void stopTimers();
    void endRun();
    void refuse(const QString &text);
    void fail(const QString &text);
    void finish(const QString &text, LoadOutcome::Kind kind);
    void portLost();

    void sendBootImage();
    void bootCommand();      // "d" once the image is in
    void step();             // the step timer: the next phase
    void applicationStart(); // "d", 0x02
    void startOfFile();
    void pacing();
    void nextBlock(); // the next-block timer: "g"
    void fileSent();
    void checksumRequest();
    void eraseSectors();
    void watchdogExpired();
    void received();
    void acknowledged();
    void checksumReported(const SerialProtocol::Bytes &report);

    SerialLine &m_line;
    LoadEvents &m_events;
    LoadProgress m_progress{m_events};
    FormTimer *m_step, *m_nextBlock;
    FormTimer *m_bootCommand, *m_applicationStart, *m_checksum, *m_startOfFile, *m_pacing, *m_watchdog;
    std::function<QString(int)> m_deviceOf;
    QString m_loaderFolder;
    SerialProtocol::SectorMask m_mask;
    SerialProtocol::SectorMask m_eraseMask; // the selection when the erase was started
    SerialProtocol::Bytes m_bootImage;
    QStringList m_flashLoaderLines, m_applicationLines;
    RecordFile m_file;
    SerialProtocol::Bytes m_received;
    int m_port1Or2 = 0; // the port chosen, 0 none
    int m_loadStep = 1;
    int m_retries = 0;
    int m_watchdogMs = ReplyWatchdogMs;
    Awaiting m_awaiting = Awaiting::Nothing;
    bool m_running = false;
    bool m_eraseAll = false;
    bool m_eraseSectors = false;
    long m_firstAddress = 0, m_lastAddress = 0, m_expectedChecksum = 0;
};
