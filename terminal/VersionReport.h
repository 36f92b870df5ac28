#pragma once

#include <QString>

#include <cstdint>

// The "Get Info" report: the version of every piece and the module's state.
namespace VersionReport {

// "1.05" from 0x0105, "2.12" from 0x020C.
QString driverVersionText(std::int32_t version);

// Six lines joined by CR LF, none after the last.
QString build(std::int32_t driverVersion, const QString &moduleStatus);

} // namespace VersionReport
