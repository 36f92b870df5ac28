#include "driver/ModuleStatus.h"

#include "core/TextFormat.h"

namespace ModuleStatus {
namespace {
constexpr std::uint32_t StateNoMode = 0x00;
constexpr std::uint32_t StateApplication = 0x80;
constexpr std::uint32_t StateBoot = 0x81;

const QString ModuleTitle = QStringLiteral("Orvo USB Module Rev ");

std::uint32_t stateOf(std::int32_t word)
{
    return static_cast<std::uint32_t>(word) & 0xFFu;
}

// Bits 8 and up, the top 16 included, mark a pre-mode.
bool isPreMode(std::int32_t word)
{
    return (static_cast<std::uint32_t>(word) >> 8) != 0;
}

long long preModeNumber(std::int32_t word)
{
    return (static_cast<std::uint32_t>(word) >> 8) & 0xFFu;
}
} // namespace

bool isConnected(std::int32_t word)
{
    const std::uint32_t state = stateOf(word);
    return state == StateNoMode || state == StateApplication || state == StateBoot;
}

QString revisionText(std::uint8_t major, std::uint8_t minor)
{
    const QString separator = minor <= 9 ? QStringLiteral(".0") : QStringLiteral(".");
    return TextFormat::hexNumber(major) + separator + TextFormat::hexNumber(minor);
}

QString modeSuffix(std::int32_t word, SuffixStyle style)
{
    const std::uint32_t state = stateOf(word);
    if (state != StateApplication && state != StateBoot)
        return {};
    const bool boot = state == StateBoot;
    const bool brackets = style == SuffixStyle::Brackets;
    if (!isPreMode(word)) {
        if (brackets)
            return boot ? QStringLiteral("(Boot)") : QStringLiteral("(App)");
        return boot ? QStringLiteral(" BOOT") : QStringLiteral(" APP");
    }
    const QString n = TextFormat::numberText(preModeNumber(word));
    if (brackets)
        return (boot ? QStringLiteral("(PreBoot") : QStringLiteral("(PreApp")) + n + QLatin1Char('}');
    return (boot ? QStringLiteral(" PREBOOT ") : QStringLiteral(" PREAPP ")) + n;
}

QString statusText(std::int32_t word, std::uint8_t major, std::uint8_t minor, Form form)
{
    const QString revision = revisionText(major, minor);
    switch (form) {
    case Form::Long:
        return ModuleTitle + revision + QStringLiteral("- Online") + modeSuffix(word, SuffixStyle::Brackets);
    case Form::TitledShort: return ModuleTitle + revision + modeSuffix(word, SuffixStyle::Words);
    case Form::BareShort: break;
    }
    return revision + modeSuffix(word, SuffixStyle::Words);
}

} // namespace ModuleStatus
