// The dome's engineering requests (0xFA) and its absolute position, in the dome's units:
// counts are hundredths of a degree (and of zoom), degrees are ten-thousandths, and a
// frame is the picture's width, 50 degrees divided by the zoom.
#include "emulator/DomeModel.h"

#include <cmath>

namespace emu {
namespace {
constexpr std::uint8_t EngineeringCode = 0xFA;
constexpr std::uint8_t ShortForm = 0x40, Relative = 0x20, Sets = 0x80;
constexpr std::uint8_t PanAxis = 7, TiltAxis = 10, ZoomAxis = 12, TargetAxis = 30, LimitsAxis = 31;
constexpr std::uint8_t AutoMan = 0x81, IrisNudge = 0x82, FocusNudge = 0x83, SetTargetCode = 0x9E, FrameMove = 0xAA;
constexpr std::uint8_t FocusAutoBit = 0x40, IrisAutoBit = 0x80;
constexpr double FrameDegrees = 50.0;
constexpr std::size_t TargetBytes = 21;
constexpr double NudgeFocus = 64, NudgeIris = 8;

void put(Bytes &out, long long value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

long long get(const Bytes &in, std::size_t at, int bytes, bool isSigned)
{
    long long value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value * 256 + (at + static_cast<std::size_t>(i) < in.size() ? in[at + static_cast<std::size_t>(i)] : 0);
    const long long top = 1LL << (8 * bytes - 1);
    return isSigned && value >= top ? value - 2 * top : value;
}
} // namespace

double DomeModel::unitsPerDegree(std::uint8_t units, std::int64_t nowMs) const
{
    switch (units & 3) {
    case 0: return 100;
    case 2: return 10000 / (FrameDegrees / m_axes[Zoom].at(nowMs));
    default: return 10000;
    }
}

// Pan and tilt in 24 bits, zoom in hundredths in 16: all three, or the axis asked for.
Bytes DomeModel::encodeAxes(std::uint8_t a, std::uint8_t units, bool shortForm, std::int64_t nowMs) const
{
    const double scale = unitsPerDegree(units, nowMs);
    const bool limits = a == LimitsAxis;
    const double pan = limits ? 359.99 : m_axes[Pan].at(nowMs);
    const double tilt = limits ? m_axes[Tilt].high : m_axes[Tilt].at(nowMs);
    const double zoom = limits ? m_axes[Zoom].high : m_axes[Zoom].at(nowMs);
    long long zoomValue = std::llround(zoom * 100);
    if (m_replyFault == ReplyFault::BigZoom)
        zoomValue = 0xFFFF;
    Bytes out;
    if (shortForm) {
        if (a == ZoomAxis)
            put(out, zoomValue, 2);
        else
            put(out, std::llround((a == TiltAxis ? tilt : pan) * scale), 3);
        return out;
    }
    put(out, std::llround(pan * scale), 3);
    if (a >= 1 && a <= 7)
        return out;
    put(out, std::llround(tilt * scale), 3);
    if (a >= 1 && a <= 10)
        return out;
    put(out, zoomValue, 2);
    return out;
}

// Pan and tilt in hundredths in headBytes each, zoom in hundredths, focus, then iris.
Bytes DomeModel::lensPosition(int headBytes, std::int64_t nowMs) const
{
    Bytes out;
    put(out, std::llround(m_axes[Pan].at(nowMs) * 100), headBytes);
    put(out, std::llround(m_axes[Tilt].at(nowMs) * 100), headBytes);
    put(out, std::llround(m_axes[Zoom].at(nowMs) * 100), 2);
    put(out, std::llround(m_axes[Focus].at(nowMs)), 2);
    put(out, std::llround(m_axes[Iris].at(nowMs)), 1);
    return out;
}

void DomeModel::placeLens(const Bytes &in, std::size_t at, int headBytes)
{
    m_run.reset();
    const auto h = static_cast<std::size_t>(headBytes);
    m_axes[Pan].set(static_cast<double>(get(in, at, headBytes, false)) / 100);
    m_axes[Tilt].set(static_cast<double>(get(in, at + h, headBytes, false)) / 100);
    m_axes[Zoom].set(static_cast<double>(get(in, at + 2 * h, 2, false)) / 100);
    m_axes[Focus].set(static_cast<double>(get(in, at + 2 * h + 2, 2, false)));
    m_axes[Iris].set(static_cast<double>(get(in, at + 2 * h + 4, 1, false)));
}

Bytes DomeModel::targetDefinition(std::int64_t nowMs) const
{
    Bytes out = lensPosition(3, nowMs);
    out.resize(TargetBytes, 0);
    if (m_replyFault == ReplyFault::LongTarget)
        out.resize(60, 0x5A);
    return out;
}

void DomeModel::setAxes(const Bytes &m, std::int64_t nowMs)
{
    const std::uint8_t code = m[Bus::FirstParameter];
    const std::uint8_t units = m.size() > 7 ? m[7] : 0;
    const bool relative = code & Relative;
    const double scale = unitsPerDegree(units, nowMs);
    const auto apply = [&](AxisId axis, double value) {
        const double current = m_axes[axis].at(nowMs);
        m_axes[axis].set(relative ? current + value : value);
    };
    m_run.reset();
    const std::uint8_t a = code & 0x1F;
    if (code & ShortForm) {
        if (a == ZoomAxis)
            apply(Zoom, static_cast<double>(get(m, 8, 2, false)) / 100);
        else if (a == PanAxis || a == TiltAxis)
            apply(a == PanAxis ? Pan : Tilt, static_cast<double>(get(m, 8, 3, true)) / scale);
        return;
    }
    if (m.size() >= 11)
        apply(Pan, static_cast<double>(get(m, 8, 3, true)) / scale);
    if (m.size() >= 14)
        apply(Tilt, static_cast<double>(get(m, 11, 3, true)) / scale);
    if (m.size() >= 16)
        apply(Zoom, static_cast<double>(get(m, 14, 2, false)) / 100);
}

std::optional<Bytes> DomeModel::engineering(const Bytes &m, std::int64_t nowMs)
{
    if (m.size() < Bus::FirstParameter + 2 || m[Bus::Command] != EngineeringCode)
        return std::nullopt;
    runPatternsUntil(nowMs);
    const std::uint8_t code = m[Bus::FirstParameter];
    const std::uint8_t second = m[Bus::FirstParameter + 1];
    const std::uint8_t plain = static_cast<std::uint8_t>(code & ~ShortForm);
    if (plain == AutoMan || plain == IrisNudge || plain == FocusNudge) {
        if (plain != IrisNudge)
            m_state.autoIris = second & IrisAutoBit;
        if (plain != FocusNudge)
            m_state.autoFocus = second & FocusAutoBit;
        if (plain == FocusNudge) {
            m_state.autoFocus = false;
            m_axes[Focus].set(m_axes[Focus].at(nowMs) + (second & 0x20 ? -NudgeFocus : NudgeFocus));
        } else if (plain == IrisNudge) {
            m_state.autoIris = false;
            m_axes[Iris].set(m_axes[Iris].at(nowMs) + (second & 0x10 ? NudgeIris : -NudgeIris));
        }
        return std::nullopt;
    }
    if (code == FrameMove) {
        const double frame = FrameDegrees / m_axes[Zoom].at(nowMs);
        m_run.reset();
        m_axes[Pan].set(m_axes[Pan].at(nowMs) + static_cast<double>(get(m, 8, 3, true)) / 10000 * frame);
        m_axes[Tilt].set(m_axes[Tilt].at(nowMs) + static_cast<double>(get(m, 11, 3, true)) / 10000 * frame);
        return std::nullopt;
    }
    if (plain == SetTargetCode) {
        placeLens(m, 8, 3);
        return std::nullopt;
    }
    if (code & Sets) {
        m_state.autoFocus = second & FocusAutoBit;
        m_state.autoIris = second & IrisAutoBit;
        setAxes(m, nowMs);
        return std::nullopt;
    }
    // A request that reads: the code and the units come back, then the values.
    Bytes reply{EngineeringCode, code, static_cast<std::uint8_t>(second & 3)};
    const std::uint8_t a = code & 0x1F;
    const Bytes values = a == TargetAxis ? targetDefinition(nowMs) : encodeAxes(a, second, code & ShortForm, nowMs);
    reply.insert(reply.end(), values.begin(), values.end());
    if (m_replyFault == ReplyFault::Short)
        reply.resize(std::min<std::size_t>(reply.size(), 4));
    return reply;
}

Bytes DomeModel::absolutePosition(std::int64_t nowMs)
{
    runPatternsUntil(nowMs);
    Bytes out = lensPosition(2, nowMs);
    out.push_back(static_cast<std::uint8_t>((m_state.autoFocus ? 1 : 0) | (m_state.autoIris ? 2 : 0)));
    return out;
}

void DomeModel::gotoAbsolutePosition(const Bytes &p, std::int64_t nowMs)
{
    runPatternsUntil(nowMs);
    placeLens(p, 0, 2);
    m_state.autoFocus = p.size() > 9 && (p[9] & 1);
    m_state.autoIris = p.size() > 9 && (p[9] & 2);
}

bool DomeModel::setAlarmInputs(std::uint8_t inputs)
{
    const bool changed = inputs != m_state.alarmInputs;
    m_state.alarmInputs = inputs;
    return changed && m_state.alarmSocketSet;
}

} // namespace emu
