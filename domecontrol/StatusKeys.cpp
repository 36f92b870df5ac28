#include "StatusKeys.h"

#include "DomeTexts.h"

#include <algorithm>
#include <array>

namespace {
constexpr std::int32_t DriverNoAnswer = 3;
constexpr std::int32_t NoResponse = 7;
constexpr std::size_t PositionFirst = 6, PositionEnd = 16;
} // namespace

void StatusKeys::flashRevision()
{
    std::array<std::uint8_t, 101> reply{};
    const std::int32_t r = m_link.driver.GetConfigData(reply.data(), FlashRevisionLength, FlashRevisionBlock,
                                                       m_link.state.DomeAddress, ConfigWaitMs);
    if (r == 0)
        m_link.report.displayMessage(DomeTexts::flashRevision(reply));
    else
        m_link.report.displayError(r == DriverNoAnswer ? NoResponse : r);
}

void StatusKeys::deviceStatus()
{
    std::array<std::uint8_t, 51> status{};
    const std::int32_t r = m_link.driver.GetDeviceStatus(status.data(), m_link.state.DomeAddress);
    if (r == 0)
        m_link.report.displayMessage(DomeTexts::deviceStatus(m_link.state.DomeAddress, status));
    else
        m_link.report.displayError(r);
}

// Whatever went wrong, a position that could not be read reads as no answer.
void StatusKeys::readPosition()
{
    DomeState &s = m_link.state;
    if (m_link.driver.GetABSPosition(s.PositionBuffer.data(), s.DomeAddress) != 0)
        m_link.report.displayError(NoResponse);
    else
        m_link.report.displayMessage(DomeTexts::absolutePosition(s.PositionBuffer));
}

void StatusKeys::gotoPosition()
{
    DomeState &s = m_link.state;
    const auto first = s.PositionBuffer.begin() + PositionFirst;
    const auto end = s.PositionBuffer.begin() + PositionEnd;
    if (std::all_of(first, end, [](std::uint8_t b) { return b == 0; })) {
        m_link.report.displayMessage(QStringLiteral("No Abs Position Data"));
        return;
    }
    const std::int32_t r = m_link.driver.GotoABSPosition(&*first, s.DomeAddress);
    if (r == 0)
        m_link.report.displayMessage(QStringLiteral("Goto Abs Pos"));
    else
        m_link.report.displayError(DomeLink::invalidAsCommandError(r));
}
