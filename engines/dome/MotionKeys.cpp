#include "engines/dome/MotionKeys.h"

namespace {
constexpr std::uint8_t ArrowSpeed = 0;
} // namespace

void MotionKeys::zoomPressed(std::uint8_t code)
{
    const std::uint8_t address = m_zoomAddress = m_link.state.DomeAddress;
    m_link.send([code, address](ModuleDriver &d) { return d.DevZoom(code, address); });
}

void MotionKeys::zoomReleased()
{
    const std::uint8_t address = m_zoomAddress;
    m_link.send([address](ModuleDriver &d) { return d.DevZoom(ZoomStop, address); });
}

// A focus or iris start under its guard: the panel's option goes to Man without a message.
void MotionKeys::guardedPress(bool &guard, std::int32_t (ModuleDriver::*send)(std::uint8_t, std::uint8_t),
                              std::uint8_t code, DomeEvents::LensControl manual, std::uint8_t &startedAt)
{
    guard = true;
    const std::uint8_t address = startedAt = m_link.state.DomeAddress;
    m_link.send([send, code, address](ModuleDriver &d) { return (d.*send)(code, address); });
    m_link.events.lensControlChanged(manual);
    guard = false;
}

void MotionKeys::focusPressed(std::uint8_t code)
{
    guardedPress(m_link.state.FocusKeyActive, &ModuleDriver::DevFocus, code, DomeEvents::LensControl::FocusManual,
                 m_focusAddress);
}

void MotionKeys::focusReleased()
{
    const std::uint8_t address = m_focusAddress;
    m_link.send([address](ModuleDriver &d) { return d.DevFocus(FocusStop, address); });
}

void MotionKeys::irisPressed(std::uint8_t code)
{
    guardedPress(m_link.state.IrisKeyActive, &ModuleDriver::DevIris, code, DomeEvents::LensControl::IrisManual,
                 m_irisAddress);
}

void MotionKeys::irisReleased()
{
    const std::uint8_t address = m_irisAddress;
    m_link.send([address](ModuleDriver &d) { return d.DevIris(IrisStop, address); });
}

void MotionKeys::vphase(std::uint8_t code, const QString &done)
{
    m_link.sendMisc(m_vphaseAddress, code, {}, [link = m_link, done](std::int32_t r) {
        if (r == 0)
            link.events.said(done);
        else
            link.events.callFailed(DomeLink::invalidAsCommandError(r));
    });
}

void MotionKeys::vphasePressed(std::uint8_t code)
{
    m_vphaseAddress = m_link.state.DomeAddress;
    vphase(code, code == VphaseIncrement ? QStringLiteral("Vphase Increment") : QStringLiteral("Vphase Decrement"));
}

void MotionKeys::vphaseReleased()
{
    vphase(VphaseStop, QStringLiteral("Vphase Stop"));
}

// A tap sends its stop whatever the start answered.
void MotionKeys::panTap(std::uint8_t code)
{
    const std::uint8_t record = m_link.state.recordFlag();
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.send([=](ModuleDriver &d) { return d.DevPan(code, ArrowSpeed, address, record); });
    m_link.send([=](ModuleDriver &d) { return d.DevPan(PanStop, ArrowSpeed, address, record); });
}

void MotionKeys::tiltTap(std::uint8_t code)
{
    const std::uint8_t record = m_link.state.recordFlag();
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.send([=](ModuleDriver &d) { return d.DevTilt(code, ArrowSpeed, address, record); });
    m_link.send([=](ModuleDriver &d) { return d.DevTilt(TiltStop, ArrowSpeed, address, record); });
}

void MotionKeys::toggleTap()
{
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.send([address](ModuleDriver &d) { return d.DevZoom(ZoomIn, address); });
    m_link.send([address](ModuleDriver &d) { return d.DevZoom(ZoomStop, address); });
}

// "Select" in the dome's menu is a focus-far without a stop.
void MotionKeys::select()
{
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.send([address](ModuleDriver &d) { return d.DevFocus(FocusFar, address); });
}
