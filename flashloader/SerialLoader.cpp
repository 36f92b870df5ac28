#include "SerialLoader.h"

#include "Beep.h"
#include "FormTimer.h"
#include "LoadStatus.h"

#include <QSerialPort>

namespace {
constexpr int BootStep = 2, FlashLoaderStep = 3, ApplicationStep = 4, EraseStep = 5;
constexpr int GiveUpAfterRetries = 2;
} // namespace

SerialLoader::SerialLoader(QSerialPort *port, LoadHost &host, FormTimer *stepTimer, FormTimer *nextBlockTimer,
                           std::function<QString(int)> deviceOf, QObject *parent)
    : QObject(parent), m_port(port), m_host(host), m_step(stepTimer), m_nextBlock(nextBlockTimer),
      m_deviceOf(std::move(deviceOf))
{
    m_step->setSingleShot(true);
    m_step->setInterval(StepMs);
    connect(m_step, &FormTimer::timeout, this, &SerialLoader::step);
    m_nextBlock->setSingleShot(true);
    m_nextBlock->setInterval(NextBlockMs);
    connect(m_nextBlock, &FormTimer::timeout, this, &SerialLoader::nextBlock);
    m_bootCommand = makeTimer("SerialBootCommand", BootCommandMs, &SerialLoader::bootCommand);
    m_applicationStart = makeTimer("SerialApplicationStart", ApplicationStartMs, &SerialLoader::applicationStart);
    m_checksum = makeTimer("SerialChecksum", ChecksumMs, &SerialLoader::checksumRequest);
    m_startOfFile = makeTimer("SerialStartOfFile", StartOfFileMs, &SerialLoader::startOfFile);
    m_pacing = makeTimer("SerialPacing", FirstBlockMs, &SerialLoader::pacing);
    m_watchdog = makeTimer("SerialWatchdog", ReplyWatchdogMs, &SerialLoader::watchdogExpired);
    connect(m_port, &QSerialPort::readyRead, this, &SerialLoader::received);
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
    if (m_port->isOpen())
        m_port->close();
    m_port->setPortName(m_deviceOf(port));
    const bool opened = !m_port->portName().isEmpty() && m_port->open(QIODevice::ReadWrite);
    if (port == 1) {
        m_port1Or2 = opened ? 1 : 0;
        if (opened)
            m_host.showStatus(QStringLiteral("Select Load File"), LoadHost::Colour::Information);
        else
            m_host.showStatus(QStringLiteral("Comm Port 1 in use!"), LoadHost::Colour::Error);
    } else {
        m_port1Or2 = opened ? 2 : 0;
        if (!opened)
            m_host.showStatus(QStringLiteral(" Com2 not a valid port - Reselect Port!"), LoadHost::Colour::Error);
    }
    if (opened)
        setSpeed(9600);
    else
        Beep::beep();
    return opened;
}

bool SerialLoader::openChosenPort()
{
    if (m_port->isOpen())
        m_port->close();
    m_port->setPortName(m_deviceOf(m_port1Or2));
    return m_port->open(QIODevice::ReadWrite);
}

