#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// The virtual joystick's rules, in twips of the pad: a drag that starts on the knob pans
// and tilts at speeds that grow with the pointer's distance from the pad's middle, each
// axis turning round with a stop where the pointer crosses the grab point. A command is
// due only when an axis changes direction or speed.
class Joystick {
public:
    static constexpr double PadSpan = 1452, SpeedFactor = 50;
    static constexpr int PanLimit = 100, TiltLimit = 50;
    static constexpr int KnobLeft = 2130, KnobTop = 3360, KnobRestTop = 3356;
    static constexpr std::uint8_t PanLeft = 0x81, PanRight = 0x82, PanStop = 0x83, TiltUp = 0x84, TiltDown = 0x85,
                                  TiltStop = 0x86;

    struct Command {
        bool pan = false; // else tilt
        std::uint8_t code = 0;
        std::uint8_t speed = 0;
        bool stop = false; // stops go with record 0 and are reported at once
    };
    struct Knob {
        int left = KnobLeft, top = KnobTop; // form twips
    };
    struct Step {
        std::vector<Command> commands;
        std::optional<Knob> knob;
    };

    // floor(|0.5 - P / 1452| x 50): 0 on the middle line, 25 at the pad's edges.
    static int speed(double position);

    // A press with the left button alone inside the grab zone starts a drag.
    bool press(double x, double y, bool leftAlone);
    Step move(double x, double y, bool leftAlone);
    // Any release stops both axes and puts the knob home.
    Step release();
    bool dragging() const { return m_dragging; }

private:
    void turnIfCrossed(bool pan, double along, double grab, std::vector<Command> &commands);

    bool m_dragging = false;
    double m_grabX = 0, m_grabY = 0;
    std::uint8_t m_tiltDirection = TiltStop, m_panDirection = PanStop;
    int m_lastTiltSpeed = 0, m_lastPanSpeed = 0;
};
