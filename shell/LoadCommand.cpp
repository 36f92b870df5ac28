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
};

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
            devices.push_back({row + 1, QStringLiteral("    "), {}, {}, QStringLiteral("No answer to the scan: not loaded")});
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
        QString table = QStringLiteral("Addr  Type  Before  After  Status\n");
        for (const DeviceOutcome &d : devices)
            table += QStringLiteral("%1  %2  %3  -      not loaded\n").arg(d.address, 4).arg(d.type, d.before.leftJustified(6));
        std::fprintf(stderr, "%s\n", qPrintable(moduleLostText(scan.moduleLostWith)));
        TerminalOutput::write(table);
        return ExitStatus::NoModule;
    }
    if (devices.empty()) {
        std::fputs("No Devices Selected\n", stderr);
        driver.CloseUSBDriver();
        return ExitStatus::Failed;
    }
    if (options.dryRun) {
        bool allHaveFiles = true;
        QString plan;
        for (const DeviceOutcome &d : devices) {
            plan += QStringLiteral("%1  %2  %3\n").arg(d.address, 4).arg(d.type, d.status.isEmpty() ? d.file : d.status);
            allHaveFiles = allHaveFiles && (d.status.isEmpty() || d.passedOver);
        }
        driver.CloseUSBDriver();
        if (!TerminalOutput::write(plan))
            return ExitStatus::Failed;
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
    std::map<int, QString> after;
    if (!interruptedLoad) {
        for (const QString &row : scanBus(driver, options.highest).rows)
            after[ScanRules::rowAddress(row)] = ScanRules::rowRevision(row);
    }
    driver.CloseUSBDriver();
    QString table = QStringLiteral("Addr  Type  Before  After  Status\n");
    bool allCompleted = true;
    for (const DeviceOutcome &d : devices) {
        table += QStringLiteral("%1  %2  %3  %4  %5\n")
                     .arg(d.address, 4)
                     .arg(d.type, d.before.leftJustified(6), (after.count(d.address) ? after[d.address] : QStringLiteral("-")).leftJustified(5), d.status);
        allCompleted = allCompleted && (d.completed || d.passedOver);
    }
    if (!TerminalOutput::write(table))
        return ExitStatus::Failed;
    return allCompleted ? ExitStatus::Completed : ExitStatus::Failed;
}
