#include "engines/flash/DownloadEngine.h"

#include "engines/flash/FirmwareChoice.h"

#include "core/Beep.h"
#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "driver/DriverResult.h"
#include "driver/ModuleConnection.h"
#include "engines/flash/LoadFileConversion.h"
#include "engines/flash/LoadStatus.h"

#include <algorithm>
#include <cmath>
#include <utility>

using namespace DownloadMessages;

namespace {
constexpr std::uint8_t ToModule = 1;
constexpr std::uint8_t ToDevice = 2;
constexpr std::uint8_t ModuleSequence = 1;
constexpr int ModuleStepMs = 250;
constexpr int StartOfFileMs = 500;
constexpr int QuickStepMs = 50;
constexpr int PacingFirstMs = 200;
constexpr int PacingMs = 25;
constexpr int PacingAfterCommitMs = 5;
constexpr int PrepareMs = 100;
constexpr int GiveUpAfterRetries = 2;
constexpr int FlushWaitMs = 100;

// Anything but a message taken or a reply not yet there means the module is gone.
bool isLinkError(std::int32_t result)
{
    return result != DriverResult::Success && result != DriverResult::NoResponse;
}

QString deviceErrorText(std::uint8_t status)
{
    switch (status) {
    case 3: return QStringLiteral("Buffer OverFlow, Device Adr ");
    case 5: return QStringLiteral("Checksum Error, Device Adr ");
    case 11: return QStringLiteral("Address Error, Device Adr ");
    default: return QStringLiteral("Programming Error, Device Adr ");
    }
}
} // namespace

DownloadEngine::DownloadEngine(ModuleDriver &driver, LoadEvents &events, QObject *parent)
    : Job(parent), m_driver(driver), m_events(events)
{
    m_pacing = makeTimer(QStringLiteral("pacing"), 50, &DownloadEngine::pacingStep);
    m_moduleExit = makeTimer(QStringLiteral("moduleExit"), 500, &DownloadEngine::moduleExitStep);
    m_watchdog = makeTimer(QStringLiteral("replyWatchdog"), 3000, &DownloadEngine::watchdogExpired);
    m_startOfFile = makeTimer(QStringLiteral("startOfFile"), 500, &DownloadEngine::startOfFileStep);
    m_start = makeTimer(QStringLiteral("startStep"), StartStepMs, &DownloadEngine::startStep);
    m_moduleChecksum = makeTimer(QStringLiteral("moduleChecksum"), 100, &DownloadEngine::moduleChecksumStep);
    m_poller = makeTimer(QStringLiteral("replyPoll"), PollMs, &DownloadEngine::poll);
    m_programRequest = makeTimer(QStringLiteral("programRequest"), 3000, &DownloadEngine::programRequest);
    m_setAddress = makeTimer(QStringLiteral("setAddress"), 50, &DownloadEngine::setAddressStep);
    m_commit = makeTimer(QStringLiteral("commit"), 100, &DownloadEngine::commitStep);
    m_exitLoader = makeTimer(QStringLiteral("exitLoader"), 1, &DownloadEngine::exitLoaderStep);
    m_nextDevice = makeTimer(QStringLiteral("nextDevice"), NextDeviceMs, &DownloadEngine::nextDeviceTimer);
    m_shortPause = makeTimer(QStringLiteral("dataMessagePause"), ShortPauseMs, &DownloadEngine::sendDataMessage);
    m_prepare = makeTimer(QStringLiteral("prepare"), 100, &DownloadEngine::prepareStep);
}

FormTimer *DownloadEngine::makeTimer(const QString &name, int intervalMs, void (DownloadEngine::*step)())
{
    // Parented to the window so every timer is found there under its name; to the engine
    // itself when it has no window.
    auto *timer = new FormTimer(name, intervalMs, parent() ? parent() : this);
    timer->setSingleShot(true);
    connect(timer, &FormTimer::timeout, this, step);
    m_timers.push_back(timer);
    return timer;
}

void DownloadEngine::arm(FormTimer *timer, int intervalMs)
{
    timer->setInterval(intervalMs);
    timer->setEnabled(true);
}

void DownloadEngine::armWatchdog(int intervalMs, int retryCount)
{
    m_retryCount = retryCount;
    arm(m_watchdog, intervalMs);
    m_poller->setEnabled(true);
}

void DownloadEngine::stopWatchdogAndPoll()
{
    m_watchdog->setEnabled(false);
    m_poller->setEnabled(false);
}

