#include "engines/flash/SerialLoader.h"

#include "core/Beep.h"
#include "core/FormTimer.h"
#include "engines/flash/BlockSenders.h"
#include "engines/flash/LoadStatus.h"
#include "engines/flash/SerialLine.h"

namespace {
constexpr int BootStep = 2, FlashLoaderStep = 3, ApplicationStep = 4, EraseStep = 5;
constexpr int GiveUpAfterRetries = 2;
constexpr int RomSpeed = 9600, LoaderSpeed = 38400;
} // namespace

SerialLoader::SerialLoader(SerialLine &line, LoadEvents &events, std::function<QString(int)> deviceOf, QObject *parent)
    : Job(parent), m_line(line), m_events(events), m_deviceOf(std::move(deviceOf))
{
    m_step = makeTimer("serialStep", StepMs, &SerialLoader::step);
    m_nextBlock = makeTimer("nextBlock", NextBlockMs, &SerialLoader::nextBlock);
    m_bootCommand = makeTimer("SerialBootCommand", BootCommandMs, &SerialLoader::bootCommand);
    m_applicationStart = makeTimer("SerialApplicationStart", ApplicationStartMs, &SerialLoader::applicationStart);
    m_checksum = makeTimer("SerialChecksum", ChecksumMs, &SerialLoader::checksumRequest);
    m_startOfFile = makeTimer("SerialStartOfFile", StartOfFileMs, &SerialLoader::startOfFile);
    m_pacing = makeTimer("SerialPacing", FirstBlockMs, &SerialLoader::pacing);
    m_watchdog = makeTimer("SerialWatchdog", ReplyWatchdogMs, &SerialLoader::watchdogExpired);
    connect(&m_line, &SerialLine::received, this, &SerialLoader::received);
    connect(&m_line, &SerialLine::lost, this, &SerialLoader::portLost);
}

FormTimer *SerialLoader::makeTimer(const char *name, int intervalMs, void (SerialLoader::*timerStep)())
{
    auto *timer = new FormTimer(QString::fromLatin1(name), intervalMs, this);
    timer->setSingleShot(true);
    connect(timer, &FormTimer::timeout, this, timerStep);
    return timer;
}

// ---- the port ------------------------------------------------------------------------------

bool SerialLoader::choosePort(int port)
{
    const bool opened = m_line.open(m_deviceOf(port));
    m_port1Or2 = opened ? port : 0;
    // Either port that opens says so, so that what a port that did not open said goes.
    if (!opened)
        m_events.status(portFailure(port), LoadEvents::Tone::Failed);
    else
        m_events.status(QStringLiteral("Select Load File"), LoadEvents::Tone::Working);
    if (opened)
        m_line.setSpeed(RomSpeed);
    else
        Beep::beep();
    return opened;
}

bool SerialLoader::openChosenPort()
{
    return m_line.open(m_deviceOf(m_port1Or2));
}

// "In use" only for a port another program holds; any other failure says why.
QString SerialLoader::portFailure(int port) const
{
    if (m_line.openBusy())
        return QStringLiteral("Comm Port ") + QString::number(port) + QStringLiteral(" in use!");
    if (port != 1)
        return QStringLiteral(" Com2 not a valid port - Reselect Port!");
    const QString device = m_line.device();
    if (device.isEmpty())
        return QStringLiteral("Cannot open Comm Port 1: no serial device for it");
    return QStringLiteral("Cannot open Comm Port 1 (") + device + QStringLiteral("): ") + m_line.openFailure();
}

// The cable or the board went away: the port is closed already; the run in hand ends and
// the next start opens the port again.
void SerialLoader::portLost()
{
    // A board power-cycled between runs, as the window asks, is no fault: the port is
    // closed, and the next run opens it again.
    const bool inRun = m_running;
    endRun();
    if (!inRun)
        return;
    const QString text = QStringLiteral("Comm Port ") + QString::number(m_port1Or2) + QStringLiteral(" Lost (") +
                         m_line.device() + QStringLiteral(") - Check Cable");
    m_events.status(text, LoadEvents::Tone::Failed);
    m_events.finished();
    Beep::beep();
    emit ended({LoadOutcome::Kind::Failed, text});
}

void SerialLoader::send(const SerialProtocol::Bytes &bytes, Awaiting awaiting, int watchdogMs)
{
    m_awaiting = awaiting;
    m_line.write(bytes);
    if (watchdogMs > 0)
        armWatchdog(watchdogMs);
}

void SerialLoader::armWatchdog(int intervalMs)
{
    m_retries = 0;
    m_watchdogMs = intervalMs;
    m_watchdog->setInterval(intervalMs);
    m_watchdog->setEnabled(true);
}

