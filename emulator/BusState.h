#pragma once

#include "emulator/FlashMemory.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace emu {

// What a bus remembers between commands, as a real bus does: the firmware revision and the
// flash of the module and of each device that was loaded. Kept in a text file that every
// command on the same bus reads at its start and writes after a load.
struct Remembered {
    std::uint16_t revision = 0; // BCD, as the firmware names it (0x0202 for 0202)
    FlashMemory flash;
};

struct BusState {
    std::optional<Remembered> module;
    std::map<std::uint8_t, Remembered> devices;
};

std::string formatBusState(const BusState &state);
// Nothing, with the line at fault in why, for a text that is not a bus state.
std::optional<BusState> parseBusState(const std::string &text, std::string &why);

// The state in path; an empty state when there is no file yet; nothing (with the reason in
// why) when the file cannot be read or is not a bus state.
std::optional<BusState> readBusState(const std::string &path, std::string &why);

// Puts what this command changed into the file: under a lock held on path + ".lock", the
// file is read again, the changes laid over it, and the whole written aside and renamed into
// place, so that two commands at once lose neither's load and no reader sees half a file.
// A file that cannot be read is left as it is (false, with the reason in why).
bool saveBusState(const std::string &path, const BusState &changes, std::string &why);

} // namespace emu