// "n,8,2" at the given speed; a pseudo-terminal refuses some line calls, which is no fault.
void SerialLoader::setSpeed(int baud)
{
    m_port->setBaudRate(baud);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setStopBits(QSerialPort::TwoStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
}

void SerialLoader::write(const SerialProtocol::Bytes &bytes)
{
    m_port->write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    m_port->flush();
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

void SerialLoader::stop()
{
    stopTimers();
    m_file.close();
    if (m_port->isOpen())
        m_port->close();
}

void SerialLoader::fail(const QString &text)
{
    finish(text, LoadHost::Colour::Error);
}

void SerialLoader::finish(const QString &text, LoadHost::Colour colour)
{
    stopTimers();
    m_file.close();
    m_host.showStatus(text, colour);
    m_host.enableLoadButtons();
    Beep::beep();
}

// ---- the sequence --------------------------------------------------------------------------

void SerialLoader::start(const QString &applicationFile, Request request)
{
    m_eraseAll = request == Request::EraseAll;
    m_eraseSectors = request == Request::EraseSectors;
    if (m_port->isOpen())
        m_port->close();
    if (m_port1Or2 == 0) {
        m_host.showStatus(QStringLiteral("No Comm Port Selected"), LoadHost::Colour::Error);
        return;
    }
    if (!openChosenPort()) {
        fail(m_port1Or2 == 1 ? QStringLiteral("Comm Port 1 in use!")
                             : QStringLiteral(" Com2 not a valid port - Reselect Port!"));
        return;
    }
    if (applicationFile.isEmpty() && request == Request::Application) {
        m_host.showStatus(QStringLiteral(" Select File to Load!"), LoadHost::Colour::Error);
        return;
    }
    setSpeed(9600);
    m_applicationFile = applicationFile;
    m_loadApplication = request == Request::Application;
    m_loadStep = BootStep;
    m_host.setProgress(0, 100);
    sendBootImage();
}

void SerialLoader::sendBootImage()
{
    const auto lines = RecordFile::readLines(BootLoaderFile);
    if (!lines) {
        fail(QStringLiteral("Cannot read ") + BootLoaderFile.mid(2));
        return;
    }
    QString why;
    const auto image = SerialProtocol::bootImage(*lines, &why);
    if (!image) {
        fail(why);
        return;
    }
    m_port->clear(QSerialPort::Input);
    m_received.clear();
    write(SerialProtocol::Bytes(image->begin(), image->begin() + SerialProtocol::BootImageSent));
    m_bootCommand->setEnabled(true);
    armWatchdog(ReplyWatchdogMs);
}

void SerialLoader::bootCommand()
{
    m_bootCommand->setEnabled(false);
    write(SerialProtocol::StartBootImage);
}

void SerialLoader::step()
{
    m_step->setEnabled(false);
    m_host.setStatusColour(LoadHost::Colour::Information);
    switch (m_loadStep) {
    case FlashLoaderStep:
        m_host.showStatus(QStringLiteral("Loading Flash Loader"), LoadHost::Colour::Information);
        m_sendFile = FlashLoaderFile;
        m_startOfFile->setEnabled(true);
        break;
    case ApplicationStep:
        m_sendFile = m_applicationFile;
        m_host.showStatus(QStringLiteral("Loading Application"), LoadHost::Colour::Information);
        setSpeed(38400);
        m_applicationStart->setEnabled(true);
        break;
    case EraseStep:
        setSpeed(38400);
        if (m_eraseSectors) {
            eraseSectors();
        } else {
            m_host.showStatus(QStringLiteral(" Erasing Flash(20 to 40 Seconds)"), LoadHost::Colour::Information);
            write(SerialProtocol::EraseAll);
            armWatchdog(EraseWatchdogMs);
        }
        break;
    default: break;
    }
}

void SerialLoader::eraseSectors()
{
    m_host.showStatus(QStringLiteral(" Erasing Sector(20 to 40 Seconds)"), LoadHost::Colour::Information);
    write(SerialProtocol::eraseSectors(m_mask));
    armWatchdog(EraseWatchdogMs);
}

void SerialLoader::applicationStart()
{
    m_applicationStart->setEnabled(false);
    write(SerialProtocol::StartApplication);
    armWatchdog(ReplyWatchdogMs);
    m_startOfFile->setEnabled(true);
}

// The file's range, progress and first line; the application also starts its checksum
// from an erased range, every byte 0xFF.
void SerialLoader::startOfFile()
{
    m_startOfFile->setEnabled(false);
    const auto lines = RecordFile::readLines(m_sendFile);
    if (!lines || !m_file.open(m_sendFile)) {
        fail(LoadStatus::text(LoadStatus::InvalidLoadFile));
        return;
    }
    if (m_loadStep == ApplicationStep) {
        const SRecord::Range range = SRecord::addressRange(*lines);
        m_firstAddress = range.first;
        m_lastAddress = range.last;
        m_expectedChecksum = 255 * (m_lastAddress - m_firstAddress + 1);
        m_host.setProgress(0, static_cast<int>(lines->size()) + 2);
    } else {
        m_host.setProgress(0, static_cast<int>(lines->size()) + 1);
    }
    m_file.readNext();
    m_host.stepProgress();
    m_pacing->setInterval(FirstBlockMs);
    m_pacing->setEnabled(true);
}

void SerialLoader::pacing()
{
    m_pacing->setEnabled(false);
    long ignored = 0;
    const ModuleBlockSender::Block block = ModuleBlockSender::next(
        m_file, SerialProtocol::BlockLimit, m_loadStep == ApplicationStep ? m_expectedChecksum : ignored,
        [this] { m_host.stepProgress(); });
    if (block.invalid) {
        fail(LoadStatus::text(LoadStatus::InvalidLoadFile));
        return;
    }
    write(SerialProtocol::blockFrame(block.address, block.data));
    armWatchdog(ReplyWatchdogMs);
    if (m_loadStep == FlashLoaderStep)
        m_nextBlock->setEnabled(true);
}

void SerialLoader::nextBlock()
{
    m_nextBlock->setEnabled(false);
    write(SerialProtocol::NextBlock);
}

void SerialLoader::checksumRequest()
{
    m_checksum->setEnabled(false);
    m_host.showStatus(QStringLiteral("Verifying Checksum"), LoadHost::Colour::Information);
    write(SerialProtocol::checksumRequest(m_firstAddress, m_lastAddress));
}

// No answer: the request stands twice more, then the load gives up with status 7. In
// Comm Port mode there is no module to send the USB status request to.
void SerialLoader::watchdogExpired()
{
    m_watchdog->setEnabled(false);
    if (m_retries >= GiveUpAfterRetries) {
        stopTimers();
        m_file.close();
        m_host.showLoadStatus(LoadStatus::NoResponse);
        return;
    }
    ++m_retries;
    m_watchdog->setInterval(m_watchdogMs);
    m_watchdog->setEnabled(true);
}

// ---- the board's answers -------------------------------------------------------------------

// Each answer is one byte, but a checksum report is five: it is gathered before it is read.
void SerialLoader::received()
{
    const QByteArray bytes = m_port->readAll();
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
    case Reply::ChecksumReport: {
        const std::uint32_t reported = *SerialProtocol::reportedChecksum(answer);
        if (reported != static_cast<std::uint32_t>(m_expectedChecksum)) {
            finish(QStringLiteral("Checksum Error!"), LoadHost::Colour::Error);
        } else {
            finish(QStringLiteral("Flash Load Complete - Cycle Module Power"), LoadHost::Colour::Success);
            m_host.completeProgress();
            m_host.moduleRestarted();
        }
        break;
    }
    case Reply::DisplayFlash:
        m_host.showStatus(QStringLiteral("Display Flash Memory"), LoadHost::Colour::Information);
        break;
    case Reply::Other: break;
    }
}

// The next frame of the file goes out after the pacing pause; false when none is left.
bool SerialLoader::paceNextFrame()
{
    if (m_file.exhausted())
        return false;
    m_pacing->setInterval(NextFrameMs);
    m_pacing->setEnabled(true);
    return true;
}

void SerialLoader::acknowledged()
{
    m_host.setStatusColour(LoadHost::Colour::Information);
    m_watchdog->setEnabled(false);
    switch (m_loadStep) {
    case BootStep:
        m_loadStep = FlashLoaderStep;
        m_step->setEnabled(true);
        break;
    case FlashLoaderStep:
        if (paceNextFrame())
            break;
        write(SerialProtocol::SwitchSpeed);
        m_file.close();
        m_loadStep = m_eraseAll || m_eraseSectors ? EraseStep : ApplicationStep;
        m_step->setEnabled(true);
        break;
    case ApplicationStep:
        if (!paceNextFrame() && !m_startOfFile->isEnabled() && m_file.isOpen())
            m_checksum->setEnabled(true);
        break;
    case EraseStep:
        finish(m_eraseAll ? QStringLiteral("Flash Erase Complete") : QStringLiteral("Sector Erase Complete"),
               LoadHost::Colour::Success);
        m_eraseAll = m_eraseSectors = false;
        break;
    default: break;
    }
}
