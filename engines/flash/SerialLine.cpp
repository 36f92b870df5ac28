#include "engines/flash/SerialLine.h"

#include <QSerialPort>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

SerialPortLine::SerialPortLine(QSerialPort *port, QObject *parent) : SerialLine(parent), m_port(port)
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialLine::received);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialPortLine::failed);
}

bool SerialPortLine::open(const QString &device)
{
    close();
    m_device = device;
    m_busy = false;
    m_failure.clear();
    if (!probe(device))
        return false;
    m_port->setPortName(device);
    if (m_port->open(QIODevice::ReadWrite))
        return true;
    // The device answered the probe, so a refusal here is another program's lock on it.
    m_busy = m_port->error() == QSerialPort::PermissionError;
    m_failure = m_port->errorString();
    m_port->clearError();
    return false;
}

// Whether the device is a terminal this program may open, and why not: the serial port
// only tells "permission" or "unknown" for a missing device, a file or a busy port.
bool SerialPortLine::probe(const QString &device)
{
    if (device.isEmpty()) {
        m_failure = QStringLiteral("no device named");
        return false;
    }
    const QByteArray name = device.toLocal8Bit();
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        m_failure = systemReason(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        m_failure = systemReason(EISDIR);
        return false;
    }
    if (!S_ISCHR(info.st_mode)) {
        m_failure = QStringLiteral("not a serial port");
        return false;
    }
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_busy = errno == EBUSY;
        m_failure = systemReason(errno);
        return false;
    }
    termios settings{};
    const bool terminal = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    if (!terminal)
        m_failure = QStringLiteral("not a serial port");
    return terminal;
}

void SerialPortLine::close()
{
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
}

QString SerialPortLine::device() const
{
    return m_device;
}

void SerialPortLine::setSpeed(int baud)
{
    m_port->setBaudRate(baud);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setStopBits(QSerialPort::TwoStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
}

void SerialPortLine::write(const Bytes &bytes)
{
    if (!m_port->isOpen())
        return;
    m_port->write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    m_port->flush();
}

void SerialPortLine::clearInput()
{
    m_port->clear(QSerialPort::Input);
}

SerialLine::Bytes SerialPortLine::readAll()
{
    const QByteArray bytes = m_port->readAll();
    return Bytes(bytes.begin(), bytes.end());
}

// A port whose reads or writes fail keeps signalling its error for as long as it stays
// open: it is closed here, once, and the loader is told.
void SerialPortLine::failed()
{
    switch (m_port->error()) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::DeviceNotFoundError: break;
    default: return; // refused line settings and the like leave the port usable
    }
    if (!m_port->isOpen())
        return;
    const QString why = m_port->errorString();
    close();
    emit lost(why);
}
