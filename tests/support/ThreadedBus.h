#pragma once

#include "EmulatedBus.h"
#include "driver/DriverThread.h"

#include <string>
#include <vector>

// The program's arrangement on an emulated bus: the emulator on real time behind the
// driver thread. What it saw is read once the thread is idle (after a plain call).
struct ThreadedBus {
    explicit ThreadedBus(const emu::Scenario &scenario = emu::Scenario::defaultBus())
        : emulator(clock, scenario), adapter(emulator), thread(adapter)
    {
    }

    // Every call the emulator answered, as "Name(arguments)".
    std::vector<std::string> calls()
    {
        thread.GetQwilUsbVersion(); // everything issued before has run
        std::vector<std::string> all;
        for (const emu::TraceEntry &e : emulator.trace().entries()) {
            if (e.kind != emu::TraceEntry::Kind::Call || e.name == "GetQwilUsbVersion")
                continue;
            std::string text = e.name + "(";
            for (std::size_t i = 0; i < e.arguments.size(); ++i)
                text += (i ? ", " : "") + std::to_string(e.arguments[i]);
            all.push_back(text + ")");
        }
        return all;
    }

    SteadyClock clock;
    emu::Emulator emulator;
    EmulatorDriver adapter;
    DriverThread thread;
};
