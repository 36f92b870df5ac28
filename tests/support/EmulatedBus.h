#pragma once

#include "EmulatorDriver.h"
#include "TimeSource.h"

#include <memory>

// A test's whole world: manual time, the emulated module and bus on it, and the
// driver the windows are given. Time moves only when the test advances it.
class EmulatedBus {
public:
    explicit EmulatedBus(const emu::Scenario &scenario = emu::Scenario::defaultBus())
        : emulator(time.clock(), scenario), driver(emulator)
    {
    }

    void advance(std::int64_t ms) { time.clock().advance(ms); }
    std::int64_t now() const { return emulator.nowMs(); }
    std::size_t callCount(const std::string &name) const { return emulator.trace().calls(name).size(); }

    TimeSource::ManualTimeScope time;
    emu::Emulator emulator;
    EmulatorDriver driver;
};
