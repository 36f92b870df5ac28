#pragma once

#include <QString>

// Version texts of each piece, as the panel reports them and the windows show them.
namespace Versions {
inline const QString Panel = QStringLiteral("2.01");
inline const QString FlashLoader = QStringLiteral("2.01");
inline const QString BusAnalyzer = QStringLiteral("1.00");
inline const QString DomeControl = QStringLiteral("2.00");
} // namespace Versions
