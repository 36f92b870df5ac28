#include "engines/flash/ScanRules.h"

#include "core/TextFormat.h"

#include <cmath>

namespace ScanRules {

int perAddressTimeoutMs(int maxAddress)
{
    if (maxAddress <= 16)
        return 250;
    if (maxAddress <= 32)
        return 500;
    if (maxAddress <= 64)
        return 750;
    return 1000;
}

int boxValue(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype end = 0;
    bool point = false;
    while (end < trimmed.size() && (trimmed[end].isDigit() || (trimmed[end] == QLatin1Char('.') && !point))) {
        point = point || trimmed[end] == QLatin1Char('.');
        ++end;
    }
    bool ok = false;
    const double value = trimmed.left(end).toDouble(&ok);
    return ok ? static_cast<int>(std::lround(std::min(value, 1e6))) : 0;
}

bool isValidReply(int result, std::span<const std::uint8_t> buffer, int expectedLength, int address)
{
    if (result != 0 || buffer.size() <= ReplyLength)
        return false;
    return buffer[ReplyLength] == expectedLength && buffer[ReplyCode] == ConfigReplyCode &&
           buffer[ReplyAddress] == address;
}

ScannedDevice device(int address, std::span<const std::uint8_t> validReply)
{
    ScannedDevice device{address, false, {}, QStringLiteral("    "), QStringLiteral("    ")};
    if (validReply.size() < ReplyData + ConfigLength)
        return device;
    const auto data = validReply.subspan(ReplyData, ConfigLength);
    device.answered = true;
    for (std::size_t i = 4; i < 10; ++i)
        device.name += data[i] == 0 ? QLatin1Char(' ') : QChar(data[i]);
    while (device.name.endsWith(QLatin1Char(' ')))
        device.name.chop(1);
    device.type = TextFormat::hexByte(data[0]) + TextFormat::hexByte(data[1]);
    device.revision = TextFormat::hexByte(data[2]) + TextFormat::hexByte(data[3]);
    return device;
}

QString row(const ScannedDevice &device)
{
    QString text = QStringLiteral("%1 ").arg(device.address, 3, 10, QLatin1Char(' '));
    if (device.answered)
        text += device.name.leftJustified(6) + device.type + QStringLiteral("  ") + device.revision;
    return text.leftJustified(RowWidth, QLatin1Char(' '), true);
}

} // namespace ScanRules