void SerialLoader::stopTimers()
{
    for (FormTimer *timer :
         {m_step, m_nextBlock, m_bootCommand, m_applicationStart, m_checksum, m_startOfFile, m_pacing, m_watchdog})
        timer->setEnabled(false);
}

// No step runs any more and no answer is awaited; the port stays as it is.
void SerialLoader::endRun()
{
    stopTimers();
    m_file.close();
    m_received.clear();
    m_awaiting = Awaiting::Nothing;
    setRunning(false);
}

void SerialLoader::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    emit runningChanged(running);
    if (running)
        emit started();
}

// The port is closed and no longer counts as chosen: whoever comes back chooses again.
void SerialLoader::cancel()
{
    const bool wasRunning = m_running;
    endRun();
    if (wasRunning)
        emit ended({LoadOutcome::Kind::Interrupted, QStringLiteral("Interrupted")});
}

void SerialLoader::stop()
{
    cancel();
    m_line.close();
    m_port1Or2 = 0;
}

// Nothing was sent: the status says why.
void SerialLoader::refuse(const QString &text)
{
    m_events.status(text, LoadEvents::Tone::Failed);
    emit ended({LoadOutcome::Kind::Refused, text});
}

void SerialLoader::fail(const QString &text)
{
    finish(text, LoadOutcome::Kind::Failed);
}

void SerialLoader::finish(const QString &text, LoadOutcome::Kind kind)
{
    endRun();
    m_events.status(text,
                    kind == LoadOutcome::Kind::Completed ? LoadEvents::Tone::Completed : LoadEvents::Tone::Failed);
    m_events.finished();
    Beep::beep();
    emit ended({kind, text});
}

// ---- the sequence --------------------------------------------------------------------------

void SerialLoader::start(const QString &applicationFile, Request request)
{
    if (m_running)
        return; // the run in hand goes on, its status stays
    m_events.status(QString(), LoadEvents::Tone::Working);
    m_eraseAll = request == Request::EraseAll;
    m_eraseSectors = request == Request::EraseSectors;
    m_line.close();
    if (m_port1Or2 == 0) {
        refuse(QStringLiteral("No Comm Port Selected"));
        return;
    }
    if (!openChosenPort()) {
        finish(portFailure(m_port1Or2), LoadOutcome::Kind::Refused);
        return;
    }
    if (applicationFile.isEmpty() && request == Request::Application) {
        refuse(QStringLiteral(" Select File to Load!"));
        return;
    }
    Files files = readFiles(applicationFile, request, m_loaderFolder);
    if (files.problem) {
        finish(files.problem.why(), LoadOutcome::Kind::Refused);
        return;
    }
    m_applicationLines = std::move(files.application);
    m_bootImage = std::move(files.bootImage);
    m_flashLoaderLines = std::move(files.flashLoader);
    // Sectors chosen while the boot image and the flash loader go out do not count.
    m_eraseMask = m_mask;
    m_line.setSpeed(RomSpeed);
    m_loadStep = BootStep;
    setRunning(true);
    m_progress.start(100);
    m_events.status(QStringLiteral("Loading Boot Loader"), LoadEvents::Tone::Working);
    sendBootImage();
}

// Every file a run sends, read and checked before the first byte goes out: the
// application (for a load), then the boot image and the flash loader.
SerialLoader::Files SerialLoader::readFiles(const QString &applicationFile, Request request,
                                            const QString &loaderFolder)
{
    const QString folder = loaderFolder.isEmpty() ? QStringLiteral(".") : loaderFolder;
    Files files;
    QString why;
    const auto refused = [&files, &why] {
        files.problem = Problem(why);
        return files;
    };
    if (request == Request::Application) {
        const auto lines = soundFile(applicationFile, true, why);
        if (!lines)
            return refused();
        files.application = *lines;
    }
    const auto bootLines = soundFile(folder + QLatin1Char('/') + BootLoaderFile, false, why);
    if (!bootLines)
        return refused();
    const auto image = SerialProtocol::bootImage(*bootLines, &why);
    if (!image)
        return refused();
    files.bootImage.assign(image->begin(), image->begin() + SerialProtocol::BootImageSent);
    const auto loaderLines = soundFile(folder + QLatin1Char('/') + FlashLoaderFile, false, why);
    if (!loaderLines)
        return refused();
    files.flashLoader = *loaderLines;
    return files;
}

