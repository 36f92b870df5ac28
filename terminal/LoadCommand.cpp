#include "terminal/Commands.h"

#include "driver/DriverResult.h"
#include "driver/ModuleConnection.h"
#include "engines/flash/DeviceLoadSequence.h"
#include "engines/flash/DeviceSelection.h"
#include "engines/flash/DownloadEngine.h"
#include "engines/flash/FirmwareChoice.h"
#include "terminal/CommandRun.h"
#include "terminal/RecordList.h"
#include "terminal/TerminalLoad.h"
#include "terminal/TerminalOutput.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <optional>

namespace {

// Four hexadecimal digits read as a revision (0202 as 0x0202), or nothing.
std::optional<int> revisionValue(const QString &digits)
{
    bool read = false;
    const int value = digits.toInt(&read, 16);
    return read && digits.size() == 4 ? std::optional<int>(value) : std::nullopt;
}

// Holding the file's revision or a later one, the device (or module) is current: the text
// says which revision it holds and which the file has. Nothing when it is behind, or when
// either revision cannot be read (then it is loaded).
std::optional<QString> currentText(const QString &holds, const QString &file)
{
    const QString offers = FirmwareChoice::revisionDigits(QFileInfo(file).fileName());
    const std::optional<int> held = revisionValue(holds);
    const std::optional<int> offered = revisionValue(offers);
    if (!held || !offered || *held < *offered)
        return std::nullopt;
    return QStringLiteral("Current: holds %1, the file has %2").arg(holds, offers);
}

QString wordOf(const DeviceResult &d, bool dryRun)
{
    if (d.current)
        return QStringLiteral("current");
    if (d.passedOver)
        return QStringLiteral("passed over");
    if (dryRun && d.outcome.kind == LoadOutcome::Kind::NotAttempted && !d.file.isEmpty())
        return QStringLiteral("would load");
    return d.outcome.word();
}

// A file found in the firmware folder is named as it is there; one named by --file as typed.
QString shownFile(const QString &file, const QString &folder)
{
    const QString prefix = folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("x")).chopped(1);
    return !prefix.isEmpty() && file.startsWith(prefix) ? file.mid(prefix.size()) : file;
}

// The devices as the format asks: the table, or one record per device in CSV or JSON.
QString listed(const std::vector<DeviceResult> &devices, const std::map<int, QString> &after,
               const LoadOptions &options, bool dryRun)
{
    RecordList list(options.format, dryRun ? QString() : QStringLiteral("Addr  Type  Before  After  Status\n"),
                    {QStringLiteral("address"), QStringLiteral("type"), QStringLiteral("file"),
                     QStringLiteral("before"), QStringLiteral("after"), QStringLiteral("status"),
                     QStringLiteral("outcome")});
    for (const DeviceResult &d : devices) {
        const int address = d.device.address;
        const QString before = d.device.revision.trimmed();
        const QString revisionAfter = after.count(address) ? after.at(address).trimmed() : QStringLiteral("-");
        const QString status = d.outcome.text;
        const QString file = shownFile(d.file, options.folder);
        const QString line =
            dryRun ? QStringLiteral("%1  %2  %3\n").arg(address, 4).arg(d.device.type, status.isEmpty() ? file : status)
                   : QStringLiteral("%1  %2  %3  %4  %5\n")
                         .arg(address, 4)
                         .arg(d.device.type, before.leftJustified(6), revisionAfter.leftJustified(5), status);
        list.add(line, {address, d.device.type.trimmed(), file, before, revisionAfter, status, wordOf(d, dryRun)});
    }
    return list.text();
}

// A device's firmware on a terminal: the file --file names, else the folder's only match
// (the latest with --latest); never a question.
class CommandLineFirmware final : public FirmwareSource {
public:
    explicit CommandLineFirmware(const LoadOptions &options) : m_options(options) {}

