#include "ReceivePoll.h"

#include "FormTimer.h"
#include "TextFormat.h"

namespace {
constexpr std::uint8_t BusMessageRecord = 2;
constexpr std::size_t CommandByte = 8;
} // namespace

ReceivePoll::ReceivePoll(ModuleDriver &driver, FormTimer *timer, QObject *parent)
    : QObject(parent), m_driver(driver), m_timer(timer), m_buffer(BufferSize, 0)
{
    m_timer->setInterval(PollMs);
    m_timer->setSingleShot(false);
    connect(m_timer, &FormTimer::timeout, this, &ReceivePoll::tick);
}

void ReceivePoll::start()
{
    m_timer->setEnabled(true);
}

void ReceivePoll::stop()
{
    m_timer->setEnabled(false);
}

void ReceivePoll::tick()
{
    stop();
    std::uint8_t count = 0;
    if (m_driver.GetData(m_buffer.data(), &count, WaitMs) == 0) {
        const std::size_t length = std::min<std::size_t>(count, BufferSize - 1);
        if (m_buffer[0] == BusMessageRecord && length > CommandByte) {
            switch (m_buffer[CommandByte]) {
            case DomeAlarm:
                if (length > CommandByte + 1)
                    emit alarmReport(m_buffer[CommandByte + 1]);
                break;
            case DomeType: emit domeTypeAnswered(); break;
            case Engineering: emit engineeringReply(m_buffer, length); break;
            default: break;
            }
        }
        const std::size_t first = std::min(CommandByte, length);
        emit received(TextFormat::hexBytes(std::span<const std::uint8_t>(m_buffer.data() + first, length - first)));
    }
    start();
}
