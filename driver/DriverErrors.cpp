#include "driver/DriverErrors.h"

#include "core/TextFormat.h"
#include "driver/DriverResult.h"

namespace DriverErrors {
namespace {
using DriverResult::NoResponse;

QString tableMessage(std::int32_t code)
{
    switch (code) {
    case 0: return QStringLiteral("USB Device found and enumerated");
    case 5: return QStringLiteral("USB_ERROR");
    case 6: return QStringLiteral("ERROR - Invalid Command");
    case 8: return QStringLiteral("ERROR - No USB Device Found");
    case 9: return QStringLiteral("ERROR - Unable to Create file handles");
    case 10: return QStringLiteral("ERROR - Unable to Configure USB Device");
    case 11: return QStringLiteral("ERROR - Unable to Bind to EP 0x81");
    case 12: return QStringLiteral("ERROR - Unable to Bind to EP 0x02");
    case 13: return QStringLiteral("ERROR - Module Not Online");
    default: return {};
    }
}
} // namespace

bool hasRow(std::int32_t code, Wording wording)
{
    if (code == NoResponse)
        return wording == Wording::Dome;
    return !tableMessage(code).isEmpty();
}

QString message(std::int32_t code, Wording wording, int domeAddress)
{
    if (code == NoResponse && wording == Wording::Dome)
        return QStringLiteral("No Response from Device ") + TextFormat::numberText(domeAddress);
    const QString text = tableMessage(code);
    return text.isEmpty() ? QStringLiteral("UNDEFINED ERROR") : text;
}

QString cause(std::int32_t code)
{
    switch (code) {
    case DriverResult::UsbError: return QStringLiteral("USB link error, driver answer 5");
    case DriverResult::NoDeviceFound: return QStringLiteral("none found, driver answer 8");
    case DriverResult::ModuleNotOnline: return QStringLiteral("not online, driver answer 13");
    default: return QStringLiteral("driver answer ") + QString::number(code);
    }
}

} // namespace DriverErrors
