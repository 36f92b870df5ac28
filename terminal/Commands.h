#pragma once

#include "engines/flash/ScanRules.h"

#include <QList>
#include <QMap>
#include <QString>

#include <vector>

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

struct MonitorOptions {
    QString addresses; // the address and command filters, as the monitor's boxes take them
    QString commands;
    QString logPath;
    QString playPath; // a log to play back instead of capturing
    QString pcapPath; // a capture file for Wireshark as well ("-": standard output, instead of the rows)
    bool absoluteTime = false;
    double seconds = 0;  // how long to capture; 0: until interrupted
    long long count = 0; // rows to capture at least; 0: no limit
    // Wireshark's capture: the capture file is its FIFO and the rows go nowhere; its reader
    // going away ends the capture as SIGTERM does.
    bool forWireshark = false;
};

// The bus monitor: its rows on standard output, one a line as the window shows them;
// SIGINT and SIGTERM stop it cleanly, with the log closed whole. A log played back into a
// capture file is converted at once, without the module.
int runMonitor(ModuleDriver &driver, const MonitorOptions &options);

// What Wireshark asks of its capture program: the interface, its link type and options, or
// a capture into its FIFO (then through runMonitor).
inline const QString ExtcapInterface = QStringLiteral("quillbus");

struct ExtcapOptions {
    enum class Query { Interfaces, Dlts, Config, Capture, CheckFilter };
    Query query = Query::Interfaces;
    QString filterProblem; // CheckFilter: why the capture filter cannot be applied; empty when it can
    MonitorOptions capture;
    QString scenario; // the emulator's scenario file, when the emulator is the driver
};

int runExtcap(ModuleDriver &driver, const ExtcapOptions &options, bool emulatorIsDriver);
// A capture that cannot start opens Wireshark's FIFO and closes it at once, so that
// Wireshark stops waiting for the capture and shows why it ended.
void releaseWiresharkFifo(const QString &path);

struct LoadOptions {
    int highest = 16;
    bool all = false;
    QList<int> addresses;     // the devices to load, when not all; in address order
    QMap<int, QString> files; // a device's file named on the command line, by address
    bool dryRun = false;
    bool takeLatestFile = false;                             // as the window's "Upload latest Rev"
    bool onlyOlder = false; // only where the device's revision is lower than its file's; the others are current
    ScanOptions::Format format = ScanOptions::Format::Table; // one record per device in CSV or JSON
    QString moduleFile;                                      // the module's own upload instead of devices
    QString folder;                                          // where firmware is looked for; empty: the current folder
};

// The flash loader's device load: scans, chooses each selected device's firmware as the
// window does, loads the devices one after the other, scans again and lists, per device,
// the revision before and after and the load's final status. Or the module's upload.
int runLoad(ModuleDriver &driver, const LoadOptions &options);

struct SerialOptions {
    QString port;            // the serial device
    QString applicationFile; // for a load
    bool dryRun = false;     // a load's files and port checked, nothing sent
    bool eraseAll = false;   // for an erase: the whole flash, or the sectors
    QList<int> sectors;
    QString folder; // where BootLdr.dwn and FlshLdr.dwn are; empty: the current folder
};

// The serial boot loader over a COM port: the application file loaded, or the flash (or
// chosen sectors of it) erased, with BootLdr.dwn and FlshLdr.dwn of the working folder.
int runSerial(const SerialOptions &options);

// The network scan up to highest, every address it asked (for a terminal command:
// progress on standard error), and the driver's answer if the module was lost
// during it (0 when it stayed).
struct BusScan {
    std::vector<ScanRules::ScannedDevice> devices;
    std::int32_t moduleLostWith = 0;
};
BusScan scanBus(ModuleDriver &driver, int highest);

// The one wording of each cause the terminal commands share: no module when a command
// starts, and a module lost while it works.
QString noModuleText(std::int32_t driverAnswer);
QString moduleLostText(std::int32_t driverAnswer);
// Says on standard error why a command ended early: the module lost (lostWith, the driver's
// answer), or else an interrupt; nothing when neither.
void sayWhyEnded(std::int32_t lostWith);

// Writes the five lookup-table headers into directory.
int runTables(const QString &directory);