std::uint8_t DownloadEngine::advanceSequence()
{
    m_sequence = nextSequence(m_sequence);
    return m_sequence;
}

// False when the link is lost: the load has then ended with the USB error, which asks
// for the module to be connected again.
bool DownloadEngine::sendToDevice(const Bytes &message, std::uint8_t sequence)
{
    if (m_settings.debug)
        m_events.debugBytes(message);
    Bytes copy = message;
    const std::int32_t r =
        m_driver.DevDownLoad(ToDevice, copy.data(), static_cast<std::uint8_t>(copy.size()), sequence);
    if (!isLinkError(r))
        return true;
    abandon(LoadStatus::UsbError);
    return false;
}

std::int32_t DownloadEngine::sendToModule(const Bytes &message)
{
    if (m_settings.debug)
        m_events.debugBytes(message);
    Bytes copy = message;
    return m_driver.DevDownLoad(ToModule, copy.data(), static_cast<std::uint8_t>(copy.size()), ModuleSequence);
}

void DownloadEngine::sendDeviceStep(const Bytes &message, std::uint8_t replyCode, int watchdogMs)
{
    m_lastReplyCode = replyCode;
    if (sendToDevice(message, advanceSequence()))
        armWatchdog(watchdogMs, 0);
}

bool DownloadEngine::sendModuleStep(const Bytes &message)
{
    const std::int32_t r = sendToModule(message);
    if (r != 0) {
        abandonOnDriverResult(r);
        return false;
    }
    armWatchdog(StepWatchdogMs, 0);
    return true;
}

void DownloadEngine::sendAbortByte()
{
    std::uint8_t byte = AbortLoad;
    m_driver.SndModData(&byte, 1);
    if (m_settings.debug)
        m_events.debugBytes(std::span<const std::uint8_t>(&byte, 1));
}

// A reply was handled: the next block goes out, unless the load is paused until let go.
void DownloadEngine::armPacingUnlessPaused(int intervalMs)
{
    m_pacing->setInterval(intervalMs);
    if (m_settings.paused)
        m_heldByPause = true;
    else
        m_pacing->setEnabled(true);
}

// No step runs and no reply is waited for any more.
void DownloadEngine::stopLoad()
{
    ++m_loadNumber;
    m_file.close();
    for (FormTimer *timer : m_timers)
        timer->setEnabled(false);
    m_heldByPause = false;
    m_transferActive = false;
    m_loadBusy = false;
}

// The load ends with a load status: the module's, or the engine's own.
void DownloadEngine::abandon(int loadStatus)
{
    stopLoad();
    m_events.loadStatus(loadStatus);
    const bool lost = loadStatus == LoadStatus::UsbError;
    end(lost ? LoadOutcome::Kind::ModuleLost : LoadOutcome::Kind::Failed, LoadStatus::text(loadStatus));
}

// The load ends because a driver call failed: the module gone is told apart from the rest.
void DownloadEngine::abandonOnDriverResult(std::int32_t result)
{
    const int loadStatus = LoadStatus::ofDriverResult(result);
    stopLoad();
    m_events.loadStatus(loadStatus);
    const bool lost = loadStatus == LoadStatus::UsbError || DriverResult::moduleGone(result);
    end(lost ? LoadOutcome::Kind::ModuleLost : LoadOutcome::Kind::Failed, LoadStatus::text(loadStatus));
}

// A file that cannot go on midway (gone, or changed since it was checked) ends the load
// with the abort byte, so the target is not left in its loader.
void DownloadEngine::abandonFile()
{
    abandon(LoadStatus::InvalidLoadFile);
    sendAbortByte();
}

void DownloadEngine::end(LoadOutcome::Kind kind, const QString &text)
{
    emit ended(LoadOutcome{kind, text});
}

bool DownloadEngine::running() const
{
    return m_transferActive || m_loadBusy || m_heldByPause || m_replyPending ||
           std::any_of(m_timers.begin(), m_timers.end(), [](const FormTimer *t) { return t->isEnabled(); });
}

void DownloadEngine::abortLoad()
{
    if (!running())
        return;
    stopLoad();
    sendAbortByte();
    end(LoadOutcome::Kind::Interrupted, QStringLiteral("Interrupted"));
}

