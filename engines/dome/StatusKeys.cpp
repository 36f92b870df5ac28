#include "engines/dome/StatusKeys.h"

#include "driver/DriverResult.h"
#include "engines/dome/DomeTexts.h"

#include <algorithm>
#include <array>
#include <memory>

namespace {
constexpr std::size_t PositionFirst = 6, PositionEnd = 16, PositionPassed = 20;
} // namespace

// Each answer is shown when it comes; the window stays free while the dome is asked.
void StatusKeys::flashRevision()
{
    auto reply = std::make_shared<std::array<std::uint8_t, 101>>();
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.ask(
        [reply, address](ModuleDriver &driver) {
            return driver.GetConfigData(reply->data(), FlashRevisionLength, FlashRevisionBlock, address, ConfigWaitMs);
        },
        [link = m_link, reply](std::int32_t r) {
            if (r == 0)
                link.events.said(DomeTexts::flashRevision(*reply));
            else
                link.events.callFailed(r == DriverResult::NothingYet ? DriverResult::NoResponse : r);
        });
}

void StatusKeys::deviceStatus()
{
    auto status = std::make_shared<std::array<std::uint8_t, 51>>();
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.ask([status, address](ModuleDriver &driver) { return driver.GetDeviceStatus(status->data(), address); },
               [link = m_link, status, address](std::int32_t r) {
                   if (r == 0)
                       link.events.said(DomeTexts::deviceStatus(address, *status));
                   else
                       link.events.callFailed(r);
               });
}

// Whatever went wrong, a position that could not be read reads as no answer.
void StatusKeys::readPosition()
{
    // The read starts from the position held, as the driver writes only what it read.
    auto position = std::make_shared<decltype(DomeState::PositionBuffer)>(m_link.state.PositionBuffer);
    const std::uint8_t address = m_link.state.DomeAddress;
    m_link.ask([position, address](ModuleDriver &driver) { return driver.GetABSPosition(position->data(), address); },
               [link = m_link, position](std::int32_t r) {
                   link.state.PositionBuffer = *position;
                   if (r != 0)
                       link.events.callFailed(DriverResult::NoResponse);
                   else
                       link.events.said(DomeTexts::absolutePosition(link.state.PositionBuffer));
               });
}

void StatusKeys::gotoPosition()
{
    DomeState &s = m_link.state;
    const auto first = s.PositionBuffer.begin() + PositionFirst;
    const auto end = s.PositionBuffer.begin() + PositionEnd;
    if (std::all_of(first, end, [](std::uint8_t b) { return b == 0; })) {
        m_link.events.said(QStringLiteral("No Abs Position Data"));
        return;
    }
    // The driver is handed the buffer from byte 6 on, all 20 bytes of it.
    std::array<std::uint8_t, PositionPassed> position{};
    std::copy(first, first + PositionPassed, position.begin());
    const std::uint8_t address = s.DomeAddress;
    m_link.send([position, address](ModuleDriver &d) mutable { return d.GotoABSPosition(position.data(), address); },
                [link = m_link](std::int32_t r) {
                    if (r == 0)
                        link.events.said(QStringLiteral("Goto Abs Pos"));
                    else
                        link.events.callFailed(DomeLink::invalidAsCommandError(r));
                });
}