    Answer fileFor(const DeviceSelection::Choice &device) override
    {
        using Kind = Answer::Kind;
        if (m_options.files.contains(device.deviceAddress)) {
            const QString file = m_options.files.value(device.deviceAddress);
            return {Kind::File, file, device.knownType || DeviceSelection::isKnownTypeFile(file)};
        }
        // A device that did not answer is not loaded, wherever it stands in the selection.
        if (device.needsFileByHand)
            return {Kind::Silent, {}, device.knownType};
        const QStringList candidates = FirmwareChoice::candidates(device.type, m_options.folder);
        if (candidates.isEmpty())
            return {Kind::Refused, FirmwareChoice::check(QString(), device.type, device.deviceAddress).why()};
        const FirmwareChoice::Choice choice = FirmwareChoice::choose(candidates, m_options.takeLatestFile);
        if (choice.ask)
            return {Kind::Refused, QStringLiteral("Several files: ") + candidates.join(QStringLiteral(", ")) +
                                       QStringLiteral(" (--latest takes the highest revision, --file names one)")};
        return {Kind::File, inFolder(choice.file), device.knownType};
    }
    bool namesFileFor(int address) const override { return m_options.files.contains(address); }

private:
    QString inFolder(const QString &name) const
    {
        return m_options.folder.isEmpty() ? name : QDir(m_options.folder).filePath(name);
    }
    const LoadOptions &m_options;
};

int loadModule(ModuleDriver &driver, const LoadOptions &options)
{
    TerminalLoad host;
    QObject owner;
    DownloadEngine engine(driver, host, &owner);
    engine.settings().devices = false;
    Problem problem;
    const LoadOutcome outcome = runJob(engine, [&] {
        problem = engine.loadWholeFile(options.moduleFile, 1, true);
        return !problem;
    });
    if (problem) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(options.moduleFile), qPrintable(problem.why().trimmed()));
        return ExitStatus::Failed;
    }
    if (outcome.kind == LoadOutcome::Kind::Interrupted) {
        host.endProgressLine();
        std::fputs("Interrupted\n", stderr);
    }
    if (outcome.kind == LoadOutcome::Kind::ModuleLost)
        std::fprintf(stderr, "%s\n", qPrintable(moduleLostText(DriverResult::UsbError)));
    const bool written =
        TerminalOutput::write(options.moduleFile + QStringLiteral(": ") + outcome.text + QLatin1Char('\n'));
    if (outcome.kind == LoadOutcome::Kind::ModuleLost)
        return ExitStatus::NoModule;
    return outcome.completed() && written ? ExitStatus::Completed : ExitStatus::Failed;
}

// The selection the command line asks for: every device that answered, or the addresses.
std::vector<bool> selectionOf(const std::vector<ScanRules::ScannedDevice> &devices, const LoadOptions &options)
{
    std::vector<bool> selected;
    for (const ScanRules::ScannedDevice &device : devices)
        selected.push_back((options.all && device.answered) || options.addresses.contains(device.address));
    return selected;
}

// The revision each device reports after the load, and the answer that says the module
// was lost meanwhile (0 when it stayed).
struct RevisionsNow {
    std::map<int, QString> revisions;
    std::int32_t lostWith = 0;
};
RevisionsNow revisionsNow(ModuleDriver &driver, int highest)
{
    const BusScan check = scanBus(driver, highest);
    RevisionsNow now;
    now.lostWith = check.moduleLostWith;
    for (const ScanRules::ScannedDevice &device : check.devices) {
        if (device.answered)
            now.revisions[device.address] = device.revision;
    }
    return now;
}

// Every device asked for, none of them loaded: an interrupt or a lost module came first.
// The devices the scan reached, and any address asked for beyond them, in address order.
std::vector<DeviceResult> noneLoaded(std::vector<DeviceResult> devices, const LoadOptions &options)
{
    const LoadOutcome notLoaded{LoadOutcome::Kind::NotAttempted, QStringLiteral("not loaded")};
    for (DeviceResult &d : devices)
        d.outcome = notLoaded;
    for (const int address : options.addresses) {
        const bool listed = std::any_of(devices.begin(), devices.end(),
                                        [address](const DeviceResult &d) { return d.device.address == address; });
        if (!listed)
            devices.push_back({ScanRules::device(address), {}, notLoaded});
    }
    std::sort(devices.begin(), devices.end(),
              [](const DeviceResult &a, const DeviceResult &b) { return a.device.address < b.device.address; });
    return devices;
}

