#include "engines/dome/NcpcMessages.h"

#include "core/TextFormat.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace Ncpc {
namespace {
constexpr std::uint8_t ShortFlag = 0x40, RelativeFlag = 0x20;
constexpr std::uint8_t FocusAuto = 0x40, IrisAuto = 0x80;
constexpr std::uint8_t TargetReply = 30;
constexpr double Scale = 10000;

std::uint8_t units(const Choices &c)
{
    return static_cast<std::uint8_t>(c.units);
}

std::uint8_t shortUnlessLong(const Choices &c)
{
    return c.longForm ? 0 : ShortFlag;
}

Bytes request(std::uint8_t address, std::uint8_t byte6, std::uint8_t byte7)
{
    Bytes m = DomeMessages::engineeringHeader(address);
    m.push_back(byte6);
    m.push_back(byte7);
    return m;
}

void putBigEndian(Bytes &m, std::size_t at, std::int64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        m[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((value >> (8 * (bytes - 1 - i))) & 0xFF);
}

// The leading number of a text, as the platform's number reading takes it: 0 when none.
double leadingNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+))"));
    const QRegularExpressionMatch m = number.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

// The leading hexadecimal digits of a text, unsigned; nothing beyond 32 bits.
std::optional<std::int64_t> leadingHex(const QString &text)
{
    std::int64_t value = 0;
    for (const QChar c : text.trimmed()) {
        const qsizetype digit = QStringLiteral("0123456789ABCDEF").indexOf(c.toUpper());
        if (digit < 0)
            break;
        value = value * 16 + digit;
        if (value > std::numeric_limits<std::uint32_t>::max())
            return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> fitting(double value)
{
    const double rounded = std::nearbyint(value); // half to even
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

QString hexOf(std::span<const std::uint8_t> r, std::size_t at, std::size_t bytes)
{
    return TextFormat::hexBytes(r.subspan(at, bytes));
}

QString scaled(double value)
{
    return QString::number(static_cast<long long>(std::nearbyint(value / Scale)));
}

} // namespace

Bytes get(std::uint8_t address, const Choices &c)
{
    const std::uint8_t axis = c.zoom ? 12 : c.tilt ? 10 : c.pan ? 7 : 0;
    return request(address, static_cast<std::uint8_t>(axis + shortUnlessLong(c)), units(c));
}

Bytes getUnits(std::uint8_t address, const Choices &c)
{
    return request(address, static_cast<std::uint8_t>((c.maxLimit ? 0x1F : 0x00) + shortUnlessLong(c)), units(c));
}

Bytes getTarget(std::uint8_t address, const Choices &c)
{
    return request(address, static_cast<std::uint8_t>(0x1E + shortUnlessLong(c)), units(c));
}

Bytes setTarget(std::uint8_t address, const Choices &c, std::span<const std::uint8_t> targetData)
{
    Bytes m = request(address, static_cast<std::uint8_t>(0x9E + shortUnlessLong(c)), units(c));
    for (std::size_t i = 0; i < TargetBytesSent; ++i)
        m.push_back(i < targetData.size() ? targetData[i] : 0);
    return m;
}

Bytes nudge(std::uint8_t address, const Choices &c, Nudge which)
{
    const bool focus = which == Nudge::Near || which == Nudge::Far;
    const std::uint8_t direction = which == Nudge::Near || which == Nudge::Close ? 0x20 : 0x10;
    const std::uint8_t otherAuto = focus ? (c.irisAuto ? IrisAuto : 0) : (c.focusAuto ? FocusAuto : 0);
    const std::uint8_t unitBits = c.units == Units::Degrees ? 1 : c.units == Units::Frames ? 2 : 0;
    return request(address, static_cast<std::uint8_t>((focus ? 0x83 : 0x82) + shortUnlessLong(c)),
                   static_cast<std::uint8_t>(direction + otherAuto + unitBits));
}

Bytes frameMove(std::uint8_t address)
{
    Bytes m = request(address, 0xAA, 0xC2);
    for (const int b : {0xFF, 0xEC, 0x78, 0x00, 0x00, 0x00})
        m.push_back(static_cast<std::uint8_t>(b));
    return m;
}

std::optional<std::int64_t> parseValue(const QString &text, const Choices &c, bool shortForm)
{
    if (c.zoom)
        return fitting(leadingNumber(text));
    if (c.units == Units::Counts)
        return leadingHex(text);
    // The long form rounds the number before scaling it; the short form rounds the product.
    if (shortForm)
        return fitting(leadingNumber(text) * Scale);
    const auto whole = fitting(leadingNumber(text));
    if (!whole)
        return std::nullopt;
    return fitting(static_cast<double>(*whole) * Scale);
}

namespace {
// A value its field holds read as signed or as unsigned: from -2^(n-1) to 2^n - 1.
std::optional<std::int64_t> inField(std::optional<std::int64_t> value, int bytes)
{
    const std::int64_t span = std::int64_t{1} << (8 * bytes);
    if (value && *value >= -span / 2 && *value < span)
        return value;
    return std::nullopt;
}
} // namespace

std::optional<SetRequest> set(std::uint8_t address, const Choices &c, const QString &panText, const QString &tiltText,
                              const QString &zoomText)
{
    const std::uint8_t automatic =
        static_cast<std::uint8_t>((c.focusAuto ? FocusAuto : 0) + (c.irisAuto ? IrisAuto : 0));
    const std::uint8_t relative = c.relative ? RelativeFlag : 0;
    if (c.longForm) {
        const std::uint8_t byte6 = c.zoom ? 0x8C : c.tilt ? 0x8A : c.pan ? 0x87 : 0x00;
        const std::size_t length = c.zoom ? 16 : c.tilt ? 14 : c.pan ? 11 : 8;
        const auto pan = inField(parseValue(panText, c, false), 3);
        const auto tilt = length >= 14 ? inField(parseValue(tiltText, c, false), 3) : std::optional<std::int64_t>(0);
        const auto zoom = length == 16 ? inField(parseValue(zoomText, c, false), 2) : std::optional<std::int64_t>(0);
        if (!pan || !tilt || !zoom)
            return std::nullopt;
        Bytes m = request(address, static_cast<std::uint8_t>(byte6 | relative),
                          static_cast<std::uint8_t>((c.zoom ? 0 : units(c)) + automatic));
        m.resize(length, 0);
        if (length >= 11)
            putBigEndian(m, 8, *pan, 3);
        if (length >= 14)
            putBigEndian(m, 11, *tilt, 3);
        if (length == 16)
            putBigEndian(m, 14, *zoom, 2);
        return SetRequest{m, QString::number(*pan)};
    }
    // One axis: the first chosen of pan, tilt and zoom gives the code, and its value is
    // scaled, counted and sized as that axis's own. The code's relative bit is the choice.
    constexpr std::uint8_t PanCode = 0xE7, TiltCode = 0xEA, ZoomCode = 0xEC;
    std::uint8_t byte6 = ShortFlag;
    QString text;
    if (c.pan) {
        byte6 = PanCode;
        text = panText;
    } else if (c.tilt) {
        byte6 = TiltCode;
        text = tiltText;
    } else if (c.zoom) {
        byte6 = ZoomCode;
        text = zoomText;
    }
    Choices axis = c;
    axis.zoom = byte6 == ZoomCode;
    const int bytes = axis.zoom ? 2 : 3;
    const auto value = inField(parseValue(text, axis, true), bytes);
    if (!value)
        return std::nullopt;
    Bytes m = request(address, static_cast<std::uint8_t>((byte6 & ~RelativeFlag) | relative),
                      static_cast<std::uint8_t>((axis.zoom ? 0 : units(c)) + automatic));
    m.resize(8 + static_cast<std::size_t>(bytes), 0);
    putBigEndian(m, 8, *value, bytes);
    return SetRequest{m, text};
}

ReplyView decode(std::span<const std::uint8_t> r, std::size_t count)
{
    ReplyView view;
    if (count < 11 || r.size() <= count)
        return view;
    const std::uint8_t a = r[9] & 0x1F;
    const std::uint8_t u = r[10] & 3;
    // A field is read only when the record holds it; otherwise its box stays as it is.
    const auto holds = [count](std::size_t at, std::size_t bytes) { return at + bytes <= count; };
    const auto u24 = [r](std::size_t at) { return (r[at] << 16) | (r[at + 1] << 8) | r[at + 2]; };
    const auto s24 = [u24](std::size_t at) {
        const int v = u24(at);
        return v >= 0x800000 ? v - 0x1000000 : v;
    };
    const auto zoomValue = [r](std::size_t at) { return QString::number(r[at] * 256 + r[at + 1]); };
    const auto field = [&](std::optional<QString> &box, std::size_t at, std::size_t bytes, auto read) {
        if (holds(at, bytes))
            box = read(at);
    };
    if (a == TargetReply) {
        const std::size_t last = std::min(count, 10 + TargetDataBytes);
        view.targetData = Bytes(r.begin() + 11, r.begin() + static_cast<std::ptrdiff_t>(last + 1));
        return view;
    }
    const auto hex = [r](std::size_t bytes) { return [r, bytes](std::size_t at) { return hexOf(r, at, bytes); }; };
    const auto angle = [&](bool isSigned) {
        return [&, isSigned](std::size_t at) { return scaled(isSigned ? s24(at) : u24(at)); };
    };
    if (!(r[9] & ShortFlag)) {
        field(view.pan, 11, 3, u == 0 ? std::function<QString(std::size_t)>(hex(3)) : angle(false));
        if (a >= 1 && a <= 7) {
            view.tilt = view.zoom = QString();
            return view;
        }
        field(view.tilt, 14, 3, u == 0 ? std::function<QString(std::size_t)>(hex(3)) : angle(true));
        if (a >= 1 && a <= 10) {
            view.zoom = QString();
            return view;
        }
        field(view.zoom, 17, 2, u == 0 ? std::function<QString(std::size_t)>(hex(2)) : zoomValue);
        return view;
    }
    if (u == 2 || (a != 7 && a != 10 && a != 12))
        return view;
    view.pan = view.tilt = view.zoom = QString();
    std::optional<QString> &box = a == 7 ? view.pan : a == 10 ? view.tilt : view.zoom;
    box.reset();
    if (a == 12)
        field(box, 11, 2, u == 0 ? std::function<QString(std::size_t)>(hex(2)) : zoomValue);
    else
        field(box, 11, 3, u == 0 ? std::function<QString(std::size_t)>(hex(3)) : angle(a == 10));
    return view;
}

} // namespace Ncpc