void DownloadEngine::flushReplies(std::function<void()> then)
{
    ModuleConnection::drain(m_driver, this, FlushWaitMs,
                            [this, then = std::move(then)](const ModuleConnection::Records &records) {
                                for (const auto &record : records) {
                                    if (m_settings.debug)
                                        m_events.debugBytes(record);
                                }
                                if (then)
                                    then();
                            });
}

// ---- starting ------------------------------------------------------------------------

Problem DownloadEngine::loadDevice(std::uint8_t address, const QString &firmwareFile, const QString &type,
                                   bool knownType)
{
    Problem problem = FirmwareChoice::prepare(firmwareFile, type, address);
    if (!problem)
        startDevice(address, firmwareFile, knownType);
    return problem;
}

Problem DownloadEngine::loadWholeFile(const QString &file, std::uint8_t address, bool knownType)
{
    Problem problem = FirmwareChoice::checkWholeFile(file, m_settings.devices);
    if (!problem)
        startFile(file, address, knownType);
    return problem;
}

void DownloadEngine::startDevice(std::uint8_t address, const QString &firmwareFile, bool knownType)
{
    m_deviceAddress = address;
    m_knownType = knownType;
    m_downloadBase = LoadFileConversion::base(firmwareFile);
    m_loadFileName = LoadFileConversion::downloadFile(firmwareFile, QLatin1Char('a'));
    m_progress.start(100);
    m_events.status(QStringLiteral("Requesting Reliable Connection - Device Adr ") + QString::number(address),
                    LoadEvents::Tone::Working);
    m_sendFile = m_loadFileName;
    m_loadStep = 4;
    m_transferActive = true;
    m_loadBusy = true;
    m_heldByPause = false;
    m_start->setEnabled(true);
    emit started();
}

void DownloadEngine::startFile(const QString &file, std::uint8_t address, bool knownType)
{
    m_deviceAddress = address;
    m_knownType = knownType;
    m_loadFileName = file;
    m_sendFile = file;
    m_loadStep = 4;
    m_transferActive = true;
    m_loadBusy = true;
    m_heldByPause = false;
    m_start->setEnabled(true);
    emit started();
}

void DownloadEngine::startStep()
{
    m_start->setEnabled(false);
    if (m_settings.devices) {
        m_lastReplyCode = ReliableConnection;
        if (!sendToDevice(reliableConnection(m_deviceAddress, m_settings.imageType), 0))
            return;
        armWatchdog(ConnectionWatchdogMs, 0);
    } else {
        const bool application = m_settings.imageType == ImageType::Application;
        if (!sendModuleStep(moduleEnterLoader(application)))
            return;
    }
    m_sequence = 1;
}

bool DownloadEngine::scanFileRange()
{
    const auto lines = RecordFile::readLines(m_loadFileName);
    if (!lines)
        return false;
    if (m_settings.devices) {
        const SRecord::Range range = SRecord::addressRange(*lines);
        m_firstAddress = range.first;
        m_lastAddress = range.last;
    } else {
        // The module sums what it ends up holding, whatever the order of the records.
        const SRecord::Image image = SRecord::image(*lines);
        m_firstAddress = image.first;
        m_lastAddress = image.last;
        m_imageChecksum = image.checksum;
    }
    // A device's second and third files count one step fewer than a first file.
    m_progress.start(static_cast<int>(lines->size()) + (m_loadStep == 4 ? 2 : 1));
    return true;
}

void DownloadEngine::startOfFileStep()
{
    m_startOfFile->setEnabled(false);
    if (!scanFileRange()) {
        abandonFile();
        return;
    }
    if (m_settings.devices) {
        // Every file of a device starts its own address count.
        m_device.startFile(m_firstAddress);
    } else {
        m_allFF = 255.0 * static_cast<double>(m_lastAddress - m_firstAddress + 1);
        m_expectedChecksum = m_imageChecksum;
    }
    if (!m_file.open(m_sendFile)) {
        abandonFile();
        return;
    }
    m_file.readNext();
    m_progress.step();
    arm(m_pacing, PacingFirstMs);
}

// ---- sending -------------------------------------------------------------------------

void DownloadEngine::pacingStep()
{
    m_pacing->setEnabled(false);
    if (m_settings.devices)
        deviceBlock();
    else
        moduleBlock();
}

void DownloadEngine::deviceBlock()
{
    if (m_lastReplyCode == SetAddress) {
        m_setAddress->setEnabled(true);
        return;
    }
    nextDeviceAction();
}

