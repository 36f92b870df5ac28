#include "engines/dome/PingTest.h"

#include "core/FormTimer.h"
#include "engines/dome/ReceivePoll.h"

#include <algorithm>
#include <array>
#include <memory>

PingTest::PingTest(DomeLink link, ReceivePoll &poll, QObject *parent)
    : QObject(parent), m_link(link), m_timer(new FormTimer(QStringLiteral("pingTimer"), IntervalMs, this)), m_poll(poll)
{
    m_timer->setSingleShot(false);
    connect(m_timer, &FormTimer::timeout, this, &PingTest::tick);
}

int PingTest::waitFor(int address)
{
    if (address <= 16)
        return 300;
    if (address <= 32)
        return 600;
    return address <= 64 ? 900 : 1200;
}

void PingTest::toggle()
{
    DomeState &s = m_link.state;
    s.PingRunning = !s.PingRunning;
    m_tickDue = false;
    if (s.PingRunning) {
        ++m_run;
        m_sent = m_echoed = 0;
        m_timer->setEnabled(true);
    } else {
        m_timer->setEnabled(false);
    }
    emit runningChanged(s.PingRunning);
}

void PingTest::stop()
{
    m_timer->setEnabled(false);
}

void PingTest::tick()
{
    if (m_probing) {
        m_tickDue = true; // fires when the probe in hand is back, as a late tick does
        return;
    }
    m_probing = true;
    m_poll.stop();
    auto buffer = std::make_shared<std::array<std::uint8_t, 16>>(std::array<std::uint8_t, 16>{10, 20, 30, 40, 50});
    const std::uint8_t address = m_link.state.DomeAddress;
    submitCall(
        m_link.driver, this,
        [buffer, address](ModuleDriver &driver) {
            return driver.DevPing(buffer->data(), ProbeBytes, address, waitFor(address));
        },
        [this, buffer, run = m_run](std::int32_t r) { echoed(run, r, *buffer); });
}

// Only the run in hand counts its probes: one sent before "Stop Ping" is passed over.
void PingTest::echoed(long run, std::int32_t result, const std::array<std::uint8_t, 16> &buffer)
{
    m_probing = false;
    const DomeState &s = m_link.state;
    if (s.PingRunning && run == m_run) {
        if (result == 0 &&
            std::equal(buffer.begin() + ProbeBytes, buffer.begin() + 2 * ProbeBytes, s.PingPattern.begin()))
            ++m_echoed;
        ++m_sent;
        emit counted(m_sent, m_echoed);
    }
    if (m_tickDue && s.PingRunning) {
        m_tickDue = false;
        tick();
        return;
    }
    m_poll.start();
}
