#include "MotionKeys.h"

namespace {
constexpr std::uint8_t ArrowSpeed = 0;
} // namespace

void MotionKeys::zoomPressed(std::uint8_t code)
{
    m_link.showFailure(m_link.driver.DevZoom(code, m_link.state.DomeAddress));
}

void MotionKeys::zoomReleased()
{
    m_link.showFailure(m_link.driver.DevZoom(ZoomStop, m_link.state.DomeAddress));
}

// A focus or iris start under its guard: the panel's option goes to Man without a message.
void MotionKeys::guardedPress(bool &guard, std::int32_t (ModuleDriver::*send)(std::uint8_t, std::uint8_t),
                              std::uint8_t code, void (DomeReport::*selectManual)())
{
    guard = true;
    m_link.showFailure((m_link.driver.*send)(code, m_link.state.DomeAddress));
    (m_link.report.*selectManual)();
    guard = false;
}

void MotionKeys::focusPressed(std::uint8_t code)
{
    guardedPress(m_link.state.FocusKeyActive, &ModuleDriver::DevFocus, code, &DomeReport::selectFocusManual);
}

void MotionKeys::focusReleased()
{
    m_link.showFailure(m_link.driver.DevFocus(FocusStop, m_link.state.DomeAddress));
}

void MotionKeys::irisPressed(std::uint8_t code)
{
    guardedPress(m_link.state.IrisKeyActive, &ModuleDriver::DevIris, code, &DomeReport::selectIrisManual);
}

void MotionKeys::irisReleased()
{
    m_link.showFailure(m_link.driver.DevIris(IrisStop, m_link.state.DomeAddress));
}

void MotionKeys::vphase(std::uint8_t code, const QString &done)
{
    std::uint8_t data = 0;
    const std::int32_t r = m_link.driver.MiscDevCtrl(code, &data, m_link.state.DomeAddress);
    if (r == 0)
        m_link.report.displayMessage(done);
    else
        m_link.report.displayError(DomeLink::invalidAsCommandError(r));
}

void MotionKeys::vphasePressed(std::uint8_t code)
{
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
    m_link.showFailure(m_link.driver.DevPan(code, ArrowSpeed, m_link.state.DomeAddress, record));
    m_link.showFailure(m_link.driver.DevPan(PanStop, ArrowSpeed, m_link.state.DomeAddress, record));
}

void MotionKeys::tiltTap(std::uint8_t code)
{
    const std::uint8_t record = m_link.state.recordFlag();
    m_link.showFailure(m_link.driver.DevTilt(code, ArrowSpeed, m_link.state.DomeAddress, record));
    m_link.showFailure(m_link.driver.DevTilt(TiltStop, ArrowSpeed, m_link.state.DomeAddress, record));
}

void MotionKeys::toggleTap()
{
    m_link.showFailure(m_link.driver.DevZoom(ZoomIn, m_link.state.DomeAddress));
    m_link.showFailure(m_link.driver.DevZoom(ZoomStop, m_link.state.DomeAddress));
}

// "Select" in the dome's menu is a focus-far without a stop.
void MotionKeys::select()
{
    m_link.showFailure(m_link.driver.DevFocus(FocusFar, m_link.state.DomeAddress));
}
