#include "engines/flash/LoadStatus.h"

#include "core/TextFormat.h"

namespace LoadStatus {

QString text(int code)
{
    switch (code) {
    case ChecksumError: return QStringLiteral("Checksum Error");
    case ProgrammingError: return QStringLiteral("Programming Error");
    case AddressError: return QStringLiteral("Address Error");
    case SequenceError: return QStringLiteral("Sequence Error");
    case UsbError: return QStringLiteral("USB Error - Reconnect USB Module and Click Connect USB");
    case InvalidRequest: return QStringLiteral("Invalid Request");
    case NoResponse: return QStringLiteral("No Response From Device");
    case InvalidLoadFile: return QStringLiteral("Invalid Load File");
    case InvalidAddress: return QStringLiteral("Invalid Quillbus Address");
    default: return QStringLiteral("Unknown Error = ") + TextFormat::hexNumber(code & 0xFF);
    }
}

} // namespace LoadStatus