bool allLoaded(const std::vector<DeviceResult> &devices, bool dryRun)
{
    return std::all_of(devices.begin(), devices.end(), [dryRun](const DeviceResult &d) {
        return d.passedOver || d.current || d.outcome.completed() ||
               (dryRun && d.outcome.kind == LoadOutcome::Kind::NotAttempted && !d.file.isEmpty());
    });
}

// With --only-older: the planned devices that hold their file's revision or a later one
// are current, marked so in the plan and taken out of the selection.
void markCurrent(std::vector<DeviceResult> &plan, const std::vector<ScanRules::ScannedDevice> &devices,
                 std::vector<bool> &selected)
{
    for (DeviceResult &d : plan) {
        if (d.passedOver || d.file.isEmpty() || d.outcome.kind != LoadOutcome::Kind::NotAttempted)
            continue;
        const std::optional<QString> text = currentText(d.device.revision.trimmed(), d.file);
        if (!text)
            continue;
        d.current = true;
        d.outcome.text = *text;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (devices[i].address == d.device.address)
                selected[i] = false;
        }
    }
}

std::vector<DeviceResult> withCurrent(std::vector<DeviceResult> devices, const std::vector<DeviceResult> &current)
{
    devices.insert(devices.end(), current.begin(), current.end());
    std::stable_sort(devices.begin(), devices.end(),
                     [](const DeviceResult &a, const DeviceResult &b) { return a.device.address < b.device.address; });
    return devices;
}

int loadDevices(ModuleDriver &driver, const LoadOptions &options)
{
    const BusScan scan = scanBus(driver, options.highest);
    TerminalLoad host;
    QObject owner;
    DownloadEngine engine(driver, host, &owner);
    CommandLineFirmware firmware(options);
    DeviceLoadSequence sequence(engine, firmware, DeviceLoadSequence::AfterFailure::GoOn,
                                options.all ? DeviceLoadSequence::RefusedDomes::PassedOver
                                            : DeviceLoadSequence::RefusedDomes::NotLoaded,
                                &owner);
    // Nothing is tried once the module is gone or the command is interrupted: each device
    // asked for is listed as not loaded (nothing was sent to any).
    if (scan.moduleLostWith != 0 || InterruptCatcher::interrupted()) {
        sayWhyEnded(scan.moduleLostWith);
        TerminalOutput::write(listed(
            noneLoaded(sequence.plan(scan.devices, selectionOf(scan.devices, options)), options), {}, options, false));
        return scan.moduleLostWith != 0 ? ExitStatus::NoModule : ExitStatus::Failed;
    }
    std::vector<bool> selected = selectionOf(scan.devices, options);
    if (std::none_of(selected.begin(), selected.end(), [](bool s) { return s; })) {
        std::fputs("No Devices Selected\n", stderr);
        TerminalOutput::write(listed({}, {}, options, options.dryRun));
        return ExitStatus::Failed;
    }
    // The files are checked once for a plan: a dry run lists it, --only-older reads it.
    std::vector<DeviceResult> plan;
    if (options.dryRun || options.onlyOlder)
        plan = sequence.plan(scan.devices, selected);
    if (options.onlyOlder)
        markCurrent(plan, scan.devices, selected);
    if (options.dryRun) {
        if (!TerminalOutput::write(listed(plan, {}, options, true)))
            return ExitStatus::Failed;
        return allLoaded(plan, true) ? ExitStatus::Completed : ExitStatus::Failed;
    }
    std::vector<DeviceResult> current;
    std::copy_if(plan.begin(), plan.end(), std::back_inserter(current),
                 [](const DeviceResult &d) { return d.current; });

    // Nothing behind: no load starts.
    const bool anyToLoad = std::any_of(selected.begin(), selected.end(), [](bool s) { return s; });
    const JobOutcome batch = anyToLoad ? runJob(sequence,
                                                [&] {
                                                    sequence.start(scan.devices, selected);
                                                    return true;
                                                })
                                       : JobOutcome{JobOutcome::Kind::Completed, {}};
    if (InterruptCatcher::interrupted())
        host.endProgressLine(); // the results start on a line of their own
    const std::vector<DeviceResult> devices =
        withCurrent(anyToLoad ? sequence.results() : std::vector<DeviceResult>{}, current);
    std::int32_t lostWith = batch.kind == JobOutcome::Kind::ModuleLost ? DriverResult::UsbError : 0;
    // The revisions after come from a scan of their own, which may be interrupted or find
    // the module gone as well.
    RevisionsNow now;
    if (!InterruptCatcher::interrupted() && lostWith == 0) {
        now = revisionsNow(driver, options.highest);
        lostWith = now.lostWith;
    }
    sayWhyEnded(lostWith);
    const bool written =
        TerminalOutput::write(listed(devices, lostWith ? std::map<int, QString>{} : now.revisions, options, false));
    if (lostWith != 0)
        return ExitStatus::NoModule;
    return written && !InterruptCatcher::interrupted() && allLoaded(devices, false) ? ExitStatus::Completed
                                                                                    : ExitStatus::Failed;
}

} // namespace

