#pragma once

#include "base/Clock.h"

#include <QObject>
#include <QTimer>

// A window's timer (Timer1, Timer22, ...): a QTimer in the program, an alarm on the
// manual clock in tests. Enabling it starts a fresh countdown, disabling stops it.
class FormTimer final : public QObject {
    Q_OBJECT
    // Read as a QTimer's are, so inspection and automation tools find a form's timers by name.
    Q_PROPERTY(int interval READ interval)
    Q_PROPERTY(bool active READ isEnabled)
    Q_PROPERTY(bool singleShot READ isSingleShot)
public:
    FormTimer(const QString &name, int intervalMs, QObject *parent);
    ~FormTimer() override;

    void setInterval(int ms);
    int interval() const { return m_interval; }
    void setSingleShot(bool singleShot) { m_singleShot = singleShot; }
    bool isSingleShot() const { return m_singleShot; }

    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    void start() { setEnabled(true); }
    void stop() { setEnabled(false); }
    // Keeps the timer from ticking, enabled as it is, until release() starts a fresh
    // countdown: for a tick whose work is still out.
    void hold();
    void release();

signals:
    void timeout();

private:
    void arm();
    void disarm();
    void fire();

    int m_interval;
    bool m_singleShot = false;
    bool m_enabled = false;
    bool m_held = false;
    QTimer m_realTimer;
    ManualClock *m_manual = nullptr;
    ManualClock::AlarmId m_alarm = 0;
};
