#include "terminal/VersionReport.h"

#include "core/Versions.h"

#include <QStringList>

namespace VersionReport {

QString driverVersionText(std::int32_t version)
{
    const std::int32_t major = (version & ~0xFF) / 256;
    const std::int32_t minor = version & 0xFF;
    return QString::number(major) + QLatin1Char('.') + QStringLiteral("%1").arg(minor, 2, 10, QLatin1Char('0'));
}

QString build(std::int32_t driverVersion, const QString &moduleStatus)
{
    const QStringList lines{
        QStringLiteral("Utility Panel Version ") + Versions::Panel,
        QStringLiteral("FlashLoader Version ") + Versions::FlashLoader,
        QStringLiteral("Quillbus Analyzer Version ") + Versions::BusAnalyzer,
        QStringLiteral("DomeControl Version ") + Versions::DomeControl,
        QStringLiteral("QwilUsb.dll Version ") + driverVersionText(driverVersion),
        QStringLiteral("Orvo USB Module Version ") + moduleStatus,
    };
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace VersionReport
