#include "terminal/Commands.h"

#include "driver/DriverErrors.h"
#include "driver/ModuleConnection.h"
#include "engines/flash/NetworkScan.h"
#include "engines/flash/ScanRules.h"
#include "terminal/CommandLine.h"
#include "terminal/CommandRun.h"
#include "terminal/RecordList.h"
#include "terminal/TerminalOutput.h"
#include "terminal/TerminalProgress.h"

#include <cstdio>

namespace {

QString listed(const std::vector<ScanRules::ScannedDevice> &scanned, ScanOptions::Format format)
{
    RecordList list(
        format, QStringLiteral("Addr  Name    Type  Rev\n"),
        {QStringLiteral("address"), QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("revision")});
    for (const ScanRules::ScannedDevice &d : scanned) {
        if (d.answered)
            list.add(QStringLiteral("%1  %2  %3  %4\n").arg(d.address, 4).arg(d.name, -6).arg(d.type, d.revision),
                     {d.address, d.name, d.type, d.revision});
    }
    return list.text();
}

} // namespace

QString noModuleText(std::int32_t driverAnswer)
{
    return QStringLiteral("No USB module (") + DriverErrors::cause(driverAnswer) +
           QStringLiteral("). Connect the module and try again.");
}

QString moduleLostText(std::int32_t driverAnswer)
{
    return QStringLiteral("The USB module was lost (") + DriverErrors::cause(driverAnswer) +
           QStringLiteral("). Connect the module and try again.");
}

void sayWhyEnded(std::int32_t lostWith)
{
    if (lostWith != 0)
        std::fprintf(stderr, "%s\n", qPrintable(moduleLostText(lostWith)));
    else if (InterruptCatcher::interrupted())
        std::fputs("Interrupted\n", stderr);
}

BusScan scanBus(ModuleDriver &driver, int highest)
{
    NetworkScan scan(driver, nullptr);
    scan.setMaxAddressSource([highest] { return highest; });
    BusScan result;
    TerminalProgress progress(stderr);
    const QString scanning = QStringLiteral("Scanning Network for Devices");
    progress.show(scanning, 0, highest);
    QObject::connect(&scan, &NetworkScan::deviceScanned, [&](const ScanRules::ScannedDevice &device) {
        result.devices.push_back(device);
        progress.show(scanning, static_cast<int>(result.devices.size()), highest);
    });
    // An interrupt ends the scan after the address in hand.
    runJob(scan, [&] { return scan.begin(highest); });
    result.moduleLostWith = scan.moduleLostWith();
    return result;
}

int runScan(ModuleDriver &driver, const ScanOptions &options)
{
    if (options.highest < 1 || options.highest > ScanRules::MaxScanAddress) {
        std::fprintf(stderr, "Error - Maximum Scan Address is %d\n", ScanRules::MaxScanAddress);
        return ExitStatus::Usage;
    }
    const ConnectOutcome outcome = ModuleConnection::connect(driver, ConnectOptions::flashLoader());
    if (!outcome.connected) {
        std::fprintf(stderr, "%s\n", qPrintable(noModuleText(outcome.word)));
        TerminalOutput::write(listed({}, options.format)); // a script reads an empty list
        return ExitStatus::NoModule;
    }
    const BusScan scan = scanBus(driver, options.highest);
    const std::int32_t releaseLost = ModuleConnection::release(driver).lostWith();
    const std::int32_t lostWith = scan.moduleLostWith ? scan.moduleLostWith : releaseLost;
    // The devices that answered before the module went, or before an interrupt, are listed
    // all the same.
    const bool written = TerminalOutput::write(listed(scan.devices, options.format));
    sayWhyEnded(lostWith);
    if (lostWith != 0)
        return ExitStatus::NoModule;
    return written && !InterruptCatcher::interrupted() ? ExitStatus::Completed : ExitStatus::Failed;
}

int runTables(const QString &directory)
{
    const Problem failures = writeAllTables(directory);
    std::fputs(qPrintable(failures.why()), stderr);
    return failures ? ExitStatus::Failed : ExitStatus::Completed;
}
