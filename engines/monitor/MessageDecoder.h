#pragma once

#include <QString>

#include <span>

// Describes a captured bus message in words, from its data text (command code in
// characters 1-2, first parameter in 3-4, second in 5-6, blank-padded).
namespace MessageDecoder {

inline const QString InvalidCommand = QStringLiteral("*** Invalid Command ***");

struct Description {
    QString text; // empty when the command has no entry
    bool beepTwice = false;
};

Description describe(const QString &dataText);

// The wording of a command code, without parameters (for tables and tests).
QString commandName(int code);

// The rules describe() follows, as data, for faces that decode messages elsewhere (the
// Wireshark dissector is generated from them).
// How a command's number is taken from its parameters.
enum class Number { None, FirstPlusOne, Second, First };

struct Entry {
    int code;
    const char *text;
    Number number;
};

// Commands worded from the table, their number (if any) appended after a blank.
std::span<const Entry> commands();

// A parameter that is missing, or not a hex pair, reads as this value.
constexpr int Unreadable = 0x7F;

// A variable-speed move: its direction (first parameter) worded from this table, then the
// speed (second parameter) and the unit. An unreadable direction or speed is invalid; a
// direction not in the table has no description.
constexpr int VariableSpeedMove = 0xC0;
std::span<const Entry> speedDirections();
inline constexpr char SpeedUnit[] = " Deg/Sec";

// A pattern run once (first parameter 0) or repeated; the pattern's number is the second
// parameter plus one.
constexpr int RepeatPattern = 0xA3;
inline constexpr char RunPatternText[] = "Run Pattern";
inline constexpr char RepeatPatternText[] = "Repeat Pattern";

} // namespace MessageDecoder