// The data messages of a block go out one after another, each after a short pause,
// without waiting for replies; the commit ends the block.
void DownloadEngine::nextDeviceAction()
{
    DeviceBlockSender::Hooks hooks;
    hooks.advanceSequence = [this] { return advanceSequence(); };
    hooks.lineRead = [this] { m_progress.step(); };
    DeviceBlockSender::Action action = m_device.next(m_file, m_deviceAddress, hooks);
    switch (action.kind) {
    case DeviceBlockSender::Action::Kind::Send:
        m_dataMessage = std::move(action);
        arm(m_shortPause, ShortPauseMs);
        break;
    case DeviceBlockSender::Action::Kind::Commit: m_commit->setEnabled(true); break;
    case DeviceBlockSender::Action::Kind::Invalid: abandonFile(); break;
    }
}

void DownloadEngine::sendDataMessage()
{
    m_shortPause->setEnabled(false);
    if (sendToDevice(m_dataMessage.message, m_dataMessage.sequence))
        nextDeviceAction();
}

void DownloadEngine::moduleBlock()
{
    const ModuleBlockSender::Block block =
        ModuleBlockSender::next(m_file, ModuleBlockSender::UsbBlockLimit, [this] { m_progress.step(); });
    if (block.invalid) {
        abandonFile();
        return;
    }
    if (block.data.empty()) {
        arm(m_moduleChecksum, ModuleStepMs);
        return;
    }
    const Bytes message = DownloadMessages::moduleBlock(m_sequence, block.address, block.data);
    advanceSequence();
    sendModuleStep(message);
}

void DownloadEngine::programRequest()
{
    m_programRequest->setEnabled(false);
    m_sequence = 1;
    m_lastReplyCode = ProgramRequest;
    if (!sendToDevice(DownloadMessages::programRequest(m_deviceAddress, m_settings.imageType), m_sequence))
        return;
    // A late answer to the program request is not asked for again.
    armWatchdog(ProgramRequestWatchdogMs, GiveUpAfterRetries);
}

void DownloadEngine::prepareStep()
{
    m_prepare->setEnabled(false);
    sendDeviceStep(prepare(m_deviceAddress), Prepare, StepWatchdogMs);
}

void DownloadEngine::setAddressStep()
{
    m_setAddress->setEnabled(false);
    sendDeviceStep(setAddress(m_deviceAddress, m_device.firstAddress, m_knownType), SetAddress, StepWatchdogMs);
}

void DownloadEngine::commitStep()
{
    m_commit->setEnabled(false);
    sendDeviceStep(commit(m_deviceAddress), Commit, StepWatchdogMs);
}

void DownloadEngine::exitLoaderStep()
{
    m_exitLoader->setEnabled(false);
    m_lastReplyCode = ExitLoader;
    if (sendToDevice(exitLoader(m_deviceAddress), advanceSequence()))
        armWatchdog(ExitWatchdogMs, m_retryCount);
}

// ---- end of a file ---------------------------------------------------------------------

void DownloadEngine::deviceFileChecksum()
{
    m_lastReplyCode = FileChecksum;
    if (m_settings.debug)
        m_events.debugText(QStringLiteral("\nChecksum = ") + TextFormat::hexNumber(m_device.expectedChecksum));
    const long sum = m_device.expectedChecksum;
    m_device.expectedChecksum = -sum;
    if (!sendToDevice(fileChecksum(m_deviceAddress, sum), advanceSequence()))
        return;

    if (!m_settings.directFile) {
        const QString &prefix = m_downloadBase;
        const QChar letter = m_loadFileName.size() > prefix.size() ? m_loadFileName[prefix.size()] : QChar();
        QString next;
        QString status;
        if (letter == QLatin1Char('a')) {
            next = prefix + QStringLiteral("b.dwn");
            if (LoadFileConversion::textFileIsSent(next)) {
                status = QStringLiteral("Loading Text File - Device Adr ");
            } else {
                next = prefix + QStringLiteral("c.dwn");
                status = QStringLiteral("Loading FPGA File - Device Adr ");
            }
        } else if (letter == QLatin1Char('b')) {
            next = prefix + QStringLiteral("c.dwn");
            status = QStringLiteral("Loading FPGA File - Device Adr ");
        }
        if (!next.isEmpty()) {
            m_loadFileName = next;
            m_events.status(status + QString::number(m_deviceAddress), LoadEvents::Tone::Working);
            m_sendFile = m_loadFileName;
            scanFileRange();
            m_device.expectedChecksum = 0;
            m_loadStep = 1;
            m_lastReplyCode = NextFile;
        }
    }
    armWatchdog(StepWatchdogMs, 0);
}

