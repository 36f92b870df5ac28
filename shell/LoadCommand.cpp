#include "Commands.h"

#include "DeviceSelection.h"
#include "DownloadEngine.h"
#include "FirmwareChoice.h"
#include "LoadStatus.h"
#include "ModuleConnection.h"
#include "ScanRules.h"
#include "TerminalLoad.h"
#include "TerminalOutput.h"
#include "TextFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

struct DeviceOutcome {
    int address = 0;
    QString type;
    QString file;
    QString before;
    QString status;
    bool knownType = false;  // its firmware loads at the known address offset
    bool completed = false;
    bool passedOver = false; // a dome that cannot take a download, in a load of all
    QString after = QStringLiteral("-"); // the revision the rescan reports
};

// What became of a device, in one word a script can test.
QString outcomeOf(const DeviceOutcome &d, bool dryRun)
{
    if (d.passedOver)
        return QStringLiteral("passed over");
    if (dryRun)
        return d.status.isEmpty() ? QStringLiteral("would load") : QStringLiteral("not loaded");
    if (d.completed)
        return QStringLiteral("loaded");
    return d.status == QLatin1String("Interrupted") ? QStringLiteral("interrupted") : QStringLiteral("not loaded");
}

// The devices as the format asks: the table (for a dry run the file each would get), or
// one record per device in CSV or JSON.
QString listed(const std::vector<DeviceOutcome> &devices, ScanOptions::Format format, bool dryRun)
{
    QString text;
    QJsonArray records;
    if (format == ScanOptions::Format::Table && !dryRun)
        text = QStringLiteral("Addr  Type  Before  After  Status\n");
    else if (format == ScanOptions::Format::Csv)
        text = QStringLiteral("address,type,file,before,after,status,outcome\n");
    for (const DeviceOutcome &d : devices) {
        const QString &status = d.status;
        switch (format) {
        case ScanOptions::Format::Table:
            text +=
                dryRun
                    ? QStringLiteral("%1  %2  %3\n").arg(d.address, 4).arg(d.type, status.isEmpty() ? d.file : status)
                    : QStringLiteral("%1  %2  %3  %4  %5\n")
                          .arg(d.address, 4)
                          .arg(d.type, d.before.leftJustified(6), d.after.leftJustified(5), status);
            break;
        case ScanOptions::Format::Csv:
            text += QString::number(d.address);
            for (const QString &field :
                 {d.type.trimmed(), d.file, d.before.trimmed(), d.after, status, outcomeOf(d, dryRun)})
                text += QLatin1Char(',') + TextFormat::csvField(field);
            text += QLatin1Char('\n');
            break;
        case ScanOptions::Format::Json:
            records.append(QJsonObject{{QStringLiteral("address"), d.address},
                                       {QStringLiteral("type"), d.type.trimmed()},
                                       {QStringLiteral("file"), d.file},
                                       {QStringLiteral("before"), d.before.trimmed()},
                                       {QStringLiteral("after"), d.after},
                                       {QStringLiteral("status"), status},
                                       {QStringLiteral("outcome"), outcomeOf(d, dryRun)}});
            break;
        }
    }
    if (format == ScanOptions::Format::Json)
        text = QString::fromUtf8(QJsonDocument(records).toJson(QJsonDocument::Indented));
    return text;
}

// Waits for the load in hand; when the user interrupts, it is abandoned with the abort byte.
bool waitFor(const bool &done, DownloadEngine &engine)
{
    if (waitUntilDone(done))
        return true;
    engine.abortLoad();
    return false;
}

QStringList selectedRows(const QStringList &rows, const LoadOptions &options, std::vector<bool> &selected)
{
    QStringList problems;
    // "All" is every device that answered the scan.
    selected.clear();
    for (const QString &row : rows)
        selected.push_back(options.all && ScanRules::rowAnswered(row));
    for (const int address : options.addresses) {
        if (address < 1 || address > rows.size())
            problems << QStringLiteral("Address %1 is beyond the scan (--to %2)").arg(address).arg(rows.size());
        else
            selected[static_cast<std::size_t>(address - 1)] = true;
    }
    return problems;
}

int loadModule(ModuleDriver &driver, const LoadOptions &options)
{
    TerminalLoad host(false);
    QObject owner;
    DownloadEngine engine(driver, host, &owner);
    bool done = false;
    host.ended = [&done] { done = true; };
    const QString problem = engine.loadWholeFile(options.moduleFile, 1, true);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(options.moduleFile), qPrintable(problem.trimmed()));
        return ExitStatus::Failed;
    }
    const bool finished = waitFor(done, engine);
    const bool completed = finished && host.lastColour == LoadHost::Colour::Success;
    const bool written = TerminalOutput::write(options.moduleFile + QStringLiteral(": ") +
                                               (finished ? host.lastStatus : QStringLiteral("Interrupted")) +
                                               QLatin1Char('\n'));
    return completed && written ? ExitStatus::Completed : ExitStatus::Failed;
}

} // namespace

