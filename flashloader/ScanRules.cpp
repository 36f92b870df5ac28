#include "ScanRules.h"

#include "TextFormat.h"

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

QString row(int address, std::span<const std::uint8_t> validReply)
{
    QString text = QStringLiteral("%1 ").arg(address, 3, 10, QLatin1Char(' '));
    if (validReply.size() >= ReplyData + ConfigLength) {
        const auto data = validReply.subspan(ReplyData, ConfigLength);
        for (std::size_t i = 4; i < 10; ++i)
            text += data[i] == 0 ? QLatin1Char(' ') : QChar(data[i]);
        text += TextFormat::hexByte(data[0]) + TextFormat::hexByte(data[1]);
        text += QStringLiteral("  ");
        text += TextFormat::hexByte(data[2]) + TextFormat::hexByte(data[3]);
    }
    return text.leftJustified(RowWidth, QLatin1Char(' '), true);
}

QString rowType(const QString &row)
{
    return row.mid(10, 4);
}

QString rowRevision(const QString &row)
{
    return row.mid(16, 4);
}

int rowAddress(const QString &row)
{
    return row.left(3).trimmed().toInt();
}

QString rowName(const QString &row)
{
    QString name = row.mid(4, 6);
    while (name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name;
}

bool rowAnswered(const QString &row)
{
    return !row.mid(4).trimmed().isEmpty();
}

} // namespace ScanRules
