#pragma once

#include "engines/dome/DomeLink.h"

#include <QObject>

#include <array>

class FormTimer;
class ReceivePoll;

// The ping test: every 500 ms a probe to the dome, its echo compared with the expected
// pattern, and the counts told as they change. The receive poll rests
// during each probe, so it cannot take the echo; a tick that falls while a probe waits
// sends the next one as soon as it is back.
class PingTest final : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 500;
    static constexpr std::uint8_t ProbeBytes = 5;

    PingTest(DomeLink link, ReceivePoll &poll, QObject *parent);

    // "Start Ping" / "Stop Ping".
    void toggle();
    // The window closes: no probe goes out any more.
    void stop();
    // How long a probe waits for its echo: farther addresses wait longer.
    static int waitFor(int address);

    long sent() const { return m_sent; }
    long echoed() const { return m_echoed; }

signals:
    void runningChanged(bool running);
    // A probe of the run in hand came back, or did not: the counts so far.
    void counted(long sent, long echoed);

private:
    void tick();
    void echoed(long run, std::int32_t result, const std::array<std::uint8_t, 16> &buffer);

    DomeLink m_link;
    FormTimer *m_timer;
    ReceivePoll &m_poll;
    long m_sent = 0;
    long m_echoed = 0;
    long m_run = 0;
    bool m_probing = false;
    bool m_tickDue = false;
};
