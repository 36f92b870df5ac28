#include "engines/dome/ReceivePoll.h"

#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "driver/ModuleConnection.h"

namespace {
constexpr std::uint8_t BusMessageRecord = 2;
constexpr std::size_t CommandByte = 8;
} // namespace

ReceivePoll::ReceivePoll(ModuleDriver &driver, QObject *parent)
    : QObject(parent), m_driver(driver), m_timer(new FormTimer(QStringLiteral("receivePoll"), PollMs, this))
{
    m_timer->setSingleShot(false);
    connect(m_timer, &FormTimer::timeout, this, &ReceivePoll::tick);
}

void ReceivePoll::start()
{
    m_running = true;
    if (!m_fetching)
        m_timer->setEnabled(true);
}

void ReceivePoll::stop()
{
    m_running = false;
    m_timer->setEnabled(false);
}

// The timer rests while a record is on its way and starts again once it is handled,
// unless the poll was stopped meanwhile.
void ReceivePoll::tick()
{
    m_timer->setEnabled(false);
    m_fetching = true;
    ModuleConnection::read(m_driver, this, WaitMs, [this](const ModuleRecord &record) {
        m_fetching = false;
        if (record.result == 0)
            handOn(record.bytes, record.count);
        if (m_running)
            m_timer->setEnabled(true);
    });
}

void ReceivePoll::handOn(const std::vector<std::uint8_t> &buffer, std::uint8_t count)
{
    const std::size_t length = std::min<std::size_t>(count, BufferSize - 1);
    if (buffer[0] == BusMessageRecord && length > CommandByte) {
        switch (buffer[CommandByte]) {
        case DomeAlarm:
            if (length > CommandByte + 1)
                emit alarmReport(buffer[CommandByte + 1]);
            break;
        case DomeType: emit domeTypeAnswered(); break;
        case Engineering: emit engineeringReply(buffer, length); break;
        default: break;
        }
    }
    const std::size_t first = std::min(CommandByte, length);
    emit received(TextFormat::hexBytes(std::span<const std::uint8_t>(buffer.data() + first, length - first)));
}