// A file's lines when it reads and every line is blank or a record, some of them data
// (and, for the application, all within the flash); otherwise nothing, and why: the file,
// the line where there is one, and the reason.
std::optional<QStringList> SerialLoader::soundFile(const QString &path, bool application, QString &problem)
{
    const QString name = path.startsWith(QStringLiteral("./")) ? path.mid(2) : path;
    QString why;
    const auto lines = RecordFile::readLines(path, &why);
    if (!lines) {
        problem = QStringLiteral("Cannot read ") + name + QStringLiteral(": ") + why;
        return std::nullopt;
    }
    const SRecord::FileCheck check = SRecord::check(*lines);
    const QString invalid = LoadStatus::text(LoadStatus::InvalidLoadFile) + QLatin1Char(' ') + name;
    if (check.badLine) {
        problem =
            invalid + QStringLiteral(" - Line ") + QString::number(check.badLine) + QStringLiteral(": ") + check.reason;
        return std::nullopt;
    }
    if (!check.holdsData) {
        problem = invalid + QStringLiteral(" - No Data");
        return std::nullopt;
    }
    if (application) {
        problem = beyondTheFlash(invalid, *lines);
        if (!problem.isEmpty())
            return std::nullopt;
    }
    return lines;
}

// Data the board cannot hold would be reported as loaded: the file is refused at its
// first record that reaches past the flash.
QString SerialLoader::beyondTheFlash(const QString &invalid, const QStringList &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto record = SRecord::parse(lines[i]);
        if (!record || !record->isData() || record->address + record->count() <= SerialProtocol::FlashBytes)
            continue;
        return invalid + QStringLiteral(" - Line ") + QString::number(i + 1) + QStringLiteral(": address ") +
               QString::number(record->address, 16).toUpper() + QStringLiteral(" beyond the flash (0-") +
               QString::number(SerialProtocol::FlashBytes - 1, 16).toUpper() + QLatin1Char(')');
    }
    return {};
}

void SerialLoader::sendBootImage()
{
    m_line.clearInput();
    m_received.clear();
    send(m_bootImage, Awaiting::BootImage, ReplyWatchdogMs);
    m_bootCommand->setEnabled(true);
}

void SerialLoader::bootCommand()
{
    m_bootCommand->setEnabled(false);
    m_line.write(SerialProtocol::StartBootImage);
}

void SerialLoader::step()
{
    m_step->setEnabled(false);
    m_events.working();
    switch (m_loadStep) {
    case FlashLoaderStep:
        m_events.status(QStringLiteral("Loading Flash Loader"), LoadEvents::Tone::Working);
        m_file.open(m_flashLoaderLines);
        m_startOfFile->setEnabled(true);
        break;
    case ApplicationStep:
        m_file.open(m_applicationLines);
        m_events.status(QStringLiteral("Loading Application"), LoadEvents::Tone::Working);
        m_line.setSpeed(LoaderSpeed);
        m_applicationStart->setEnabled(true);
        break;
    case EraseStep:
        m_line.setSpeed(LoaderSpeed);
        if (m_eraseSectors) {
            eraseSectors();
        } else {
            m_events.status(QStringLiteral(" Erasing Flash(20 to 40 Seconds)"), LoadEvents::Tone::Working);
            send(SerialProtocol::EraseAll, Awaiting::Erase, EraseWatchdogMs);
        }
        break;
    default: break;
    }
}

void SerialLoader::eraseSectors()
{
    m_events.status(QStringLiteral(" Erasing Sector(20 to 40 Seconds)"), LoadEvents::Tone::Working);
    send(SerialProtocol::eraseSectors(m_eraseMask), Awaiting::Erase, EraseWatchdogMs);
}

void SerialLoader::applicationStart()
{
    m_applicationStart->setEnabled(false);
    send(SerialProtocol::StartApplication, Awaiting::ApplicationStart, ReplyWatchdogMs);
    m_startOfFile->setEnabled(true);
}

// The file's range, progress and first line. The application's range and checksum are
// those of the image the board ends up holding, whatever the order of the records.
void SerialLoader::startOfFile()
{
    m_startOfFile->setEnabled(false);
    const auto lines = static_cast<int>(m_file.lineCount());
    if (m_loadStep == ApplicationStep) {
        const SRecord::Image image = SRecord::image(m_file.lines());
        m_firstAddress = image.first;
        m_lastAddress = image.last;
        m_expectedChecksum = static_cast<long>(image.checksum);
        m_progress.start(lines + 2);
    } else {
        m_progress.start(lines + 1);
    }
    m_file.readNext();
    m_progress.step();
    m_pacing->setInterval(FirstBlockMs);
    m_pacing->setEnabled(true);
}

// The next frame of the file; a flash loader frame is taken once "g" follows it.
void SerialLoader::pacing()
{
    m_pacing->setEnabled(false);
    const ModuleBlockSender::Block block =
        ModuleBlockSender::next(m_file, SerialProtocol::BlockLimit, [this] { m_progress.step(); });
    if (block.invalid) {
        fail(LoadStatus::text(LoadStatus::InvalidLoadFile));
        return;
    }
    if (block.data.empty()) {
        fileSent();
        return;
    }
    const bool flashLoader = m_loadStep == FlashLoaderStep;
    send(SerialProtocol::blockFrame(block.address, block.data), flashLoader ? Awaiting::Nothing : Awaiting::Block,
         ReplyWatchdogMs);
    if (flashLoader)
        m_nextBlock->setEnabled(true);
}

