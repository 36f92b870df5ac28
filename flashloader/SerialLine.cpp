#include "SerialLine.h"

#include <QSerialPort>

SerialPortLine::SerialPortLine(QSerialPort *port, QObject *parent) : SerialLine(parent), m_port(port)
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialLine::received);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialPortLine::failed);
}

bool SerialPortLine::open(const QString &device)
{
    close();
    m_device = device;
    m_port->setPortName(device);
    return !device.isEmpty() && m_port->open(QIODevice::ReadWrite);
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
