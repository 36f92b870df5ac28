#include "engines/dome/RawEntry.h"

#include "core/TextFormat.h"

namespace RawEntry {
namespace {

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

bool allHex(const QString &text)
{
    for (const QChar c : text) {
        if (!isHexDigit(c))
            return false;
    }
    return true;
}

std::uint8_t pair(const QString &text, qsizetype at)
{
    return static_cast<std::uint8_t>(TextFormat::domeHexPairToByte(text[at], text[at + 1]));
}

} // namespace

std::optional<Bytes> qwilData(const QString &text)
{
    const qsizetype length = text.size();
    // An odd length leaves its last character unconverted: only the pairs must be hex.
    if (length < MinQwilDataLength || length > MaxQwilDataLength || !allHex(text.left(length - length % 2)))
        return std::nullopt;
    Bytes bytes;
    for (qsizetype i = 0; i + 1 < length; i += 2)
        bytes.push_back(pair(text, i));
    // An odd length rounds half to even: up when the whole half is odd, adding a zero.
    if (length % 2 == 1 && (length / 2) % 2 == 1)
        bytes.push_back(0);
    return bytes;
}

std::optional<BusSettings> configureQwil(const QString &text)
{
    if (text.size() != 10)
        return std::nullopt;
    for (const qsizetype at : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!isHexDigit(text[at]))
            return std::nullopt;
    }
    const std::uint8_t high = pair(text, 0);
    if (high >= 0x80)
        return std::nullopt; // beyond the 16-bit value
    const BusSettings settings{high * 256 + pair(text, 2), pair(text, 5), pair(text, 8)};
    if (settings.value < 250 || settings.second == 0 || settings.highestAddress >= 200)
        return std::nullopt;
    return settings;
}

std::optional<ConfigBuffer> setConfigBuffer(const QString &text)
{
    if (text.size() <= 8)
        return std::nullopt;
    for (const qsizetype at : {0, 1, 3, 4}) {
        if (!isHexDigit(text[at]))
            return std::nullopt;
    }
    const int block = TextFormat::domeHexPairToByte(text[0], text[1]);
    const int count = TextFormat::domeHexPairToByte(text[3], text[4]);
    ConfigBuffer buffer;
    for (qsizetype at = 6; at < text.size(); at += 2) {
        if (at + 1 >= text.size() || !isHexDigit(text[at]) || !isHexDigit(text[at + 1]))
            return std::nullopt;
        buffer.data.push_back(pair(text, at));
    }
    if (block > MaxConfigBlock || count > MaxConfigCount || buffer.data.size() > MaxConfigDataBytes)
        return std::nullopt;
    buffer.block = static_cast<std::uint8_t>(block);
    buffer.count = static_cast<std::uint8_t>(count);
    return buffer;
}

Bytes downloadPacket(std::uint8_t domeAddress)
{
    Bytes packet{domeAddress, 0xF0, 0xC0, 0x03, 0x01};
    for (std::uint8_t i = 0; i <= 48; ++i)
        packet.push_back(i);
    return packet;
}

} // namespace RawEntry
