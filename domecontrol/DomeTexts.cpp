#include "DomeTexts.h"

#include "DriverErrors.h"
#include "TextFormat.h"

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

} // namespace DomeTexts
