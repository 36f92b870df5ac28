#pragma once

#include <QLocale>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// How the monitor turns a captured record into its row, and which rows it hides.
namespace MonitorRows {

constexpr int DataWidth = 53;
constexpr int TimeWidth = 9;

// Seconds with three decimals in the given number format, right-aligned to 9 columns.
QString timeText(double seconds, const QLocale &locale);

// The message a record carries (MessageDecoder's bytes): from its fourth byte, the check
// byte (at index count) left out. buffer holds the record and the byte after it.
std::span<const std::uint8_t> message(std::span<const std::uint8_t> buffer, int count);

// A record's row: the time, the header's bytes, the mark, the data and the words.
QString text(std::span<const std::uint8_t> buffer, int count, const QString &time);

// An "Addr" or "Cmds" list: up to 26 two-digit hex values with one separator after each;
// a 0 ends the list.
class FilterList {
public:
    static constexpr int Size = 26;

    void parse(const QString &text);
    // The text as a list of values the box reads as typed: hexadecimal pairs from 01 to
    // FF, one character between two, at most as many as the list keeps (lower-case digits
    // made upper-case); nothing when it is not such a list (00 would end the list).
    static std::optional<QString> wellFormed(const QString &text);
    void clear() { m_entries.fill(0); }
    bool contains(std::uint8_t value) const;

private:
    std::array<std::uint8_t, Size> m_entries{};
};

} // namespace MonitorRows