void DownloadEngine::moduleChecksumStep()
{
    m_moduleChecksum->setEnabled(false);
    m_events.status(QStringLiteral("Verifying Checksum"), LoadEvents::Tone::Working);
    sendModuleStep(moduleChecksumRequest(m_firstAddress, m_lastAddress));
}

void DownloadEngine::moduleExitStep()
{
    m_moduleExit->setEnabled(false);
    sendModuleStep(moduleExit(m_checksumMatched));
}

// ---- replies and the watchdog --------------------------------------------------------------

// The reply is awaited on the driver's thread. A watchdog that falls due meanwhile waits
// for it: a reply that is ours stops the watchdog, as it would have had the wait held
// the window; any other outcome lets it act.
void DownloadEngine::poll()
{
    m_poller->setEnabled(false);
    m_replyPending = true;
    const unsigned load = m_loadNumber;
    ModuleConnection::read(m_driver, this, PollWaitMs, [this, load](const ModuleRecord &reply) {
        m_replyPending = false;
        const bool watchdogDue = std::exchange(m_watchdogDue, false);
        if (load != m_loadNumber)
            return; // the load ended while its reply was awaited
        if (!takeReply(reply.result, reply.received()) && watchdogDue && load == m_loadNumber)
            watchdogExpired();
    });
}

// True when the reply was one of the load's.
bool DownloadEngine::takeReply(std::int32_t r, std::span<const std::uint8_t> reply)
{
    if (isLinkError(r)) {
        abandon(LoadStatus::UsbError);
        return false;
    }
    if (r != DriverResult::Success) {
        m_poller->setEnabled(true);
        return false;
    }
    if (m_settings.debug)
        m_events.debugBytes(reply);
    if (reply.size() > 5 && reply[0] == 1 && reply[3] == ModuleReplyMarker) {
        m_watchdog->setEnabled(false);
        handleModuleReply(reply[4], reply[5], reply);
        return true;
    }
    if (reply.size() > 9 && reply[0] == 2 && reply[8] == DeviceReply) {
        m_watchdog->setEnabled(false);
        handleDeviceReply(reply[9]);
        return true;
    }
    m_poller->setEnabled(true); // not ours: keep listening
    return false;
}

void DownloadEngine::handleModuleReply(std::uint8_t code, std::uint8_t status, std::span<const std::uint8_t> reply)
{
    switch (code) {
    case ModuleEnterLoader:
        if (status == 0) {
            arm(m_startOfFile, StartOfFileMs);
        } else {
            if (m_settings.debug)
                m_events.debugText(QStringLiteral("\n") + TextFormat::hexNumber(static_cast<long long>(reply.size())));
            abandon(status);
        }
        break;
    case ModuleDataBlock:
        if (status != 0)
            abandon(status);
        else if (m_file.exhausted())
            arm(m_moduleChecksum, ModuleStepMs);
        else
            armPacingUnlessPaused(PacingMs);
        break;
    case ModuleChecksumRequest: moduleChecksumReply(status, reply); break;
    case ModuleExitLoader: moduleExitReply(status); break;
    default: break;
    }
}

// The module's checksum of what it was sent is matched with the file's.
void DownloadEngine::moduleChecksumReply(std::uint8_t status, std::span<const std::uint8_t> reply)
{
    if (status != 0) {
        abandon(status);
        Beep::beep();
        return;
    }
    const std::uint32_t reported = reply.size() > 9
                                       ? (std::uint32_t{reply[6]} << 24) | (std::uint32_t{reply[7]} << 16) |
                                             (std::uint32_t{reply[8]} << 8) | reply[9]
                                       : 0;
    if (m_settings.debug) {
        m_events.debugText(QStringLiteral("\nAllFF = ") + TextFormat::hexNumber(std::llround(m_allFF)));
        m_events.debugText(QStringLiteral("\nCalculated Checksum = ") + TextFormat::hexNumber(m_expectedChecksum));
        m_events.debugText(QStringLiteral("\nReported Checksum = ") + TextFormat::hexNumber(reported));
    }
    m_checksumMatched = reported == static_cast<std::uint32_t>(m_expectedChecksum);
    arm(m_moduleExit, ModuleStepMs);
    Beep::beep();
}

