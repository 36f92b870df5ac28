#include "emulator/DomeModel.h"

#include <algorithm>
#include <cmath>

namespace emu {
namespace {
// Command codes the dome acts on.
constexpr std::uint8_t ResetDome = 0x80, PanLeft = 0x81, PanRight = 0x82, PanStop = 0x83, TiltUp = 0x84,
                       TiltDown = 0x85, TiltStop = 0x86, FocusNear = 0x87, FocusFar = 0x88, FocusStop = 0x89,
                       ZoomIn = 0x8A, ZoomOut = 0x8B, ZoomStop = 0x8C, VphaseUp = 0x8D, VphaseDown = 0x8E,
                       VphaseStop = 0x8F, IrisOpen = 0x90, IrisClose = 0x91, IrisStop = 0x92, StopAll = 0x93,
                       Flip = 0x9A, DefinePattern = 0xA0, EndPattern = 0xA1, AcceptPattern = 0xA2, RunPattern = 0xA3,
                       ReviewPattern = 0xA7, SetTarget = 0xA8, GotoTarget = 0xA9, Outputs = 0xAA, Move = 0xC0,
                       RunPeel = 0xC9, Special = 0xCC, QuickSet = 0xCD;
// Special functions (0xCC).
constexpr std::uint8_t ShowMenu = 8, ExitMenu = 9, AutoFocusIris = 10;
// A pattern that repeats starts again this long after its last step at the earliest.
constexpr std::int64_t ShortestPatternMs = 100;
} // namespace

double DomeModel::Axis::limit(double v) const
{
    if (!wraps)
        return std::clamp(v, low, high);
    const double span = high - low;
    v = std::fmod(v - low, span);
    return (v < 0 ? v + span : v) + low;
}

double DomeModel::Axis::at(std::int64_t nowMs) const
{
    if (direction == 0)
        return value;
    return limit(startValue + direction * rate * static_cast<double>(nowMs - since) / 1000.0);
}

void DomeModel::Axis::start(int newDirection, double newRate, std::int64_t nowMs)
{
    value = at(nowMs);
    direction = newDirection;
    rate = newRate;
    startValue = value;
    since = nowMs;
}

void DomeModel::Axis::stop(std::int64_t nowMs)
{
    if (direction == 0)
        return;
    const double moved = std::max(step, rate * static_cast<double>(nowMs - since) / 1000.0);
    value = limit(startValue + direction * moved);
    direction = 0;
}

void DomeModel::Axis::set(double newValue)
{
    direction = 0;
    value = limit(newValue);
}

DomeModel::DomeModel(int maxZoom) : m_maxZoom(std::max(maxZoom, 1))
{
    // Value, lowest, highest, smallest step, default speed a second, wraps around.
    m_axes[Pan] = {0, 0, 360, 0.5, 20, true};
    m_axes[Tilt] = {0, 0, 90, 0.5, 10, false};
    m_axes[Zoom] = {1, 1, static_cast<double>(m_maxZoom), 0.1, 5, false};
    m_axes[Focus] = {2048, 0, 4095, 8, 800, false};
    m_axes[Iris] = {128, 0, 255, 1, 50, false};
    m_axes[Vphase] = {0, 0, 360, 1, 30, true};
}

DomePosition DomeModel::position(std::int64_t nowMs) const
{
    return {m_axes[Pan].at(nowMs), m_axes[Tilt].at(nowMs), m_axes[Zoom].at(nowMs)};
}

void DomeModel::moveHeadTo(const DomePosition &p)
{
    m_axes[Pan].set(p.pan);
    m_axes[Tilt].set(p.tilt);
    m_axes[Zoom].set(p.zoom);
}

DomeState DomeModel::state(std::int64_t nowMs)
{
    runPatternsUntil(nowMs);
    DomeState s = m_state;
    s.position = position(nowMs);
    s.focus = m_axes[Focus].at(nowMs);
    s.iris = m_axes[Iris].at(nowMs);
    s.vphase = m_axes[Vphase].at(nowMs);
    s.runningPattern = m_run ? m_run->number : 0;
    s.repeating = m_run && m_run->repeat;
    for (int n = 1; n <= Patterns; ++n) {
        if (m_patterns[static_cast<std::size_t>(n - 1)])
            s.patternMoves[n] = m_patterns[static_cast<std::size_t>(n - 1)]->steps.size();
    }
    return s;
}

void DomeModel::move(AxisId axis, int direction, double rate, bool recorded, std::int64_t nowMs)
{
    if (axis == Pan || axis == Tilt) {
        if (m_recording && recorded)
            m_recording->steps.push_back({nowMs - m_recordingSince, axis, direction, rate});
        else
            m_run.reset(); // a hand on the head ends a running pattern
        m_state.scan = 0;
    }
    m_axes[axis].start(direction, rate > 0 ? rate : m_axes[axis].defaultRate, nowMs);
}

void DomeModel::stop(AxisId axis, std::int64_t nowMs)
{
    if (m_recording && (axis == Pan || axis == Tilt) && m_axes[axis].direction != 0)
        m_recording->steps.push_back({nowMs - m_recordingSince, axis, 0, 0});
    m_axes[axis].stop(nowMs);
}

void DomeModel::stopAll(std::int64_t nowMs)
{
    for (Axis &axis : m_axes)
        axis.stop(nowMs);
}

void DomeModel::applyStep(const PatternStep &step, std::int64_t atMs)
{
    if (step.direction == 0)
        m_axes[step.axis].stop(atMs);
    else
        m_axes[step.axis].start(step.direction, step.rate > 0 ? step.rate : m_axes[step.axis].defaultRate, atMs);
}

void DomeModel::runPatternsUntil(std::int64_t nowMs)
{
    while (m_run) {
        const Pattern &pattern = *m_patterns[static_cast<std::size_t>(m_run->number - 1)];
        if (m_run->next < pattern.steps.size()) {
            const PatternStep &step = pattern.steps[m_run->next];
            const std::int64_t due = m_run->startMs + step.offsetMs;
            if (due > nowMs)
                return;
            applyStep(step, due);
            ++m_run->next;
            continue;
        }
        if (!m_run->repeat) {
            m_run.reset();
            return;
        }
        const std::int64_t again = m_run->startMs + std::max(pattern.durationMs, ShortestPatternMs);
        if (again > nowMs)
            return;
        stopAll(again);
        moveHeadTo(pattern.start);
        m_run->startMs = again;
        m_run->next = 0;
    }
}

void DomeModel::flip(std::int64_t nowMs)
{
    m_axes[Pan].start(0, 0, nowMs);
    m_axes[Pan].set(m_axes[Pan].value + 180);
    m_state.flipped = !m_state.flipped;
}

void DomeModel::reset(std::int64_t nowMs)
{
    stopAll(nowMs);
    m_run.reset();
    m_recording.reset();
    m_state.recordingPattern = 0;
    moveHeadTo({});
    m_state.menuOpen = false;
    m_state.quickMenuOpen = false;
    m_state.informationShown = false;
    m_state.scan = 0;
    m_state.sequence = 0;
    ++m_state.resets;
}

void DomeModel::quickSet(std::uint8_t number, std::int64_t nowMs)
{
    switch (number) {
    case 0: m_state.quickMenuOpen = !m_state.quickMenuOpen; return;
    case 1: m_state.menuOpen = !m_state.menuOpen; return;
    case 2: m_state.autoFocus = m_state.autoIris = true; return;
    case 3: flip(nowMs); return;
    case 4: m_state.peel = 0; return;
    case 10: m_state.dayNight = DayNight::Night; return;
    case 11: m_state.dayNight = DayNight::Day; return;
    case 12: m_state.dayNight = DayNight::Auto; return;
    case 13: m_state.wdr = true; return;
    case 14: m_state.wdr = false; return;
    case 15:
    case 16:
    case 17:
        m_run.reset();
        m_state.scan = number;
        return;
    case 20: m_state.informationShown = true; return;
    case 48: m_state.eisHz = 0; return;
    case 49: m_state.eisHz = 5; return;
    case 50: m_state.eisHz = 10; return;
    case 255: reset(nowMs); return;
    default:
        if (number >= 51 && number <= 66)
            m_state.sequence = number - 50;
        return; // any other number is no function of this dome
    }
}

namespace {
// The message's parameter i, 0 where the message is shorter.
std::uint8_t parameterOf(const Bytes &message, std::size_t i)
{
    return Bus::FirstParameter + i < message.size() ? message[Bus::FirstParameter + i] : 0;
}
} // namespace

void DomeModel::receive(const Bytes &message, std::int64_t nowMs)
{
    if (message.size() < Bus::HeaderSize)
        return;
    runPatternsUntil(nowMs);
    if (!receiveMotion(message, nowMs) && !receiveTargetOrPattern(message, nowMs))
        receiveSetting(message, nowMs);
}

// Pan, tilt and the lens: moves and stops. False for any other command.
bool DomeModel::receiveMotion(const Bytes &message, std::int64_t nowMs)
{
    const auto parameter = [&](std::size_t i) { return parameterOf(message, i); };
    const std::uint8_t command = message[Bus::Command];
    switch (command) {
    case PanLeft:
    case PanRight: move(Pan, command == PanRight ? 1 : -1, 0, parameter(0) != 0, nowMs); break;
    case TiltUp:
    case TiltDown: move(Tilt, command == TiltDown ? 1 : -1, 0, parameter(0) != 0, nowMs); break;
    case Move: {
        const std::uint8_t direction = parameter(0);
        const AxisId axis = direction == PanLeft || direction == PanRight ? Pan : Tilt;
        const int sign = direction == PanRight || direction == TiltDown ? 1 : -1;
        if (direction >= PanLeft && direction <= TiltDown && direction != PanStop)
            move(axis, sign, parameter(1), parameter(2) != 0, nowMs);
        break;
    }
    case PanStop: stop(Pan, nowMs); break;
    case TiltStop: stop(Tilt, nowMs); break;
    case ZoomIn:
    case ZoomOut: move(Zoom, command == ZoomIn ? 1 : -1, 0, false, nowMs); break;
    case ZoomStop: stop(Zoom, nowMs); break;
    case FocusNear:
    case FocusFar:
        m_state.autoFocus = false;
        move(Focus, command == FocusFar ? 1 : -1, 0, false, nowMs);
        break;
    case FocusStop: stop(Focus, nowMs); break;
    case IrisOpen:
    case IrisClose:
        m_state.autoIris = false;
        move(Iris, command == IrisOpen ? 1 : -1, 0, false, nowMs);
        break;
    case IrisStop: stop(Iris, nowMs); break;
    case VphaseUp:
    case VphaseDown: move(Vphase, command == VphaseUp ? 1 : -1, 0, false, nowMs); break;
    case VphaseStop: stop(Vphase, nowMs); break;
    default: return false;
    }
    return true;
}

// Targets and patterns: set, go to, record, run. False for any other command.
bool DomeModel::receiveTargetOrPattern(const Bytes &message, std::int64_t nowMs)
{
    const auto parameter = [&](std::size_t i) { return parameterOf(message, i); };
    switch (message[Bus::Command]) {
    case SetTarget:
        if (parameter(0) < Targets)
            m_state.targets[parameter(0) + 1] = position(nowMs);
        break;
    case GotoTarget: {
        const auto found = m_state.targets.find(parameter(0) + 1);
        if (found != m_state.targets.end()) {
            m_run.reset();
            m_state.scan = 0;
            moveHeadTo(found->second);
        }
        break;
    }
    case DefinePattern:
        if (parameter(0) < Patterns) {
            m_run.reset();
            m_recording = Pattern{position(nowMs), {}, 0};
            m_recordingSince = nowMs;
            m_state.recordingPattern = parameter(0) + 1;
        }
        break;
    case EndPattern:
        if (m_recording) {
            m_recording->durationMs = nowMs - m_recordingSince;
            m_patterns[static_cast<std::size_t>(m_state.recordingPattern - 1)] = std::move(m_recording);
            m_recording.reset();
            m_state.recordingPattern = 0;
        }
        break;
    case ReviewPattern: ++m_state.reviews; break;
    case AcceptPattern: ++m_state.accepts; break;
    case RunPattern: {
        const std::uint8_t number = parameter(1);
        if (number < Patterns && m_patterns[number]) {
            stopAll(nowMs);
            moveHeadTo(m_patterns[number]->start);
            m_state.scan = 0;
            m_run = Run{number + 1, parameter(0) != 0, nowMs};
            runPatternsUntil(nowMs);
        }
        break;
    }
    default: return false;
    }
    return true;
}

// Everything else the dome takes: stop all, reset, flip, settings and menus.
void DomeModel::receiveSetting(const Bytes &message, std::int64_t nowMs)
{
    const auto parameter = [&](std::size_t i) { return parameterOf(message, i); };
    switch (message[Bus::Command]) {
    case StopAll:
        m_run.reset();
        stopAll(nowMs);
        break;
    case ResetDome: reset(nowMs); break;
    case Flip: flip(nowMs); break;
    case RunPeel: m_state.peel = parameter(0); break;
    case Outputs: m_state.outputs = parameter(0) & 0x0F; break;
    case Special:
        if (parameter(0) == ShowMenu || parameter(0) == ExitMenu)
            m_state.menuOpen = parameter(0) == ShowMenu;
        else if (parameter(0) == AutoFocusIris)
            m_state.autoFocus = m_state.autoIris = true;
        break;
    case QuickSet: quickSet(parameter(1), nowMs); break;
    default: break;
    }
}

} // namespace emu
