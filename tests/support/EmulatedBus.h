#pragma once

#include "EmulatorDriver.h"
#include "TraceGolden.h"
#include "core/TimeSource.h"

#include <gtest/gtest.h>

#include <memory>

// A scenario from its text; a test fails when the text does not parse.
inline emu::Scenario scenarioFrom(const std::string &text)
{
    emu::ScenarioError error;
    auto scenario = emu::parseScenario(text, &error);
    EXPECT_TRUE(scenario.has_value()) << "line " << error.line << ": " << error.message;
    return scenario.value_or(emu::Scenario{});
}

// A test's whole world: manual time, the emulated module and bus on it, and the
// driver the windows are given. Time moves only when the test advances it.
class EmulatedBus {
public:
    // startMs: where the clock stands when the emulator starts, as a machine's clock
    // that has run a while.
    explicit EmulatedBus(const emu::Scenario &scenario = emu::Scenario::defaultBus(), std::int64_t startMs = 0)
        : emulator(advanced(time.clock(), startMs), scenario), driver(emulator)
    {
    }
    ~EmulatedBus() { TraceGolden::settle(emulator.trace()); }
    EmulatedBus(const EmulatedBus &) = delete;
    EmulatedBus &operator=(const EmulatedBus &) = delete;

    void advance(std::int64_t ms) { time.clock().advance(ms); }
    std::int64_t now() const { return emulator.nowMs(); }
    std::size_t callCount(const std::string &name) const { return emulator.trace().calls(name).size(); }

    TimeSource::ManualTimeScope time;

private:
    static ManualClock &advanced(ManualClock &clock, std::int64_t ms)
    {
        clock.advance(ms);
        return clock;
    }

public:
    emu::Emulator emulator;
    EmulatorDriver driver;
};