int runLoad(ModuleDriver &driver, const LoadOptions &options)
{
    // A dry run of the module's upload checks the file and says what would go out; it
    // asks nothing of the module.
    if (!options.moduleFile.isEmpty() && options.dryRun) {
        const QString problem = FirmwareChoice::checkWholeFile(options.moduleFile);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(options.moduleFile), qPrintable(problem.trimmed()));
            return ExitStatus::Failed;
        }
        return TerminalOutput::write(options.moduleFile + QStringLiteral(": would be loaded into the module\n"))
                   ? ExitStatus::Completed
                   : ExitStatus::Failed;
    }
    const InterruptCatcher catcher;
    const ConnectOutcome outcome = ModuleConnection::connect(driver, ConnectOptions::flashLoader());
    if (!outcome.connected) {
        std::fprintf(stderr, "%s\n", qPrintable(noModuleText(outcome.word)));
        return ExitStatus::NoModule;
    }
    if (!options.moduleFile.isEmpty()) {
        const int status = loadModule(driver, options);
        driver.CloseUSBDriver();
        return status;
    }

    const BusScan scan = scanBus(driver, options.highest);
    const QStringList &rows = scan.rows;
    if (InterruptCatcher::interrupted()) { // nothing was sent to a device
        std::fputs("Interrupted\n", stderr);
        driver.CloseUSBDriver();
        return ExitStatus::Failed;
    }
    std::vector<bool> selected;
    const QStringList problems = selectedRows(rows, options, selected);
    if (!problems.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problems.join(QLatin1Char('\n'))));
        driver.CloseUSBDriver();
        return ExitStatus::Usage;
    }

    // The devices in the window's order, each with its firmware, or why it has none.
    std::vector<DeviceOutcome> devices;
    for (int next = 0;;) {
        const DeviceSelection::Choice choice = DeviceSelection::findNextDevice(rows, selected, next);
        next = choice.nextRow;
        if (choice.result == DeviceSelection::Choice::NoneLeft)
            break;
        // The window passes over an address that did not answer; asked for by name, it
        // has its row here.
        for (const int row : choice.rowsToDeselect)
            devices.push_back(
                {row + 1, QStringLiteral("    "), {}, {}, QStringLiteral("No answer to the scan: not loaded")});
        DeviceOutcome device{choice.deviceAddress, choice.type, {}, choice.revision, {}, choice.knownType};
        if (choice.result == DeviceSelection::Choice::RefusedDome) {
            device.status = QStringLiteral("This dome rev does not support download, change chip!");
            device.passedOver = options.all;
        } else if (choice.needsFileByHand) {
            device.status = QStringLiteral("No reply: its file can only be chosen in the window");
        } else {
            const QStringList candidates = FirmwareChoice::candidates(choice.type);
            const FirmwareChoice::Choice file = FirmwareChoice::choose(candidates, options.takeLatestFile);
            if (file.ask && candidates.isEmpty()) // where the window would show an empty list
                device.status = FirmwareChoice::prepare(QString(), choice.type, choice.deviceAddress);
            else if (file.ask)
                device.status = QStringLiteral("Several files: ") + candidates.join(QStringLiteral(", ")) +
                                QStringLiteral(" (--latest takes the highest revision)");
            device.file = file.file;
        }
        devices.push_back(device);
    }
    // Nothing is tried once the module is gone: each device is listed as not loaded.
    if (scan.moduleLostWith != 0) {
        driver.CloseUSBDriver();
        for (DeviceOutcome &d : devices)
            d.status = QStringLiteral("not loaded");
        std::fprintf(stderr, "%s\n", qPrintable(moduleLostText(scan.moduleLostWith)));
        TerminalOutput::write(listed(devices, options.format, false));
        return ExitStatus::NoModule;
    }
    if (devices.empty()) {
        std::fputs("No Devices Selected\n", stderr);
        driver.CloseUSBDriver();
        return ExitStatus::Failed;
    }
    if (options.dryRun) {
        driver.CloseUSBDriver();
        if (!TerminalOutput::write(listed(devices, options.format, true)))
            return ExitStatus::Failed;
        const bool allHaveFiles = std::all_of(
            devices.begin(), devices.end(), [](const DeviceOutcome &d) { return d.status.isEmpty() || d.passedOver; });
        return allHaveFiles ? ExitStatus::Completed : ExitStatus::Failed;
    }

    TerminalLoad host(true);
    QObject owner;
    DownloadEngine engine(driver, host, &owner);
    bool interruptedLoad = false;
    for (DeviceOutcome &d : devices) {
        if (!d.status.isEmpty())
            continue;
        bool done = false;
        host.deviceDone = [&] {
            d.completed = true;
            done = true;
        };
        host.ended = [&done] { done = true; };
        d.status = engine.loadDevice(static_cast<std::uint8_t>(d.address), d.file, d.type, d.knownType);
        if (!d.status.isEmpty())
            continue;
        if (!waitFor(done, engine)) {
            host.endProgressLine(); // the results start on a line of their own
            d.status = QStringLiteral("Interrupted");
            interruptedLoad = true;
            break;
        }
        d.status = d.completed ? QStringLiteral("Load Complete") : host.lastStatus;
    }
    host.ended = nullptr;
    for (DeviceOutcome &d : devices) {
        if (d.status.isEmpty())
            d.status = QStringLiteral("not loaded"); // never reached: the load was interrupted
    }
    const bool anyStarted = std::any_of(devices.begin(), devices.end(), [](const DeviceOutcome &d) {
        return d.completed || (!d.file.isEmpty() && !d.passedOver);
    });
    if (!interruptedLoad && anyStarted)
        engine.finishUpload();

    // What the devices report now.
    if (!interruptedLoad) {
        std::map<int, QString> after;
        for (const QString &row : scanBus(driver, options.highest).rows)
            after[ScanRules::rowAddress(row)] = ScanRules::rowRevision(row);
        for (DeviceOutcome &d : devices) {
            if (after.count(d.address))
                d.after = after[d.address];
        }
    }
    driver.CloseUSBDriver();
    if (!TerminalOutput::write(listed(devices, options.format, false)))
        return ExitStatus::Failed;
    const bool allCompleted =
        std::all_of(devices.begin(), devices.end(), [](const DeviceOutcome &d) { return d.completed || d.passedOver; });
    return allCompleted ? ExitStatus::Completed : ExitStatus::Failed;
}
