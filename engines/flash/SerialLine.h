#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class QSerialPort;

// What the serial loader needs of a COM port: open it, set its speed, write bytes and be
// told when bytes arrive or the port is lost.
class SerialLine : public QObject {
    Q_OBJECT
public:
    using Bytes = std::vector<std::uint8_t>;
    using QObject::QObject;

    // Opens the device, closing whatever was open first; false when it cannot be opened.
    virtual bool open(const QString &device) = 0;
    // After a failed open: whether another program holds the port, and otherwise why.
    virtual bool openBusy() const { return false; }
    virtual QString openFailure() const { return {}; }
    virtual void close() = 0;
    // The device opened last.
    virtual QString device() const = 0;
    // "n,8,2" at the given speed.
    virtual void setSpeed(int baud) = 0;
    virtual void write(const Bytes &bytes) = 0;
    virtual void clearInput() = 0;
    virtual Bytes readAll() = 0;

signals:
    void received();
    // The port failed while open (the cable or the board went away); it is closed already.
    void lost(const QString &why);
};

// A SerialLine on a QSerialPort. A pseudo-terminal refuses the modem-control calls, which
// is no fault; a port that fails to read or write is closed at once, so its errors stop.
class SerialPortLine final : public SerialLine {
    Q_OBJECT
public:
    SerialPortLine(QSerialPort *port, QObject *parent);

    bool open(const QString &device) override;
    bool openBusy() const override { return m_busy; }
    QString openFailure() const override { return m_failure; }
    void close() override;
    QString device() const override;
    void setSpeed(int baud) override;
    void write(const Bytes &bytes) override;
    void clearInput() override;
    Bytes readAll() override;

private:
    void failed();

    bool probe(const QString &device);

    QSerialPort *m_port;
    QString m_device;
    bool m_busy = false;
    QString m_failure;
};
