#pragma once

#include <QString>

#include <cstdint>

// Load status codes and how the status line words them.
namespace LoadStatus {

constexpr int ChecksumError = 1;
constexpr int ProgrammingError = 2;
constexpr int AddressError = 3;
constexpr int SequenceError = 4;
constexpr int UsbError = 5;
constexpr int InvalidRequest = 6;
constexpr int NoResponse = 7;
constexpr int InvalidLoadFile = 10;
constexpr int InvalidAddress = 20;

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
