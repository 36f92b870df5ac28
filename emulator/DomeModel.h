#pragma once

#include "emulator/BusMessage.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace emu {

// Where the head and the lens stand.
struct DomePosition {
    double pan = 0;  // degrees, 0 up to 360
    double tilt = 0; // degrees below the horizon, 0 to 90
    double zoom = 1; // optical magnification, 1 up to the dome's maximum

    bool operator==(const DomePosition &) const = default;
};

enum class DayNight { Auto, Day, Night };

// Everything a dome holds, as tests and the C++ API read it.
struct DomeState {
    DomePosition position;
    double focus = 2048; // 0 near to 4095 far
    double iris = 128;   // 0 closed to 255 open
    double vphase = 0;   // degrees, 0 up to 360
    bool autoFocus = true;
    bool autoIris = true;
    std::uint8_t outputs = 0;
    bool menuOpen = false;
    bool quickMenuOpen = false;
    bool informationShown = false;
    bool flipped = false;
    int resets = 0;
    DayNight dayNight = DayNight::Auto;
    bool wdr = false;
    int eisHz = 0;
    int scan = 0;             // running scan: 15 smooth, 16 stepped, 17 random; 0 none
    int sequence = 0;         // running sequence 1 to 16; 0 none
    int peel = -1;            // the peel pattern last run, -1 none
    int recordingPattern = 0; // 1 to 3 while recording
    int runningPattern = 0;   // 1 to 3 while a pattern runs
    bool repeating = false;
    int reviews = 0;
    int accepts = 0;
    bool alarmSocketSet = false;
    std::uint8_t alarmInputs = 0x0F;         // bit k-1 set: alarm k normal
    std::map<int, DomePosition> targets;     // by target number, 1 to 96
    std::map<int, std::size_t> patternMoves; // recorded steps by pattern number, 1 to 3
};

// A dome's head, lens and functions, moving in the emulator's time. Moves run at the
// speed given (degrees a second) or at the dome's default; a start and a stop at the same
// moment still move by the smallest step the dome makes.
class DomeModel {
public:
    static constexpr int Targets = 96;
    static constexpr int Patterns = 3;

    explicit DomeModel(int maxZoom);

    // Handles a command addressed to the dome at time nowMs (engineering socket).
    void receive(const Bytes &message, std::int64_t nowMs);
    DomeState state(std::int64_t nowMs);
    int maxZoom() const { return m_maxZoom; }

    // The engineering (0xFA) requests: a request that reads answers with the parameters
    // of the reply (from the 0xFA code on); one that sets acts and answers nothing.
    std::optional<Bytes> engineering(const Bytes &message, std::int64_t nowMs);

    // The absolute position as ten bytes: pan, tilt and zoom in hundredths, focus, iris
    // and the automatic modes (bit 0 focus, bit 1 iris).
    Bytes absolutePosition(std::int64_t nowMs);
    void gotoAbsolutePosition(const Bytes &position, std::int64_t nowMs);

    // The alarm inputs; true when the change is to be reported (the alarm socket is set).
    bool setAlarmInputs(std::uint8_t inputs);
    // "Set Alarm Socket": from now on the dome reports its alarms.
    void setAlarmSocket() { m_state.alarmSocketSet = true; }
    std::uint8_t alarmInputs() const { return m_state.alarmInputs; }

    // How the dome gets its engineering replies wrong, for testing the window's decoder.
    enum class ReplyFault { None, Short, LongTarget, BigZoom };
    void setReplyFault(ReplyFault fault) { m_replyFault = fault; }

private:
    enum AxisId { Pan, Tilt, Zoom, Focus, Iris, Vphase, AxisCount };

    struct Axis {
        double value = 0, low = 0, high = 0, step = 0, defaultRate = 0;
        bool wraps = false;
        int direction = 0;
        double rate = 0, startValue = 0;
        std::int64_t since = 0;

        double at(std::int64_t nowMs) const;
        void start(int newDirection, double newRate, std::int64_t nowMs);
        void stop(std::int64_t nowMs);
        void set(double newValue);
        double limit(double v) const;
    };

    // One recorded step of a pattern: a move or a stop of pan or tilt.
    struct PatternStep {
        std::int64_t offsetMs;
        AxisId axis;
        int direction; // 0: stop
        double rate;
    };
    struct Pattern {
        DomePosition start;
        std::vector<PatternStep> steps;
        std::int64_t durationMs = 0;
    };
    struct Run {
        int number;
        bool repeat;
        std::int64_t startMs;
        std::size_t next = 0;
    };

    void runPatternsUntil(std::int64_t nowMs);
    void applyStep(const PatternStep &step, std::int64_t atMs);
    void moveHeadTo(const DomePosition &position);
    DomePosition position(std::int64_t nowMs) const;
    void move(AxisId axis, int direction, double rate, bool recorded, std::int64_t nowMs);
    void stop(AxisId axis, std::int64_t nowMs);
    void stopAll(std::int64_t nowMs);
    void quickSet(std::uint8_t number, std::int64_t nowMs);
    bool receiveMotion(const Bytes &message, std::int64_t nowMs);
    bool receiveTargetOrPattern(const Bytes &message, std::int64_t nowMs);
    void receiveSetting(const Bytes &message, std::int64_t nowMs);
    void reset(std::int64_t nowMs);
    void flip(std::int64_t nowMs);
    double unitsPerDegree(std::uint8_t units, std::int64_t nowMs) const;
    Bytes encodeAxes(std::uint8_t a, std::uint8_t units, bool shortForm, std::int64_t nowMs) const;
    Bytes lensPosition(int headBytes, std::int64_t nowMs) const;
    void placeLens(const Bytes &in, std::size_t at, int headBytes);
    Bytes targetDefinition(std::int64_t nowMs) const;
    void setAxes(const Bytes &message, std::int64_t nowMs);

    int m_maxZoom;
    std::array<Axis, AxisCount> m_axes;
    DomeState m_state;
    std::array<std::optional<Pattern>, Patterns> m_patterns;
    std::optional<Pattern> m_recording;
    std::int64_t m_recordingSince = 0;
    std::optional<Run> m_run;
    ReplyFault m_replyFault = ReplyFault::None;
};

} // namespace emu