// The module has left its loader: the load is complete when the checksums matched.
void DownloadEngine::moduleExitReply(std::uint8_t status)
{
    if (status != 0) {
        abandon(status);
        return;
    }
    m_file.close();
    if (!m_checksumMatched) {
        abandon(LoadStatus::ChecksumError);
    } else {
        m_events.status(QStringLiteral("Load Complete - Recycle Power"), LoadEvents::Tone::Completed);
        m_events.moduleRestarted();
        m_events.finished();
        m_loadBusy = false;
    }
    m_transferActive = false;
    m_progress.complete();
    if (m_checksumMatched)
        end(LoadOutcome::Kind::Completed, QStringLiteral("Load Complete - Recycle Power"));
}

void DownloadEngine::handleDeviceReply(std::uint8_t status)
{
    if (status != 0) {
        deviceError(status);
        return;
    }
    m_poller->setEnabled(false);
    switch (m_lastReplyCode) {
    case ReliableConnection:
        m_events.status(QStringLiteral("Loading Application File - Device Adr ") + QString::number(m_deviceAddress),
                        LoadEvents::Tone::Working);
        arm(m_programRequest, QuickStepMs);
        break;
    case ProgramRequest: arm(m_prepare, PrepareMs); break;
    case Prepare:
        m_lastReplyCode = SetAddress;
        m_device.messageCount = 0;
        arm(m_startOfFile, QuickStepMs);
        break;
    case SetAddress:
        m_lastReplyCode = Data;
        m_device.messageCount = 0;
        armPacingUnlessPaused(PacingMs);
        break;
    case Data: armPacingUnlessPaused(QuickStepMs); break;
    case Commit:
        if (m_file.exhausted()) {
            deviceFileChecksum();
        } else {
            m_lastReplyCode = SetAddress;
            m_device.firstAddress = m_device.nextAddress;
            arm(m_pacing, PacingAfterCommitMs);
        }
        break;
    case FileChecksum: m_exitLoader->setEnabled(true); break;
    case ExitLoader:
        m_file.close();
        m_watchdog->setEnabled(false);
        m_nextDevice->setEnabled(true);
        break;
    case NextFile: arm(m_programRequest, QuickStepMs); break;
    default: break;
    }
}

void DownloadEngine::deviceError(std::uint8_t status)
{
    m_file.close();
    stopWatchdogAndPoll();
    // The load ends with this device: nothing stays busy, so the next load can start.
    m_transferActive = false;
    m_loadBusy = false;
    const QString text = deviceErrorText(status) + QString::number(m_deviceAddress);
    m_events.status(text, LoadEvents::Tone::Failed);
    m_events.finished();
    end(LoadOutcome::Kind::Failed, text);
}

void DownloadEngine::watchdogExpired()
{
    if (m_replyPending) {
        m_watchdogDue = true;
        return;
    }
    stopWatchdogAndPoll();
    if (m_lastReplyCode == ExitLoader) {
        m_nextDevice->setEnabled(true);
        return;
    }
    if (m_retryCount >= GiveUpAfterRetries) {
        abandon(LoadStatus::NoResponse);
        Beep::beep();
        sendAbortByte();
        return;
    }
    ++m_retryCount;
    if (m_settings.debug)
        m_events.debugText(QStringLiteral("\nResend Status Request"));
    m_watchdog->setEnabled(true);
    m_poller->setEnabled(true);
    std::uint8_t byte = StatusRequest;
    m_driver.SndModData(&byte, 1);
    if (m_settings.debug)
        m_events.debugBytes(std::span<const std::uint8_t>(&byte, 1));
}

void DownloadEngine::nextDeviceTimer()
{
    m_nextDevice->setEnabled(false);
    end(LoadOutcome::Kind::Completed, QStringLiteral("Load Complete"));
}

void DownloadEngine::finishUpload()
{
    m_events.status(QStringLiteral("Upload Complete"), LoadEvents::Tone::Completed);
    m_watchdog->setEnabled(false);
    m_events.finished();
    m_loadBusy = false;
    m_transferActive = false;
    flushReplies();
}

void DownloadEngine::resume()
{
    if (!m_heldByPause || m_settings.paused)
        return;
    m_heldByPause = false;
    m_pacing->setEnabled(true);
}
