#include "core/FormTimer.h"

#include "core/TimeSource.h"

FormTimer::FormTimer(const QString &name, int intervalMs, QObject *parent)
    : QObject(parent), m_interval(intervalMs), m_manual(TimeSource::manualClock())
{
    setObjectName(name);
    m_realTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_realTimer, &QTimer::timeout, this, &FormTimer::fire);
}

FormTimer::~FormTimer()
{
    disarm();
}

void FormTimer::setInterval(int ms)
{
    m_interval = ms;
    if (m_enabled && !m_held) {
        disarm();
        arm();
    }
}

void FormTimer::setEnabled(bool enabled)
{
    disarm();
    m_enabled = enabled;
    if (enabled && !m_held)
        arm();
}

void FormTimer::hold()
{
    m_held = true;
    disarm();
}

void FormTimer::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (m_enabled)
        arm();
}

void FormTimer::arm()
{
    if (m_manual) {
        m_alarm = m_manual->addAlarm(m_manual->nowMs() + m_interval, [this] {
            m_alarm = 0;
            fire();
        });
    } else {
        m_realTimer.start(m_interval);
    }
}

void FormTimer::disarm()
{
    if (m_manual && m_alarm != 0)
        m_manual->cancelAlarm(m_alarm);
    m_alarm = 0;
    m_realTimer.stop();
}

void FormTimer::fire()
{
    if (!m_enabled)
        return;
    if (m_singleShot) {
        disarm();
        m_enabled = false;
    } else if (m_manual && !m_held) {
        arm();
    }
    emit timeout();
}
