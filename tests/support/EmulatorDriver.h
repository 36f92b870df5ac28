#pragma once

#include "DriverOperations.h"
#include "Emulator.h"
#include "ModuleDriver.h"

// Hands the in-process emulator to the windows as their driver.
class EmulatorDriver final : public ModuleDriver {
public:
    explicit EmulatorDriver(emu::Emulator &emulator) : m_emulator(emulator) {}

#define QWIL_FORWARD_OPERATION(name, params, args) \
    std::int32_t name params override              \
    {                                              \
        return m_emulator.name args;               \
    }
    QWIL_DRIVER_OPERATIONS(QWIL_FORWARD_OPERATION)
#undef QWIL_FORWARD_OPERATION

private:
    emu::Emulator &m_emulator;
};
