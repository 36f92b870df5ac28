#pragma once

#include <QString>

#include <cstdint>

// Words a driver result code: every wording of the driver's results is here.
namespace DriverErrors {

enum class Wording {
    Monitor, // code 7 has no row of its own
    Dome,    // code 7 names the dome that did not answer
};

// True when the code has a row of its own in the table (the monitor shows the raw
// code before "UNDEFINED ERROR" otherwise).
bool hasRow(std::int32_t code, Wording wording);

QString message(std::int32_t code, Wording wording, int domeAddress = 0);

// Why the module could not be reached, for the terminal's plain sentences ("USB link
// error, driver answer 5").
QString cause(std::int32_t code);

} // namespace DriverErrors
