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

} // namespace LoadStatus
