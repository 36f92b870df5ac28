#pragma once

#include <cstdint>

// Driver result codes that callers and the emulator rely on by value.
namespace DriverResult {
constexpr std::int32_t Success = 0;
// A wait ended with nothing: no record in the module yet, or no answer from a device to
// a query (shown as NoResponse).
constexpr std::int32_t NothingYet = 3;
constexpr std::int32_t UsbError = 5;
constexpr std::int32_t InvalidCommand = 6;
constexpr std::int32_t NoResponse = 7;
constexpr std::int32_t NoDeviceFound = 8;
constexpr std::int32_t ModuleNotOnline = 13;

// The module cannot be reached at all (unplugged, gone, closed), as opposed to a device
// that did not answer.
constexpr bool moduleGone(std::int32_t code)
{
    return code == UsbError || code == NoDeviceFound || code == ModuleNotOnline;
}
} // namespace DriverResult
