#pragma once

#include <QString>

class ModuleDriver;

// The program's subcommands, run from a terminal without a window: each works on the
// driver it is given (the driver thread, as the windows do) under a core application,
// writes its results on standard output and everything else on standard error, and
// returns the exit status.
namespace ExitStatus {
constexpr int Completed = 0;       // everything asked for was done
constexpr int Failed = 1;          // a device, a file or the log failed; the reason is printed
constexpr int Usage = 2;           // the command line is wrong
constexpr int NoModule = 3;        // no module, or no driver library
constexpr int PortUnavailable = 4; // a serial port cannot be opened
} // namespace ExitStatus

struct ScanOptions {
    enum class Format { Table, Csv, Json };
    int highest = 16;
    Format format = Format::Table;
};

// The flash loader's network scan: the devices that answered, one a row.
int runScan(ModuleDriver &driver, const ScanOptions &options);

// Writes the five lookup-table headers into directory.
int runTables(const QString &directory);
