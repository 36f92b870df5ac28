#include "engines/flash/DeviceLoadSequence.h"

#include "engines/flash/DownloadEngine.h"
#include "engines/flash/FirmwareChoice.h"

#include "core/FormTimer.h"

#include <algorithm>

namespace {
const QString RefusedDomeText = QStringLiteral("This dome rev does not support download, change chip!");
const QString SilentText = QStringLiteral("No answer to the scan: not loaded");
const QString NotLoadedText = QStringLiteral("not loaded");
} // namespace

DeviceLoadSequence::DeviceLoadSequence(DownloadEngine &engine, FirmwareSource &files, AfterFailure afterFailure,
                                       RefusedDomes refusedDomes, QObject *parent)
    : Job(parent), m_engine(engine), m_files(files), m_afterFailure(afterFailure), m_refusedDomes(refusedDomes),
      m_afterFailureStep(new FormTimer(QStringLiteral("afterFailureStep"), 0, this))
{
    connect(&m_engine, &DownloadEngine::ended, this, &DeviceLoadSequence::engineEnded);
    m_afterFailureStep->setSingleShot(true);
    connect(m_afterFailureStep, &FormTimer::timeout, this, [this] {
        if (m_running)
            next();
    });
}

void DeviceLoadSequence::start(std::vector<ScanRules::ScannedDevice> devices, std::vector<bool> selected)
{
    walk(std::move(devices), std::move(selected), false);
}

std::vector<DeviceResult> DeviceLoadSequence::plan(std::vector<ScanRules::ScannedDevice> devices,
                                                   std::vector<bool> selected)
{
    walk(std::move(devices), std::move(selected), true);
    return m_results;
}

void DeviceLoadSequence::walk(std::vector<ScanRules::ScannedDevice> devices, std::vector<bool> selected, bool planOnly)
{
    m_devices = std::move(devices);
    m_selected = std::move(selected);
    m_results.clear();
    m_next = 0;
    m_running = true;
    m_loading = false;
    m_waitingForFile = false;
    m_planOnly = planOnly;
    emit started();
    next();
}

bool DeviceLoadSequence::anyLoaded() const
{
    return std::any_of(m_results.begin(), m_results.end(), [](const DeviceResult &r) { return r.outcome.completed(); });
}

// Takes the devices' turns until one is loading or waits for its file, or none is left.
void DeviceLoadSequence::next()
{
    for (;;) {
        const auto takeSilent = [this](int address) { return m_files.namesFileFor(address); };
        const DeviceSelection::Choice choice =
            DeviceSelection::findNextDevice(m_devices, m_selected, m_next, takeSilent);
        m_next = choice.nextRow;
        for (const int index : choice.rowsToDeselect) {
            m_results.push_back(
                {m_devices[static_cast<std::size_t>(index)], {}, {LoadOutcome::Kind::NotAttempted, SilentText}});
            emit silentPassedOver(index);
        }
        if (choice.result == DeviceSelection::Choice::NoneLeft) {
            finish(true);
            return;
        }
        if (!takeTurn(choice))
            return;
    }
}

// False when the turn goes on (a load or a question) or the sequence ended.
bool DeviceLoadSequence::takeTurn(const DeviceSelection::Choice &choice)
{
    m_choice = choice;
    m_chosen = choice.chosenRow;
    if (choice.result == DeviceSelection::Choice::RefusedDome) {
        if (m_refusedDomes == RefusedDomes::PassedOver)
            return endTurn({}, {LoadOutcome::Kind::NotAttempted, RefusedDomeText}, true);
        return endTurn({}, {LoadOutcome::Kind::Refused, RefusedDomeText});
    }
    const FirmwareSource::Answer answer = m_files.fileFor(choice);
    switch (answer.kind) {
    case FirmwareSource::Answer::Kind::Ask:
        m_waitingForFile = true;
        emit stateChanged();
        return false;
    case FirmwareSource::Answer::Kind::Refused: return endTurn({}, {LoadOutcome::Kind::Refused, answer.text});
    case FirmwareSource::Answer::Kind::Silent: return endTurn({}, {LoadOutcome::Kind::NotAttempted, SilentText});
    case FirmwareSource::Answer::Kind::File: break;
    }
    // A plan checks the file as the load would, so it says what the load would say.
    if (m_planOnly) {
        const Problem problem = FirmwareChoice::check(answer.text, choice.type, choice.deviceAddress);
        if (problem)
            return endTurn(answer.text, {LoadOutcome::Kind::Refused, problem.why()});
        return endTurn(answer.text, {LoadOutcome::Kind::NotAttempted, {}});
    }
    return load(answer.text, answer.knownType);
}

