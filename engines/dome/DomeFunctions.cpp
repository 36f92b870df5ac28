#include "engines/dome/DomeFunctions.h"

#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "driver/DriverResult.h"
#include "engines/dome/DomeTexts.h"

#include <QObject>

#include <array>
#include <memory>

DomeFunctions::DomeFunctions(DomeLink link)
    : m_link(link), m_resetTimer(std::make_unique<FormTimer>(QStringLiteral("resetTimer"), ResetWindowMs, nullptr))
{
    m_resetTimer->setSingleShot(true);
    QObject::connect(m_resetTimer.get(), &FormTimer::timeout, m_resetTimer.get(), [this] { resetTimerFired(); });
}

// The whole mask goes every time; the box and the mask keep the new state even if the
// dome did not take it.
void DomeFunctions::outputClicked(int output, bool checked)
{
    DomeState &s = m_link.state;
    const auto bit = static_cast<std::uint8_t>(1u << (output - 1));
    s.OutputMask = static_cast<std::uint8_t>(checked ? s.OutputMask | bit : s.OutputMask & ~bit);
    const QString done = QStringLiteral("Set Output #") + QString::number(output) +
                         (checked ? QStringLiteral(" ON") : QStringLiteral(" OFF"));
    m_link.sendMisc(SetOutputs, {s.OutputMask}, [link = m_link, done](std::int32_t r) {
        if (r == 0)
            link.events.said(done);
        else
            link.events.callFailed(DomeLink::invalidAsCommandError(r));
    });
}

// The window's mode follows the key whatever the dome answered.
void DomeFunctions::menu()
{
    DomeState &s = m_link.state;
    m_link.sendMisc(s.MenuMode ? ExitMenu : ShowMenu, {}, [](std::int32_t) {});
    s.MenuMode = !s.MenuMode;
    m_link.events.menuChanged(s.MenuMode);
    m_link.events.said(s.MenuMode ? QStringLiteral("Display Dome Menu") : QStringLiteral("Exit Dome Menu"));
}

void DomeFunctions::directSet()
{
    DomeState &s = m_link.state;
    const int n = s.EntryNumber;
    m_link.sendMisc(QuickSet, {0, static_cast<std::uint8_t>(n)}, [link = m_link, n](std::int32_t r) {
        if (r != 0) {
            link.events.callFailed(DomeLink::invalidAsCommandError(r));
            return;
        }
        link.events.said(DomeTexts::quickSet(n, link.state.MenuMode));
        if (n == 1)
            link.state.MenuMode = !link.state.MenuMode; // the dome's menu toggles; the keypad stays
    });
    s.clearEntry();
}

void DomeFunctions::flip()
{
    m_link.sendMisc(Flip, {}, [link = m_link](std::int32_t r) {
        if (r == 0)
            link.events.said(QStringLiteral("Flip"));
        else
            link.events.callFailed(DomeLink::invalidAsCommandError(r));
    });
}

// Two clicks within half a second reset the dome; one click alone does nothing.
void DomeFunctions::resetClicked()
{
    DomeState &s = m_link.state;
    if (!s.ResetArmed) {
        m_resetTimer->setEnabled(true);
        s.ResetArmed = true;
        return;
    }
    const QString done = QStringLiteral("Reset Dome #") + TextFormat::numberText(s.DomeAddress);
    m_link.sendMisc(ResetDome, {}, [link = m_link, done](std::int32_t r) {
        if (r == 0)
            link.events.said(done);
        else
            link.events.callFailed(r);
    });
}

DomeFunctions::~DomeFunctions() = default;

void DomeFunctions::cancelReset()
{
    m_resetTimer->setEnabled(false);
}

void DomeFunctions::resetTimerFired()
{
    m_resetTimer->setEnabled(false);
    m_link.state.ResetArmed = false;
}

void DomeFunctions::autoFocusAndIris()
{
    DomeState &s = m_link.state;
    s.AutoKeyActive = true;
    m_link.events.lensControlChanged(DomeEvents::LensControl::Automatic);
    m_link.sendMisc(AutoFocusAndIris, {}, [link = m_link](std::int32_t r) {
        if (r != 0)
            link.events.callFailed(DomeLink::invalidAsCommandError(r));
    });
    s.AutoKeyActive = false;
}

void DomeFunctions::maxOpticalZoom()
{
    auto buffer = std::make_shared<std::array<std::uint8_t, ZoomReplyBytes>>();
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.ask(
        [buffer, address](ModuleDriver &driver) { return driver.MiscDevCtrl(MaxOpticalZoom, buffer->data(), address); },
        [link = m_link, buffer, address](std::int32_t r) {
            if (r == 0 && (*buffer)[5] == MaxOpticalZoom)
                link.events.said(DomeTexts::maxOpticalZoom(address, (*buffer)[6]));
            else if (r == 0)
                link.events.said(DomeTexts::NoZoomAnswer); // a success text would misreport it
            else
                link.events.callFailed(r == DriverResult::NothingYet ? DriverResult::NoResponse : r);
        });
}
