#include "terminal/Commands.h"

#include "core/TextFormat.h"
#include "driver/DriverResult.h"
#include "driver/ModuleConnection.h"
#include "engines/flash/NetworkScan.h"
#include "engines/flash/ScanRules.h"
#include "terminal/CommandLine.h"
#include "terminal/TerminalLoad.h"
#include "terminal/TerminalOutput.h"
#include "terminal/TerminalProgress.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

QString listed(const std::vector<ScanRules::ScannedDevice> &scanned, ScanOptions::Format format)
{
    QString text;
    QJsonArray devices;
    if (format == ScanOptions::Format::Table)
        text = QStringLiteral("Addr  Name    Type  Rev\n");
    else if (format == ScanOptions::Format::Csv)
        text = QStringLiteral("address,name,type,revision\n");
    for (const ScanRules::ScannedDevice &device : scanned) {
        if (!device.answered)
            continue;
        const int address = device.address;
        const QString &name = device.name;
        const QString &type = device.type;
        const QString &revision = device.revision;
        switch (format) {
        case ScanOptions::Format::Table:
            text += QStringLiteral("%1  %2  %3  %4\n").arg(address, 4).arg(name, -6).arg(type, revision);
            break;
        case ScanOptions::Format::Csv:
            text += QStringLiteral("%1,%2,%3,%4\n")
                        .arg(address)
                        .arg(TextFormat::csvField(name), TextFormat::csvField(type), TextFormat::csvField(revision));
            break;
        case ScanOptions::Format::Json:
            devices.append(QJsonObject{{QStringLiteral("address"), address},
                                       {QStringLiteral("name"), name},
                                       {QStringLiteral("type"), type},
                                       {QStringLiteral("revision"), revision}});
            break;
        }
    }
    if (format == ScanOptions::Format::Json)
        text = QString::fromUtf8(QJsonDocument(devices).toJson(QJsonDocument::Indented));
    return text;
}

} // namespace

namespace {
// The cause of a driver answer, worded once for every terminal command.
QString causeOf(std::int32_t driverAnswer)
{
    switch (driverAnswer) {
    case DriverResult::UsbError: return QStringLiteral("USB link error, driver answer 5");
    case DriverResult::NoDeviceFound: return QStringLiteral("none found, driver answer 8");
    case DriverResult::ModuleNotOnline: return QStringLiteral("not online, driver answer 13");
    default: return QStringLiteral("driver answer ") + QString::number(driverAnswer);
    }
}
} // namespace

QString noModuleText(std::int32_t driverAnswer)
{
    return QStringLiteral("No USB module (") + causeOf(driverAnswer) +
           QStringLiteral("). Connect the module and try again.");
}

QString moduleLostText(std::int32_t driverAnswer)
{
    return QStringLiteral("The USB module was lost (") + causeOf(driverAnswer) +
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
    QEventLoop loop;
    NetworkScan scan(driver, &loop);
    scan.setMaxAddressSource([highest] { return highest; });
    BusScan result;
    TerminalProgress progress(stderr);
    const QString scanning = QStringLiteral("Scanning Network for Devices");
    progress.show(scanning, 0, highest);
    QObject::connect(&scan, &NetworkScan::deviceScanned, [&](const ScanRules::ScannedDevice &device) {
        result.devices.push_back(device);
        progress.show(scanning, static_cast<int>(result.devices.size()), highest);
    });
    QObject::connect(&scan, &NetworkScan::finished, &loop, &QEventLoop::quit);
    // Where interrupts are caught, one ends the scan after the address in hand.
    if (InterruptCatcher *catcher = InterruptCatcher::current())
        QObject::connect(catcher, &InterruptCatcher::interruptedNow, &scan, &NetworkScan::requestStop);
    if (scan.begin(highest)) {
        if (InterruptCatcher::interrupted())
            scan.requestStop();
        loop.exec();
    }
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
    const QString failures = writeAllTables(directory);
    std::fputs(qPrintable(failures), stderr);
    return failures.isEmpty() ? ExitStatus::Completed : ExitStatus::Failed;
}
