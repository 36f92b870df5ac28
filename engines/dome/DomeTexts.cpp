#include "engines/dome/DomeTexts.h"

#include "core/TextFormat.h"
#include "driver/DriverErrors.h"

namespace DomeTexts {

QString camera(int address)
{
    return QStringLiteral("Camera ") + TextFormat::numberText(address);
}

QString error(std::int32_t code, int domeAddress)
{
    return DriverErrors::message(code, DriverErrors::Wording::Dome, domeAddress);
}

QString quickSet(int n, bool menuWasOpen)
{
    switch (n) {
    case 0: return QStringLiteral("Toggle DirectSet Menu");
    case 1: return menuWasOpen ? QStringLiteral("Exit Dome Menu") : QStringLiteral("Display Dome Menu");
    case 2: return QStringLiteral("Auto Focus and Auto Iris");
    case 3: return QStringLiteral("Flip Dome");
    case 4: return QStringLiteral("Run PEEL Pattern");
    case 10: return QStringLiteral("Set To Night Mode");
    case 11: return QStringLiteral("Set To Day Mode");
    case 12: return QStringLiteral("Set to Auto Day/Night Mode");
    case 13: return QStringLiteral("WDR ON");
    case 14: return QStringLiteral("WDR OFF");
    case 15: return QStringLiteral("Run Smooth Scan");
    case 16: return QStringLiteral("Run Stepped Scan");
    case 17: return QStringLiteral("Run Random Scan");
    case 20: return QStringLiteral("Display Dome Information");
    case 48: return QStringLiteral("EIS Off");
    case 49: return QStringLiteral("EIS 5Hz");
    case 50: return QStringLiteral("EIS 10 Hz");
    case 255: return QStringLiteral("Reset Dome");
    default:
        if (n >= 51 && n <= 66)
            return QStringLiteral("Run Sequence #") + TextFormat::numberText(n - 50);
        return QStringLiteral("Invalid QuickSet Number");
    }
}

QString maxOpticalZoom(int domeAddress, int zoom)
{
    return QStringLiteral("Max Optical Zoom, Dome #") + TextFormat::numberText(domeAddress) + QStringLiteral("= ") +
           TextFormat::numberText(zoom);
}

QString flashRevision(std::span<const std::uint8_t> reply)
{
    const auto pair = [reply](std::size_t at) { return TextFormat::hexBytes(reply.subspan(at, 2)); };
    return QStringLiteral("Flash Rev. = ") + pair(7) + QLatin1Char('-') + pair(9) + QLatin1Char('-') + pair(11);
}

QString deviceStatus(int domeAddress, std::span<const std::uint8_t> status)
{
    return QStringLiteral("Dev #") + TextFormat::numberText(domeAddress) + QStringLiteral(": ") +
           QStringLiteral("Type = ") + TextFormat::hexBytes(status.subspan(0, 2)) + QStringLiteral("  ") +
           QStringLiteral("Rev = ") + TextFormat::hexBytes(status.subspan(2, 2)) + QStringLiteral("  ") +
           QStringLiteral("Online = ") + TextFormat::hexByte(status[4]) + QStringLiteral("  ");
}

QString absolutePosition(std::span<const std::uint8_t> position)
{
    QString text = QStringLiteral("ABS Pos = ");
    for (std::size_t i = 6; i <= 15; ++i)
        text += TextFormat::hexByte(position[i]) + QLatin1Char(' ');
    return text;
}

QString pingLine(long sent, long echoed)
{
    constexpr long WideSpacerUpTo = 100;
    return QStringLiteral("Ping Test:  Tx = ") + TextFormat::numberText(sent) +
           (sent <= WideSpacerUpTo ? QStringLiteral("        Rx = ") : QStringLiteral("    Rx = ")) +
           TextFormat::numberText(echoed);
}

} // namespace DomeTexts
