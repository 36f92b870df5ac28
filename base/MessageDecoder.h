#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The monitor's reading of a bus message, on its bytes: the words the monitor shows for
// it, and whether its row is marked. One decoder for every face: the monitor's rows, the
// terminal, the log conversion and the Wireshark dissectors.
//
// A message as it crossed the bus: address, source, flags, socket, the marker 0x01, the
// command, its parameters (the check byte left out).
namespace MessageDecoder {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t AddressAt = 0;
constexpr std::size_t SourceAt = 1;
constexpr std::size_t CommandAt = 5;

inline constexpr char InvalidCommand[] = "*** Invalid Command ***";

// A byte the message does not hold reads as this value.
constexpr std::uint8_t Unreadable = 0x7F;

struct Reading {
    std::string text;              // empty when the command has no entry
    bool invalid = false;          // the text is InvalidCommand: the monitor beeps twice
    bool marked = false;           // the row carries the " ** " mark
    bool parameterMissing = false; // a parameter the words rely on was read as Unreadable
};

Reading read(Bytes message);
// What read() says of invalid, without wording the message: the capture asks it of every
// record, shown or hidden.
bool invalid(Bytes message);

// The byte at index, or Unreadable when the message is shorter.
constexpr std::uint8_t byteAt(Bytes message, std::size_t index)
{
    return index < message.size() ? message[index] : Unreadable;
}

// The broadcast addresses: a row to one of them is marked.
constexpr bool broadcast(std::uint8_t address)
{
    return address == 0x00 || address == 0xF0;
}

// The wording of a command code, without parameters (for tables and tests).
std::string commandName(int code);

// The rules read() follows, as data, for the dissector written in another language.
// How a command's number is taken from its parameters.
enum class Number { None, FirstPlusOne, Second, First };

struct Entry {
    int code;
    const char *text;
    Number number;
};

// Commands worded from the table, their number (if any) appended after a blank.
std::span<const Entry> commands();

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
