// The emulator as the driver library: one emulated module per process, on real time,
// holding the bus that QWILUSB_SCENARIO names (or the built-in default bus).
#include "driver/QwilUSB.h"
#include "emulator/Emulator.h"

#include <cstdio>
#include <cstdlib>

namespace {

emu::Scenario chosenScenario()
{
    const char *path = std::getenv("QWILUSB_SCENARIO");
    if (!path || !*path)
        return emu::Scenario::defaultBus();
    emu::ScenarioError error;
    if (auto scenario = emu::loadScenarioFile(path, &error))
        return *scenario;
    // A broken scenario must not pass for a working bus: the module reads as absent. A file
    // that cannot be read at all has no line to name, and its message names the file.
    if (error.line > 0)
        std::fprintf(stderr, "QwilUSB emulator: %s line %d: %s; the module is reported as not found\n", path,
                     error.line, error.message.c_str());
    else
        std::fprintf(stderr, "QwilUSB emulator: %s; the module is reported as not found\n", error.message.c_str());
    emu::Scenario absent;
    absent.unplugged = true;
    return absent;
}

struct Instance {
    Instance() { emulator.trace().setKeptInMemory(false); }
    SteadyClock clock;
    emu::Emulator emulator{clock, chosenScenario()};
};

Instance &instance()
{
    static Instance the;
    return the;
}

} // namespace

// Tells a program that loaded this library that the module is emulated, and which variable
// names the scenario; reading it starts no emulator.
extern "C" __attribute__((visibility("default"))) const char QwilEmulatorScenarioVariable[] = "QWILUSB_SCENARIO";

#define QWIL_EXPORT_OPERATION(name, params, args)                              \
    extern "C" __attribute__((visibility("default"))) std::int32_t name params \
    {                                                                          \
        Instance &i = instance();                                              \
        const emu::Emulator::CallInProgress entered(i.emulator, #name);        \
        return i.emulator.name args;                                           \
    }
QWIL_DRIVER_OPERATIONS(QWIL_EXPORT_OPERATION)
#undef QWIL_EXPORT_OPERATION
