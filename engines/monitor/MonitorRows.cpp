#include "engines/monitor/MonitorRows.h"

#include "base/MessageDecoder.h"
#include "core/TextFormat.h"

namespace MonitorRows {
namespace {
constexpr std::size_t FirstMessageByte = 3;
constexpr std::size_t HeaderBytes = 5;

std::uint8_t pairAt(const QString &text, qsizetype at)
{
    // A character that is not there reads like a blank.
    const QChar high = at < text.size() ? text[at] : QLatin1Char(' ');
    const QChar low = at + 1 < text.size() ? text[at + 1] : QLatin1Char(' ');
    return TextFormat::monitorHexPairToByte(high, low);
}
} // namespace

QString timeText(double seconds, const QLocale &locale)
{
    return locale.toString(seconds, 'f', 3).rightJustified(TimeWidth, QLatin1Char(' '));
}

std::span<const std::uint8_t> message(std::span<const std::uint8_t> buffer, int count)
{
    if (buffer.empty())
        return buffer;
    const std::size_t last = std::min<std::size_t>(static_cast<std::size_t>(std::max(count, 0)), buffer.size() - 1);
    return last > FirstMessageByte ? buffer.subspan(FirstMessageByte, last - FirstMessageByte) : buffer.first(0);
}

QString text(std::span<const std::uint8_t> buffer, int count, const QString &time)
{
    const std::span<const std::uint8_t> bytes = message(buffer, count);
    // The header shows the message's first five bytes; a record shorter than that shows the
    // byte after it in their place.
    std::span<const std::uint8_t> header = bytes.first(std::min(bytes.size(), HeaderBytes));
    if (count >= static_cast<int>(FirstMessageByte) && bytes.size() < HeaderBytes &&
        buffer.size() > FirstMessageByte + bytes.size())
        header = buffer.subspan(FirstMessageByte, bytes.size() + 1);
    const std::span<const std::uint8_t> data = bytes.size() > HeaderBytes ? bytes.subspan(HeaderBytes) : bytes.first(0);
    const MessageDecoder::Reading reading = MessageDecoder::read(bytes);
    return time + QStringLiteral("   ") + TextFormat::hexBytes(header) +
           (reading.marked ? QStringLiteral(" ** ") : QStringLiteral("    ")) +
           TextFormat::hexBytes(data).leftJustified(DataWidth, QLatin1Char(' ')) + QStringLiteral("  ") +
           QString::fromLatin1(reading.text);
}

void FilterList::parse(const QString &text)
{
    m_entries.fill(0);
    int k = 0;
    // Values beyond the list's 26 places are not kept; a last value missing its second
    // digit reads as if a blank stood there.
    for (qsizetype i = 0; i < text.size() && k < Size; i += 3)
        m_entries[k++] = pairAt(text, i);
}

std::optional<QString> FilterList::wellFormed(const QString &text)
{
    const QString list = text.toUpper();
    const auto hex = [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); };
    // The last place ends the list, so one fewer value than places is kept.
    if (list.isEmpty() || (list.size() + 1) % 3 != 0 || (list.size() + 1) / 3 > Size - 1)
        return std::nullopt;
    for (qsizetype i = 0; i < list.size(); i += 3) {
        if (!hex(list[i]) || !hex(list[i + 1]) || list.mid(i, 2) == QLatin1String("00"))
            return std::nullopt;
    }
    return list;
}

bool FilterList::contains(std::uint8_t value) const
{
    for (int i = 0; i < Size - 1; ++i) {
        if (m_entries[i] == 0)
            return false;
        if (m_entries[i] == value)
            return true;
    }
    return false;
}

} // namespace MonitorRows
