#include "board/PtyBoard.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>

PtyBoard::PtyBoard(QObject *parent) : QObject(parent)
{
    std::array<char, 256> name{};
    if (openpty(&m_master, &m_slave, name.data(), nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slaveName = QString::fromLocal8Bit(name.data());
    // Raw bytes both ways: no echo, no line editing, no translation.
    termios settings{};
    tcgetattr(m_slave, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    tcsetattr(m_slave, TCSANOW, &settings);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyBoard::readable);
}

PtyBoard::~PtyBoard()
{
    hangUp();
}

void PtyBoard::hangUp()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater(); // hanging up may happen in its own signal
        m_notifier = nullptr;
    }
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

void PtyBoard::setInterference(std::function<Answer(std::size_t)> interference)
{
    m_interference = std::move(interference);
}

int PtyBoard::lineSpeed() const
{
    termios settings{};
    if (tcgetattr(m_slave, &settings) != 0)
        return 0;
    switch (cfgetospeed(&settings)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

namespace {
std::vector<emu::BoardModel::Reply> wrongAnswer(const std::vector<emu::BoardModel::Reply> &replies)
{
    if (replies.empty())
        return {{emu::Bytes{'0'}}};
    if (replies.front().bytes.front() == 'i')
        return {{emu::Bytes{'0'}}};
    return {{emu::Bytes{'i', 0, 0, 0, 0}}};
}
} // namespace

// Byte by byte, so each answer is known to belong to the command that the byte completed.
void PtyBoard::readable()
{
    std::array<std::uint8_t, 4096> buffer{};
    const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
    if (n <= 0)
        return;
    const int speed = lineSpeed();
    for (ssize_t i = 0; i < n; ++i) {
        const std::size_t command = m_model.commands().size();
        std::vector<emu::BoardModel::Reply> replies =
            m_model.receive(emu::Bytes{buffer[static_cast<std::size_t>(i)]}, speed);
        if (m_model.commands().size() > command && m_interference) {
            switch (m_interference(command)) {
            case Answer::AsUsual: break;
            case Answer::Withheld: replies.clear(); break;
            case Answer::Wrong: replies = wrongAnswer(replies); break;
            case Answer::HangUp: hangUp(); return;
            }
        }
        answer(replies);
    }
}

void PtyBoard::answer(const std::vector<emu::BoardModel::Reply> &replies)
{
    for (const emu::BoardModel::Reply &reply : replies) {
        if (reply.delayMs <= 0)
            send(reply.bytes);
        else
            QTimer::singleShot(reply.delayMs, this, [this, bytes = reply.bytes] { send(bytes); });
    }
}

void PtyBoard::send(const emu::Bytes &bytes)
{
    if (m_master >= 0 && ::write(m_master, bytes.data(), bytes.size()) < 0)
        return; // the program closed its end: nobody listens
}
