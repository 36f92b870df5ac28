#pragma once

#include <cstdint>
#include <map>

namespace emu {

// A fault a loader shows once, at one step of a load.
struct LoaderFault {
    enum class Kind {
        Silent,  // the step is never answered
        Late,    // the answer waits until the module asks for the status (0x1A)
        Nak,     // the step is answered with a non-zero status
        Corrupt, // the module reports a checksum one higher than its flash holds
    };
    Kind kind = Kind::Silent;
    std::uint8_t status = 0;
};

// Faults by the step's command or reply code (0x63-0x69 for devices, 0x13-0x16 for the module).
using LoaderFaults = std::map<std::uint8_t, LoaderFault>;

} // namespace emu
