#pragma once

#include <cstdint>

// Driver result codes that callers and the emulator rely on by value. The driver answers
// with a plain number; these name the ones that mean something to a caller.
namespace DriverResult {
enum Code : std::int32_t {
    Success = 0,
    // A wait ended with nothing: no record in the module yet, or no answer from a device to
    // a query (shown as NoResponse).
    NothingYet = 3,
    UsbError = 5,
    InvalidCommand = 6,
    NoResponse = 7,
    NoDeviceFound = 8,
    ModuleNotOnline = 13,
};

// The module cannot be reached at all (unplugged, gone, closed), as opposed to a device
// that did not answer.
constexpr bool moduleGone(std::int32_t code)
{
    return code == UsbError || code == NoDeviceFound || code == ModuleNotOnline;
}
} // namespace DriverResult
