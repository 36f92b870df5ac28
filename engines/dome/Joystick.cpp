#include "engines/dome/Joystick.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double GrabLeft = 550, GrabRight = 725, GrabTop = 675, GrabBottom = 850;
} // namespace

int Joystick::speed(double position)
{
    return static_cast<int>(std::floor(std::fabs(0.5 - position / PadSpan) * SpeedFactor));
}

bool Joystick::press(double x, double y, bool leftAlone)
{
    if (!leftAlone || x <= GrabLeft || x >= GrabRight || y <= GrabTop || y >= GrabBottom)
        return false;
    m_grabX = x;
    m_grabY = y;
    m_dragging = true;
    return true;
}

// The first move after a press picks a direction; crossing the grab point stops the axis
// and turns it round.
void Joystick::turnIfCrossed(bool pan, double along, double grab, std::vector<Command> &commands)
{
    std::uint8_t &direction = pan ? m_panDirection : m_tiltDirection;
    int &lastSpeed = pan ? m_lastPanSpeed : m_lastTiltSpeed;
    const std::uint8_t stopped = pan ? PanStop : TiltStop;
    const std::uint8_t towards = pan ? PanRight : TiltDown; // positions grow rightwards and downwards
    const std::uint8_t away = pan ? PanLeft : TiltUp;
    if (direction == stopped) {
        direction = along > grab ? towards : away;
    } else if (direction == away && along > grab) {
        commands.push_back({pan, stopped, 0, true});
        direction = towards;
        lastSpeed = 0;
    } else if (direction == towards && along < grab) {
        commands.push_back({pan, stopped, 0, true});
        direction = away;
        lastSpeed = 0;
    }
}

Joystick::Step Joystick::move(double x, double y, bool leftAlone)
{
    Step step;
    if (!m_dragging || !leftAlone)
        return step;
    const int panSpeed = std::min(speed(x), PanLimit);
    const int tiltSpeed = std::min(speed(y), TiltLimit);
    step.knob = Knob{static_cast<int>(std::lround(x - m_grabX)) + KnobLeft,
                     static_cast<int>(std::lround(y - m_grabY)) + KnobTop};
    turnIfCrossed(false, y, m_grabY, step.commands);
    turnIfCrossed(true, x, m_grabX, step.commands);
    if (tiltSpeed != m_lastTiltSpeed) {
        step.commands.push_back(
            {false, m_tiltDirection == TiltDown ? TiltDown : TiltUp, static_cast<std::uint8_t>(tiltSpeed), false});
        m_lastTiltSpeed = tiltSpeed;
    }
    if (panSpeed != m_lastPanSpeed) {
        step.commands.push_back(
            {true, m_panDirection == PanRight ? PanRight : PanLeft, static_cast<std::uint8_t>(panSpeed), false});
        m_lastPanSpeed = panSpeed;
    }
    return step;
}

Joystick::Step Joystick::release()
{
    Step step;
    step.commands = {{false, TiltStop, 0, true}, {true, PanStop, 0, true}};
    step.knob = Knob{KnobLeft, KnobRestTop};
    m_tiltDirection = TiltStop;
    m_panDirection = PanStop;
    m_lastTiltSpeed = m_lastPanSpeed = 0;
    m_dragging = false;
    return step;
}