namespace {

// A dry run of the module's upload checks the file and says what would go out.
int moduleDryRun(const LoadOptions &options)
{
    const Problem problem = FirmwareChoice::checkWholeFile(options.moduleFile, false);
    if (problem) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(options.moduleFile), qPrintable(problem.why().trimmed()));
        return ExitStatus::Failed;
    }
    return TerminalOutput::write(options.moduleFile + QStringLiteral(": would be loaded into the module\n"))
               ? ExitStatus::Completed
               : ExitStatus::Failed;
}

// The module's own upload. Its revision is asked only when --only-older needs it; a dry run
// asks nothing else of the module. A loaded module starts again: there is nothing left to
// set back, only the driver to close.
int runModuleLoad(ModuleDriver &driver, const LoadOptions &options)
{
    if (options.dryRun && !options.onlyOlder)
        return moduleDryRun(options);
    const ConnectOutcome outcome = ModuleConnection::connect(driver, ConnectOptions::flashLoader());
    if (!outcome.connected) {
        std::fprintf(stderr, "%s\n", qPrintable(noModuleText(outcome.word)));
        return ExitStatus::NoModule;
    }
    int status = ExitStatus::Completed;
    const QString holds = QStringLiteral("%1").arg(outcome.revision, 4, 16, QLatin1Char('0')).toUpper();
    if (const std::optional<QString> current =
            options.onlyOlder ? currentText(holds, options.moduleFile) : std::nullopt)
        status = TerminalOutput::write(options.moduleFile + QStringLiteral(": ") + *current + QLatin1Char('\n'))
                     ? ExitStatus::Completed
                     : ExitStatus::Failed;
    else
        status = options.dryRun ? moduleDryRun(options) : loadModule(driver, options);
    driver.CloseUSBDriver();
    return status;
}

} // namespace

int runLoad(ModuleDriver &driver, const LoadOptions &options)
{
    if (!options.moduleFile.isEmpty())
        return runModuleLoad(driver, options);
    const ConnectOutcome outcome = ModuleConnection::connect(driver, ConnectOptions::flashLoader());
    if (!outcome.connected) {
        std::fprintf(stderr, "%s\n", qPrintable(noModuleText(outcome.word)));
        // Every device asked for has its row, none reached.
        TerminalOutput::write(listed(noneLoaded({}, options), {}, options, options.dryRun));
        return ExitStatus::NoModule;
    }
    const int status = loadDevices(driver, options);
    const std::int32_t lostWith = ModuleConnection::release(driver).lostWith();
    if (lostWith != 0 && status != ExitStatus::NoModule) {
        sayWhyEnded(lostWith);
        return ExitStatus::NoModule;
    }
    return status;
}