void SerialLoader::nextBlock()
{
    m_nextBlock->setEnabled(false);
    m_awaiting = Awaiting::Block;
    m_line.write(SerialProtocol::NextBlock);
}

// The file's last data went out and was taken: the flash loader switches the speed for
// what follows, the application asks for its checksum.
void SerialLoader::fileSent()
{
    m_file.close();
    if (m_loadStep == FlashLoaderStep) {
        m_line.write(SerialProtocol::SwitchSpeed);
        m_loadStep = m_eraseAll || m_eraseSectors ? EraseStep : ApplicationStep;
        m_step->setEnabled(true);
    } else {
        m_checksum->setEnabled(true);
    }
}

void SerialLoader::checksumRequest()
{
    m_checksum->setEnabled(false);
    m_events.status(QStringLiteral("Verifying Checksum"), LoadEvents::Tone::Working);
    send(SerialProtocol::checksumRequest(m_firstAddress, m_lastAddress), Awaiting::Checksum, ReplyWatchdogMs);
}

// No answer: the request stands twice more, then the load gives up with status 7. In
// Comm Port mode there is no module to send the USB status request to.
void SerialLoader::watchdogExpired()
{
    m_watchdog->setEnabled(false);
    if (m_retries >= GiveUpAfterRetries) {
        endRun();
        m_events.loadStatus(LoadStatus::NoResponse); // beeps once as it shows the status
        Beep::beep();
        emit ended({LoadOutcome::Kind::Failed, LoadStatus::text(LoadStatus::NoResponse)});
        return;
    }
    ++m_retries;
    m_watchdog->setInterval(m_watchdogMs);
    m_watchdog->setEnabled(true);
}

// ---- the board's answers -------------------------------------------------------------------

// The first byte of what arrived decides; a checksum report is five bytes and is gathered
// first. Outside a run, and where the answer is not the one awaited, it is passed over.
void SerialLoader::received()
{
    const SerialProtocol::Bytes bytes = m_line.readAll();
    if (!m_running)
        return;
    m_received.insert(m_received.end(), bytes.begin(), bytes.end());
    if (m_received.empty())
        return;
    using SerialProtocol::Reply;
    const Reply reply = SerialProtocol::classify(m_received.front());
    if (reply == Reply::ChecksumReport && m_received.size() < SerialProtocol::ChecksumReportSize)
        return;
    const SerialProtocol::Bytes answer = std::move(m_received);
    m_received.clear();
    switch (reply) {
    case Reply::Done: acknowledged(); break;
    case Reply::EraseError: fail(QStringLiteral("Flash Erase Error!")); break;
    case Reply::ProgrammingError: fail(QStringLiteral("Programming Error!")); break;
    case Reply::ChecksumReport: checksumReported(answer); break;
    case Reply::DisplayFlash: m_events.status(QStringLiteral("Display Flash Memory"), LoadEvents::Tone::Working); break;
    case Reply::Other: break;
    }
}

void SerialLoader::checksumReported(const SerialProtocol::Bytes &report)
{
    if (m_awaiting != Awaiting::Checksum)
        return;
    if (*SerialProtocol::reportedChecksum(report) != static_cast<std::uint32_t>(m_expectedChecksum)) {
        fail(QStringLiteral("Checksum Error!"));
        return;
    }
    m_progress.complete();
    m_events.moduleRestarted();
    finish(QStringLiteral("Flash Load Complete - Cycle Module Power"), LoadOutcome::Kind::Completed);
}

void SerialLoader::acknowledged()
{
    const Awaiting awaited = m_awaiting;
    if (awaited == Awaiting::Nothing || awaited == Awaiting::Checksum)
        return; // a "0" out of turn acknowledges nothing
    m_awaiting = Awaiting::Nothing;
    m_events.working();
    m_watchdog->setEnabled(false);
    switch (awaited) {
    case Awaiting::BootImage:
        m_loadStep = FlashLoaderStep;
        m_step->setEnabled(true);
        break;
    case Awaiting::Block:
        if (m_file.exhausted()) {
            fileSent();
        } else {
            m_pacing->setInterval(NextFrameMs);
            m_pacing->setEnabled(true);
        }
        break;
    case Awaiting::Erase: {
        const QString text =
            m_eraseAll ? QStringLiteral("Flash Erase Complete") : QStringLiteral("Sector Erase Complete");
        m_progress.complete();
        m_eraseAll = m_eraseSectors = false;
        finish(text, LoadOutcome::Kind::Completed);
        break;
    }
    default: break; // the application start: its blocks follow on their own
    }
}