void DeviceLoadSequence::fileChosen(const QString &file, bool knownType)
{
    if (!m_waitingForFile)
        return;
    m_waitingForFile = false;
    if (load(file, knownType))
        next();
}

// Starts the device's load; when it cannot start, its turn ends (true: go on).
bool DeviceLoadSequence::load(const QString &file, bool knownType)
{
    const auto address = static_cast<std::uint8_t>(m_choice.deviceAddress);
    m_fileInHand = file;
    const Problem problem = m_engine.loadDevice(address, file, m_choice.type, knownType);
    if (problem)
        return endTurn(file, {LoadOutcome::Kind::Refused, problem.why()});
    m_loading = true;
    emit stateChanged();
    return false;
}

void DeviceLoadSequence::engineEnded(const LoadOutcome &outcome)
{
    if (!m_loading)
        return; // a whole-file load, not ours
    m_loading = false;
    const bool goOn = endTurn(m_fileInHand, outcome);
    if (!goOn)
        return;
    // The next device starts at once after a completed one, as the engine's last step
    // ends there; after a failure, once the engine has finished handling it.
    if (outcome.completed())
        next();
    else
        m_afterFailureStep->start();
}

// Records the device's outcome; true when the sequence goes on to the next device.
bool DeviceLoadSequence::endTurn(const QString &file, const LoadOutcome &outcome, bool passedOver)
{
    const int index = chosenIndex();
    m_results.push_back({m_devices[static_cast<std::size_t>(index)], file, outcome, passedOver});
    emit deviceEnded(index, m_results.back());
    const bool goOn = outcome.completed() || passedOver || m_planOnly ||
                      (m_afterFailure == AfterFailure::GoOn && outcome.kind != LoadOutcome::Kind::ModuleLost &&
                       outcome.kind != LoadOutcome::Kind::Interrupted);
    if (!goOn)
        finish(false);
    return goOn;
}

void DeviceLoadSequence::interrupt()
{
    if (!m_running)
        return;
    if (m_loading) {
        m_engine.abortLoad(); // its outcome ends the sequence
        return;
    }
    if (m_waitingForFile) {
        m_waitingForFile = false;
        m_results.push_back({m_devices[static_cast<std::size_t>(chosenIndex())],
                             {},
                             {LoadOutcome::Kind::Interrupted, QStringLiteral("Interrupted")}});
    }
    finish(false);
}

void DeviceLoadSequence::finish(bool walkedToTheEnd)
{
    if (!m_running)
        return;
    m_running = false;
    m_afterFailureStep->stop();
    if (!walkedToTheEnd)
        recordUnreached();
    else if (anyLoaded() && !m_planOnly)
        m_engine.finishUpload();
    emit stateChanged();
    emit ended(batchOutcome());
}

// The batch as a whole: every device loaded, or the worst of what its devices met.
JobOutcome DeviceLoadSequence::batchOutcome() const
{
    using Kind = JobOutcome::Kind;
    const auto any = [this](Kind kind) {
        return std::any_of(m_results.begin(), m_results.end(),
                           [kind](const DeviceResult &r) { return r.outcome.kind == kind; });
    };
    if (any(Kind::ModuleLost))
        return {Kind::ModuleLost, QStringLiteral("Module lost")};
    if (any(Kind::Interrupted))
        return {Kind::Interrupted, QStringLiteral("Interrupted")};
    const bool allLoaded = std::all_of(m_results.begin(), m_results.end(),
                                       [](const DeviceResult &r) { return r.passedOver || r.outcome.completed(); });
    if (allLoaded && anyLoaded())
        return {Kind::Completed, QStringLiteral("Upload Complete")};
    return {m_planOnly ? Kind::NotAttempted : Kind::Failed, QString()};
}

// Every selected device the load did not reach is listed as not loaded.
void DeviceLoadSequence::recordUnreached()
{
    for (std::size_t i = static_cast<std::size_t>(std::max(m_next, 0)); i < m_devices.size(); ++i) {
        if (i < m_selected.size() && m_selected[i])
            m_results.push_back({m_devices[i], {}, {LoadOutcome::Kind::NotAttempted, NotLoadedText}});
    }
}
