// The emulator's scenario reader.
#include "emulator/Scenario.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    emu::ScenarioError error;
    emu::parseScenario(std::string(reinterpret_cast<const char *>(data), size), &error);
    return 0;
}
