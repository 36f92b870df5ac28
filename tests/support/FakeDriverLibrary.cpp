// A stand-in driver library that is not the emulator: it answers a version and a
// connection word of its own, so tests can tell which library the program loaded.
#include "driver/DriverOperations.h"
#include "driver/QwilUSB.h"

#include <string_view>

namespace {
std::int32_t fakeAnswer(std::string_view operation)
{
    if (operation == "GetQwilUsbVersion")
        return 0x0999;
    if (operation == "OpenUSBDriver")
        return 0x0081;
    return 7;
}
} // namespace

// A fake ignores what it is asked.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define QWIL_FAKE_OPERATION(name, params, args)                                \
    extern "C" __attribute__((visibility("default"))) std::int32_t name params \
    {                                                                          \
        return fakeAnswer(#name);                                              \
    }
QWIL_DRIVER_OPERATIONS(QWIL_FAKE_OPERATION)
#undef QWIL_FAKE_OPERATION
