#pragma once

#include "driver/DriverOperations.h"
#include "driver/ModuleDriver.h"
#include "emulator/Emulator.h"

#include <functional>

// Hands the in-process emulator to the windows as their driver.
class EmulatorDriver final : public ModuleDriver {
public:
    explicit EmulatorDriver(emu::Emulator &emulator) : m_emulator(emulator) {}

    // Runs after every call with the operation's name, so a test can act at a given step.
    std::function<void(const char *operation)> afterCall;

#define QWIL_FORWARD_OPERATION(name, params, args)                          \
    std::int32_t name params override                                       \
    {                                                                       \
        std::int32_t forwardedResult = 0;                                   \
        {                                                                   \
            const emu::Emulator::CallInProgress entered(m_emulator, #name); \
            forwardedResult = m_emulator.name args;                         \
        }                                                                   \
        if (afterCall)                                                      \
            afterCall(#name);                                               \
        return forwardedResult;                                             \
    }
    QWIL_DRIVER_OPERATIONS(QWIL_FORWARD_OPERATION)
#undef QWIL_FORWARD_OPERATION

private:
    emu::Emulator &m_emulator;
};
