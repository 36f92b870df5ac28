#pragma once

#include <QString>

#include <cstdint>

// Load status codes and how the status line words them: the status byte a device or the
// module answers a load step with, and the codes the loaders add of their own.
namespace LoadStatus {

enum Code : int {
    ChecksumError = 1,
    ProgrammingError = 2,
    AddressError = 3,
    SequenceError = 4,
    UsbError = 5,
    InvalidRequest = 6,
    NoResponse = 7,
    InvalidLoadFile = 10,
    InvalidAddress = 20,
};

// The status line text for a code; codes without a row read "Unknown Error = " and
// the code in hexadecimal, so a driver's unexpected code is still shown as it came.
QString text(int code);

// A driver result that ends a load, as the load status that words it. The two tables
// share their numbers where they mean the same (5, the link; 7, no answer); any other
// result keeps its number, shown as an unknown error.
constexpr int ofDriverResult(std::int32_t result)
{
    return static_cast<int>(result);
}

} // namespace LoadStatus
