#include "base/MessageDecoder.h"

#include <array>

namespace MessageDecoder {
namespace {

constexpr std::array<Entry, 57> Table{{
    {0x63, "Update Program", Number::None},
    {0x64, "Start Program Load", Number::None},
    {0x65, "Start Block Load", Number::None},
    {0x66, "Data Block", Number::None},
    {0x67, "End Data Block", Number::None},
    {0x68, "End Program Load", Number::None},
    {0x69, "Down Load Complete", Number::None},
    {0x6A, "Stap Ack Delay", Number::None},
    {0x80, "Reset Dome", Number::None},
    {0x81, "Pan Left", Number::None},
    {0x82, "Pan Right", Number::None},
    {0x83, "Pan Stop", Number::None},
    {0x84, "Tilt Up", Number::None},
    {0x85, "Tilt Down", Number::None},
    {0x86, "Tilt Stop", Number::None},
    {0x87, "Focus Near", Number::None},
    {0x88, "Focus Far", Number::None},
    {0x89, "Focus Stop", Number::None},
    {0x8A, "Zoom In", Number::None},
    {0x8B, "Zoom Out", Number::None},
    {0x8C, "Zoom Stop", Number::None},
    {0x8D, "Vphase Increment", Number::None},
    {0x8E, "Vphase Decrement", Number::None},
    {0x8F, "Vphase Stop", Number::None},
    {0x90, "Iris Open", Number::None},
    {0x91, "Iris Close", Number::None},
    {0x92, "Iris Stop", Number::None},
    {0x93, "Stop All Movement", Number::None},
    {0x94, "Get Dome Type", Number::None},
    {0x9A, "Flip", Number::None},
    {0x9B, "End Boundary Definition", Number::None},
    {0x9C, "Start Boundary Definition", Number::None},
    {0x9D, "Mark Boundary", Number::None},
    {0x9E, "Set On Air", Number::None},
    {0x9F, "Reset On Air", Number::None},
    {0xA0, "Define Pattern", Number::FirstPlusOne},
    {0xA1, "End Pattern", Number::None},
    {0xA2, "Accept Pattern", Number::None},
    {0xA4, "Goto Start of Pattern", Number::None},
    {0xA5, "Get Absolute Dome Position", Number::None},
    {0xA6, "Goto Absolute Dome Position", Number::None},
    {0xA7, "Review Pattern", Number::None},
    {0xA8, "Set Target", Number::FirstPlusOne},
    {0xA9, "Goto Target", Number::FirstPlusOne},
    {0xAA, "Output", Number::None},
    {0xB8, "Async End of Pattern", Number::None},
    {0xC1, "Dome Alarm", Number::None},
    {0xC2, "Async Boundary Crossing", Number::None},
    {0xC4, "Get Configuration Buffer", Number::None},
    {0xC5, "Set Configuration Buffer", Number::None},
    {0xC9, "Run Peel Pattern", Number::None},
    {0xCA, "Set Alarm Socket", Number::None},
    {0xCC, "Special Command", Number::None},
    {0xCD, "Quickset", Number::Second},
    {0xD0, "Select Call Camera", Number::First},
    {0xD1, "Unlock Camera", Number::First},
    {0xD2, "Lock Camera", Number::First},
}};

constexpr std::array<Entry, 4> Directions{{
    {0x81, "Pan Left", Number::None},
    {0x82, "Pan Right", Number::None},
    {0x84, "Tilt Up", Number::None},
    {0x85, "Tilt Down", Number::None},
}};

std::string numberText(int value)
{
    return ' ' + std::to_string(value);
}

// A speed move that lacks its direction or its speed is the monitor's invalid command.
bool unreadableMove(std::uint8_t direction, std::uint8_t speed)
{
    return direction == Unreadable || speed == Unreadable;
}

Reading variableSpeedMove(std::uint8_t direction, std::uint8_t speed)
{
    if (unreadableMove(direction, speed))
        return {InvalidCommand, true};
    for (const Entry &entry : Directions) {
        if (entry.code == direction)
            return {entry.text + numberText(speed) + SpeedUnit};
    }
    return {};
}

Reading words(std::uint8_t command, std::uint8_t p1, std::uint8_t p2)
{
    if (command == VariableSpeedMove)
        return variableSpeedMove(p1, p2);
    if (command == RepeatPattern)
        return {(p1 == 0 ? RunPatternText : RepeatPatternText) + numberText(p2 + 1), false, false,
                p1 == Unreadable || p2 == Unreadable};
    for (const Entry &entry : Table) {
        if (entry.code != command)
            continue;
        switch (entry.number) {
        case Number::None: return {entry.text};
        case Number::FirstPlusOne: return {entry.text + numberText(p1 + 1), false, false, p1 == Unreadable};
        case Number::First: return {entry.text + numberText(p1), false, false, p1 == Unreadable};
        case Number::Second: return {entry.text + numberText(p2), false, false, p2 == Unreadable};
        }
    }
    return {};
}

} // namespace

std::span<const Entry> commands()
{
    return Table;
}

std::span<const Entry> speedDirections()
{
    return Directions;
}

std::string commandName(int code)
{
    for (const Entry &entry : Table) {
        if (entry.code == code)
            return entry.text;
    }
    return {};
}

bool invalid(Bytes message)
{
    return byteAt(message, CommandAt) == VariableSpeedMove &&
           unreadableMove(byteAt(message, CommandAt + 1), byteAt(message, CommandAt + 2));
}

Reading read(Bytes message)
{
    // A message cut short before its command has no words; its missing bytes read as
    // Unreadable, which no command has.
    Reading reading = words(byteAt(message, CommandAt), byteAt(message, CommandAt + 1), byteAt(message, CommandAt + 2));
    reading.marked = broadcast(byteAt(message, AddressAt)) || reading.invalid;
    return reading;
}

} // namespace MessageDecoder
