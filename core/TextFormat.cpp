#include "core/TextFormat.h"

namespace TextFormat {

QString numberText(long long value)
{
    const QString digits = QString::number(value);
    return value < 0 ? digits : QLatin1Char(' ') + digits;
}

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";
}

QString hexByte(std::uint8_t value)
{
    const QChar pair[2] = {QLatin1Char(HexDigits[value >> 4]), QLatin1Char(HexDigits[value & 0x0F])};
    return QString(pair, 2);
}

QString hexBytes(std::span<const std::uint8_t> bytes)
{
    // Written straight into place: the monitor formats every captured record with it.
    QString text(static_cast<qsizetype>(bytes.size() * 2), Qt::Uninitialized);
    QChar *out = text.data();
    for (const std::uint8_t b : bytes) {
        *out++ = QLatin1Char(HexDigits[b >> 4]);
        *out++ = QLatin1Char(HexDigits[b & 0x0F]);
    }
    return text;
}

QString hexNumber(long long value)
{
    // Negative words are shown as their 32-bit two's complement, as a driver word reads.
    const auto word = static_cast<unsigned long long>(value < 0 ? value & 0xFFFFFFFFLL : value);
    return QString::number(word, 16).toUpper();
}

namespace {
// Codes "0" (48) to "F" (70) are read, the punctuation between "9" and "A"
// included, exactly as the monitor's logs have always been decoded.
int monitorDigit(QChar c)
{
    const int code = c.unicode();
    if (code < '0' || code > 'F')
        return -1;
    return code <= '9' ? code - '0' : code - 55;
}

int domeDigit(QChar c)
{
    int code = c.unicode();
    if (code > 'F')
        code -= 32;
    return code <= '9' ? code - '0' : code - 55;
}
} // namespace

std::uint8_t monitorHexPairToByte(QChar high, QChar low)
{
    const int h = monitorDigit(high);
    const int l = monitorDigit(low);
    if (h < 0 || l < 0)
        return 0x7F;
    return static_cast<std::uint8_t>(h * 16 + l);
}

int domeHexPairToByte(QChar high, QChar low)
{
    return domeDigit(high) * 16 + domeDigit(low);
}

QStringList lines(const QByteArray &fileContent)
{
    QString text = QString::fromLatin1(fileContent);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList result = text.split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

QString csvField(const QString &field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) && !field.contains(QLatin1Char('\n')) &&
        !field.contains(QLatin1Char('\r')))
        return field;
    QString quoted = field;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace TextFormat
