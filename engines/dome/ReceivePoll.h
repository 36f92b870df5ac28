#pragma once

#include "driver/ModuleDriver.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class FormTimer;

// The dome window's receive poll: every 25 ms one record is fetched and handed on by its
// command byte (alarm reports, the dome's type, engineering replies), and every record
// fetched is shown as hexadecimal.
class ReceivePoll final : public QObject {
    Q_OBJECT
public:
    static constexpr int PollMs = 25;
    static constexpr int WaitMs = 200;
    static constexpr std::size_t BufferSize = 101;
    static constexpr std::uint8_t DomeAlarm = 0xC1, DomeType = 0x94, Engineering = 0xFA;

    ReceivePoll(ModuleDriver &driver, QObject *parent);

    void start();
    void stop();

signals:
    void alarmReport(std::uint8_t inputs);
    void domeTypeAnswered();
    // The record with the byte at index count, which the decoder may read.
    void engineeringReply(const std::vector<std::uint8_t> &record, std::size_t count);
    // Bytes 8 to count - 1 of every record fetched, as hexadecimal.
    void received(const QString &hex);

private:
    void tick();
    void handOn(const std::vector<std::uint8_t> &buffer, std::uint8_t count);

    ModuleDriver &m_driver;
    FormTimer *m_timer;
    bool m_running = false;
    bool m_fetching = false;
};
