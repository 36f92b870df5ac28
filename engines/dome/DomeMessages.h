#pragma once

#include <cstdint>
#include <vector>

// The bus messages the dome window builds itself and sends with SndQwilData.
namespace DomeMessages {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t GetDomeType = 0x94;
constexpr std::uint8_t SetAlarmSocket = 0xCA;
constexpr std::uint8_t EngineeringCommand = 0xFA;

// Units of the engineering panel's values, as their code travels in the messages.
enum class Units : std::uint8_t { Counts = 0, Degrees = 1, Frames = 2 };

// A query to the dome: address F0 00 02 01 code.
Bytes domeQuery(std::uint8_t address, std::uint8_t code);

// The engineering panel's header: address F0 00 01 01 FA.
Bytes engineeringHeader(std::uint8_t address);

// The focus and iris Auto/Man message: byte 6 = 0x81 (+0x40 in the long form), byte 7 =
// 0x40 for focus Auto + 0x80 for iris Auto + the units (1 degrees, 2 frames).
Bytes autoMan(std::uint8_t address, bool longForm, bool focusAuto, bool irisAuto, Units units);

} // namespace DomeMessages
