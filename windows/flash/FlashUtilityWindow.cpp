#include "windows/flash/FlashUtilityWindow.h"

#include "core/Beep.h"
#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "core/Versions.h"
#include "engines/flash/DeviceLoadSequence.h"
#include "engines/flash/DeviceSelection.h"
#include "engines/flash/FirmwareChoice.h"
#include "engines/flash/LoadStatus.h"
#include "engines/flash/NetworkScan.h"
#include "engines/flash/ScanRules.h"
#include "engines/flash/SerialLine.h"
#include "engines/flash/SerialLoader.h"
#include "windows/flash/CommPortControls.h"
#include "windows/flash/FlashFormWiring.h"
#include "windows/flash/FlashUtilityLayouts.h"
#include "windows/shared/FileListBox.h"
#include "windows/shared/Twips.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {
constexpr int StartupStep = 16;
const QString DirectoryPrefix = QStringLiteral("./");

using FlashUtilityLayouts::showControls;

} // namespace

FlashUtilityWindow::FlashUtilityWindow(ModuleDriver &driver, FlashLoaderOptions options, QWidget *parent)
    : ToolWindow(parent), form(this), m_driver(driver), m_options(std::move(options)),
      m_scan(new NetworkScan(driver, this)), m_engine(new DownloadEngine(driver, *this, this)),
      m_sequence(new DeviceLoadSequence(*m_engine, *this, DeviceLoadSequence::AfterFailure::Stop,
                                        DeviceLoadSequence::RefusedDomes::NotLoaded, this)),
      m_serial(new SerialLoader(
          *new SerialPortLine(form.MSComm1, this), *this, [this](int port) { return m_options.deviceOf(port); }, this)),
      m_status(form.Text1, form.ProgressBar1), m_link(new ModuleLinkControl(driver, form, m_status, *m_engine, this)),
      m_commPort(new CommPortControls(
          form, *m_serial, [this] { return m_loadFileName; }, this)),
      m_scanControls(new ScanControls(*m_scan, *m_sequence, form, m_status, *m_link, this)), m_debug(form)
{
    setObjectName(QStringLiteral("FlashUtility"));
    Twips::resizeWindow(this, FlashUtilityForm::Width, FlashUtilityForm::DeviceModeHeight);
    wireEngines();
    FlashFormWiring::keepLoadSettings(form, m_engine->settings(), *m_scan, this);
    wireControls();
    loadWindow();
}

void FlashUtilityWindow::wireEngines()
{
    connect(m_scan, &NetworkScan::started, m_engine, &DownloadEngine::stopReplyWait);
    connect(m_sequence, &DeviceLoadSequence::silentPassedOver, this,
            [this](int index) { form.List1->item(index)->setSelected(false); });
    connect(m_sequence, &DeviceLoadSequence::deviceEnded, this, &FlashUtilityWindow::deviceEnded);
    connect(m_sequence, &DeviceLoadSequence::stateChanged, this, &FlashUtilityWindow::refreshLoadButtons);
    for (Job *job : std::initializer_list<Job *>{m_scan, m_engine, m_sequence, m_serial}) {
        connect(job, &Job::started, this, &FlashUtilityWindow::refreshLoadButtons);
        connect(job, &Job::ended, this, &FlashUtilityWindow::refreshLoadButtons);
    }
    connect(m_scanControls, &ScanControls::runningChanged, this, &FlashUtilityWindow::refreshLoadButtons);
    // A file sent directly to one device is a load of its own.
    connect(m_engine, &DownloadEngine::ended, this, [this](const LoadOutcome &outcome) {
        if (m_directFileMode && outcome.completed() && !m_sequence->running())
            m_engine->finishUpload();
        refreshLoadButtons();
    });
    connect(m_scan, &NetworkScan::dump, this, [this](const std::vector<std::uint8_t> &bytes) { debugBytes(bytes); });
    connect(m_scan, &NetworkScan::debugCleared, form.Text8, &QPlainTextEdit::clear);
    connect(m_scan, &NetworkScan::debugNote, this, &FlashUtilityWindow::appendDebugText);
    connect(m_scanControls, &ScanControls::scanEnded, this, [this] {
        if (m_closePending)
            close();
    });
    connect(m_link, &ModuleLinkControl::debugNote, this, &FlashUtilityWindow::appendDebugText);
}

void FlashUtilityWindow::wireControls()
{
    connect(form.Check3, &QCheckBox::clicked, this, &FlashUtilityWindow::modeBoxClicked);
    connect(form.Option1, &QRadioButton::clicked, this, [this] { optionClicked(1); });
    connect(form.Option2, &QRadioButton::clicked, this, [this] { optionClicked(2); });
    connect(form.Command1, &QPushButton::clicked, this, &FlashUtilityWindow::loadClicked);
    connect(form.Command20, &QPushButton::clicked, form.File1, &FileListBox::refresh);
    connect(form.Check4, &QCheckBox::clicked, this, &FlashUtilityWindow::pauseClicked);
    connect(form.Text5, &QLineEdit::textChanged, this, &FlashUtilityWindow::deviceAddressChanged);
    connect(form.List1, &QListWidget::itemClicked, this, &FlashUtilityWindow::deviceListClicked);
    connect(form.List1, &QListWidget::itemDoubleClicked, this, &FlashUtilityWindow::loadClicked);
    connect(form.File1, &QListWidget::itemClicked, this, &FlashUtilityWindow::fileListClicked);
    connect(form.File1, &QListWidget::itemDoubleClicked, this, &FlashUtilityWindow::loadClicked);
    FlashFormWiring::wireKeypad(
        form, m_keypad, [this] { showStatus(QStringLiteral("Click Load Qwil Device to Start"), Colour::Information); },
        [this] { showLoadStatus(LoadStatus::InvalidAddress); }, this);
    connect(form.Timer[StartupStep], &FormTimer::timeout, this, &FlashUtilityWindow::startupStep);
    FlashFormWiring::wireTableButtons(
        form, [this](const QString &failure) { showStatus(failure, Colour::Error); }, this);
    form.Text1->installEventFilter(this);
    form.Text5->installEventFilter(this);
}

// ---- start, layouts and modes ---------------------------------------------------------

void FlashUtilityWindow::loadWindow()
{
    FlashUtilityLayouts::showOnLoad(form);
    setWindowTitle(QStringLiteral("Flash Loader - Rev ") + Versions::FlashLoader);

    for (FormTimer *timer : form.Timer) {
        if (timer) {
            timer->setEnabled(false);
            timer->setSingleShot(true);
        }
    }
    form.Timer[StartupStep]->setEnabled(true);

    m_link->markLost();
    m_deviceAddress = 1;
    m_knownType = true;
    m_loadFileName.clear();
    m_commPort->setUpPort();

    showStatus(QStringLiteral("Select Load File"), Colour::Information);
    applyModeLayout();
    showEngineeringControls();

    m_debug.openLog();
}

void FlashUtilityWindow::startupStep()
{
    form.Timer[StartupStep]->setEnabled(false);
    if (!form.Check3->isChecked())
        return;
    applyModeLayout();
    form.Option1->setChecked(true);
    optionClicked(1);
    // Said after the layouts have cleared the debug box, so it stays in sight.
    m_debug.tellLogProblem();
}

// The mode decides what a running load or scan talks to: until it ends, the box keeps
// its state.
void FlashUtilityWindow::modeBoxClicked()
{
    if (workInHand()) {
        const QSignalBlocker quiet(form.Check3);
        form.Check3->setChecked(!form.Check3->isChecked());
        return;
    }
    applyModeLayout();
    if (!form.Check3->isChecked())
        return;
    // Back in USB mode the window is as it was at the start in USB mode: nothing of the
    // serial run's status or progress, and the "Qwil" layout (with engineering's Debug,
    // Pause and keypad) as the start-up step applies it.
    m_status.clearProgress();
    showStatus(QStringLiteral("Select Load File"), Colour::Information);
    form.Option1->setChecked(true);
    optionClicked(1);
}

bool FlashUtilityWindow::workInHand() const
{
    return m_scanControls->running() || m_scan->running() || m_engine->running() || m_serial->running();
}

void FlashUtilityWindow::applyModeLayout()
{
    if (form.Check3->isChecked())
        applyUsbLayout();
    else
        applyComPortLayout();
}

void FlashUtilityWindow::applyUsbLayout()
{
    m_serial->stop();
    FlashUtilityLayouts::showUsb(form, m_directFileMode);
    m_loadsModule = false;
    showEngineeringControls();
}

void FlashUtilityWindow::applyComPortLayout()
{
    FlashUtilityLayouts::showComPort(form);
    m_engine->stopReplyWait();
    m_link->closeForComPort();
    m_status.clearProgress();
    // The options now choose a COM port, and none is chosen yet: none shows ticked.
    for (QRadioButton *option : {form.Option1, form.Option2})
        FlashUtilityLayouts::untick(option);
    showStatus(QStringLiteral(" Select File to Load!"), Colour::Information);
    showEngineeringControls();
}

// Started for engineering, the window offers its USB check box (the way to Comm Port
// mode) and its table generator, which it otherwise keeps hidden.
void FlashUtilityWindow::showEngineeringControls()
{
    if (!m_options.engineering)
        return;
    form.Check3->show();
    form.Check1->show();
    // In Comm Port mode "Sector Erase" leads to the sector selector.
    if (!form.Check3->isChecked())
        form.Check2->show();
}

void FlashUtilityWindow::optionClicked(int option)
{
    // Neither a running scan nor a running load may change what is loaded.
    if (m_scanControls->running() || m_scan->running() || m_engine->loadBusy()) {
        form.Option1->setChecked(!m_loadsModule);
        form.Option2->setChecked(m_loadsModule);
        return;
    }
    if (!form.Check3->isChecked()) {
        m_commPort->choosePort(option);
        return;
    }
    if (option == 1)
        enterDeviceMode();
    else
        enterModuleMode();
}

void FlashUtilityWindow::setWindowHeight(int twips)
{
    Twips::resizeWindow(this, FlashUtilityForm::Width, twips);
}

void FlashUtilityWindow::enterDeviceMode()
{
    FlashUtilityLayouts::showDeviceMode(form, m_directFileMode, m_options.engineering);
    m_fileListAsked = false;
    m_loadsModule = false;
    if (!m_directFileMode) {
        setWindowHeight(FlashUtilityForm::DeviceModeHeight);
        showStatus(form.Text1->text(), Colour::Information);
    } else {
        setWindowHeight(FlashUtilityForm::FileModeHeight);
        showStatus(QStringLiteral("Select Load File"), Colour::Information);
    }
    m_sequence->interrupt(); // the list it walks is gone
    m_scanControls->clearDevices();
    FlashUtilityLayouts::showDeviceChoice(form);

    const std::int32_t r = m_link->closeAndReconnect();
    form.Text7->setText(TextFormat::hexNumber(r));
    if (r != 0)
        showLoadStatus(LoadStatus::UsbError);
}

void FlashUtilityWindow::enterModuleMode()
{
    m_link->cancelScanPrompt();
    setWindowHeight(FlashUtilityForm::FileModeHeight);
    FlashUtilityLayouts::showModuleMode(form, m_options.engineering);
    m_loadsModule = true;
    showStatus(QStringLiteral("Select Load File"), Colour::Information);
}

void FlashUtilityWindow::toggleDirectFileMode()
{
    // The mode decides what a running load sends and what a scan fills: it waits for them.
    if (workInHand())
        return;
    m_directFileMode = !m_directFileMode;
    m_engine->settings().directFile = m_directFileMode;
    form.Option1->setChecked(true);
    optionClicked(1);
}

// ---- load status ----------------------------------------------------------------------

void FlashUtilityWindow::showLoadStatus(int code)
{
    showStatus(LoadStatus::text(code), Colour::Error);
    if (code == LoadStatus::UsbError) {
        m_link->offerConnect();
        m_link->markLost();
    }
    m_engine->setTransferActive(false);
    refreshLoadButtons();
    Beep::beep();
}

// ---- close --------------------------------------------------------------------------

bool FlashUtilityWindow::deferClose()
{
    if (!m_scan->running())
        return false;
    m_closePending = true;
    m_scanControls->stop();
    return true;
}

// ---- load button ----------------------------------------------------------------------

void FlashUtilityWindow::loadClicked()
{
    FlashUtilityForm &f = form;
    // The lists' double-clicks come here too: they start nothing the button would not.
    if (!f.Command1->isEnabled())
        return;
    if (!f.Check3->isChecked()) {
        m_serial->start(m_loadFileName, SerialLoader::Request::Application);
        return;
    }
    showStatus(QString(), Colour::Information);
    // The scan prompt must not cover what the load reports.
    m_link->cancelScanPrompt();
    // From this click on the load is in hand: a second click meanwhile starts nothing.
    m_loadStarting = true;
    refreshLoadButtons();
    const auto started = [this] {
        m_loadStarting = false;
        refreshLoadButtons();
    };
    m_link->check(
        [this, started] {
            m_engine->flushReplies([this, started] {
                startLoad();
                started();
            });
        },
        started);
}

// The load and scan buttons follow the jobs, here alone: neither takes a click from the
// load button's click to the end of its batch (a load waiting for a file by hand takes
// the load button again), and the load button none while a scan runs.
void FlashUtilityWindow::refreshLoadButtons()
{
    if (!form.Check3->isChecked()) {
        form.Command1->setEnabled(!m_serial->running());
        return;
    }
    const bool asking = m_sequence->waitingForFile();
    const bool loading = m_loadStarting || (m_sequence->running() && !asking) || (!asking && m_engine->running());
    form.Command1->setEnabled(!loading && !m_scanControls->running() && !m_scan->running());
    form.Command9->setEnabled(!loading);
}

void FlashUtilityWindow::startLoad()
{
    FlashUtilityForm &f = form;
    const bool moduleMode = !m_directFileMode && f.Option2->isChecked();
    if (!moduleMode && !m_link->connected()) {
        showStatus(QStringLiteral("Click Connect USB and Scan Before Starting Load"), Colour::Error);
        m_link->offerConnect();
    } else {
        m_status.clearProgress();
        f.Text8->clear();
        if (moduleMode)
            startChosenFile(m_loadFileName);
        else if (m_directFileMode)
            startDirectFile();
        else if (m_sequence->waitingForFile())
            m_sequence->fileChosen(chosenFile(), m_knownType);
        else
            startDevices();
    }
    Beep::beep();
}

void FlashUtilityWindow::startChosenFile(const QString &file)
{
    const Problem problem = m_engine->loadWholeFile(file, static_cast<std::uint8_t>(m_deviceAddress), m_knownType);
    if (problem) {
        showStatus(problem.why(), Colour::Error);
        return;
    }
    refreshLoadButtons();
    showStatus(file.mid(2) + QStringLiteral(" Loading "), Colour::Information);
}

// Direct file mode sends the chosen file as it is to the one device whose address the
// address box (the only one shown in this layout) holds.
void FlashUtilityWindow::startDirectFile()
{
    const int address = ScanRules::boxValue(form.Text10->text());
    if (address >= 1 && address <= 255)
        m_deviceAddress = address;
    startChosenFile(chosenFile());
}

// The file picked in the file list, named in the working folder; empty when none is.
QString FlashUtilityWindow::chosenFile() const
{
    const QString chosen = form.File1->selectedName();
    return chosen.isEmpty() ? QString() : DirectoryPrefix + chosen;
}

void FlashUtilityWindow::startDevices()
{
    std::vector<bool> selected;
    for (int i = 0; i < form.List1->count(); ++i)
        selected.push_back(form.List1->item(i)->isSelected());
    m_sequence->start(m_scanControls->devices(), selected);
    if (!m_sequence->running() && m_sequence->results().empty())
        showStatus(QStringLiteral("No Devices Selected"), Colour::Error);
}

// The load sequence asks for a device's firmware: the only match, the latest with "Upload
// latest Rev", or the user picks it from the file list and presses the load button again.
FirmwareSource::Answer FlashUtilityWindow::fileFor(const DeviceSelection::Choice &device)
{
    using Kind = FirmwareSource::Answer::Kind;
    m_deviceAddress = device.deviceAddress;
    m_knownType = device.knownType;
    FlashUtilityForm &f = form;
    QString pattern = QStringLiteral("*.hex");
    if (device.needsFileByHand) {
        f.Text5->setText(TextFormat::numberText(device.deviceAddress));
        showControls({f.Text5, f.Label10}, true);
    } else {
        pattern = FirmwareChoice::pattern(device.type);
        f.File2->setPattern(pattern);
        const FirmwareChoice::Choice choice = FirmwareChoice::choose(f.File2->names(), f.Check5->isChecked());
        if (!choice.ask)
            return {Kind::File, choice.file, device.knownType};
    }
    showControls({f.Label3, f.Text10, f.Command9}, false);
    f.File1->setPattern(pattern);
    f.File1->show();
    m_fileListAsked = true;
    showStatus(QStringLiteral("Select load file from list"), Colour::Information);
    Beep::beep();
    // The load goes on only when the user has picked a file and pressed the load button
    // again, so that button must be usable, also when a later device of a load asks.
    m_engine->clearLoadBusy();
    m_engine->setTransferActive(false);
    refreshLoadButtons();
    return {Kind::Ask, {}, device.knownType};
}

void FlashUtilityWindow::deviceEnded(int index, const DeviceResult &result)
{
    FlashUtilityForm &f = form;
    switch (result.outcome.kind) {
    case LoadOutcome::Kind::Completed:
        f.List1->item(index)->setSelected(false);
        if (m_fileListAsked)
            showScanLayoutAgain();
        break;
    case LoadOutcome::Kind::Refused:
        // Nothing was sent: the window is ready for another try. A dome that cannot take a
        // download is told in the status line's colour of the moment.
        if (DeviceSelection::isRefusedDome(result.device.type, result.device.revision))
            f.Text1->setText(result.outcome.text);
        else
            showStatus(result.outcome.text, Colour::Error);
        m_engine->clearLoadBusy();
        refreshLoadButtons();
        Beep::beep();
        break;
    default: break; // the engine's status line says why
    }
}

// A click in the device list withdraws the question for a file, and brings the scan's
// controls back also after a device whose file was picked by hand did not load.
void FlashUtilityWindow::deviceListClicked()
{
    showStatus(QStringLiteral("Click Load Qwil Device to Start"), Colour::Information);
    if (!m_fileListAsked)
        return;
    showScanLayoutAgain();
    if (m_sequence->waitingForFile())
        m_sequence->interrupt();
}

// The file list asked for a device's file gives way to the scan's controls again.
void FlashUtilityWindow::showScanLayoutAgain()
{
    FlashUtilityForm &f = form;
    m_fileListAsked = false;
    showControls({f.Label3, f.Text10, f.Command9}, true);
    f.File1->clearSelection();
    showControls({f.File1, f.Label10, f.Text5}, false);
}

void FlashUtilityWindow::fileListClicked()
{
    const QString name = form.File1->selectedName();
    m_loadFileName = DirectoryPrefix + name;
    m_knownType = DeviceSelection::isKnownTypeFile(name);
    const bool deviceMode = form.Option1->isChecked();
    const bool askedForFile = m_sequence->waitingForFile() || m_directFileMode;
    showStatus(askedForFile && deviceMode ? QStringLiteral("Click Load Qwil Device to Start")
                                          : QStringLiteral("Click Load USB Module to Start"),
               Colour::Information);
}

void FlashUtilityWindow::pauseClicked()
{
    if (!m_engine->transferActive()) {
        form.Check4->setChecked(false);
        return;
    }
    m_engine->resume();
}

void FlashUtilityWindow::deviceAddressChanged(const QString &text)
{
    // The leading number, as the platform reads one ("12x" is 12, nothing is 0); an
    // address a byte cannot hold keeps the last one.
    const int value = ScanRules::boxValue(text);
    if (value <= 255)
        m_deviceAddress = value;
}

void FlashUtilityWindow::moduleRestarted()
{
    m_link->markLost();
}

// ---- events and unload ----------------------------------------------------------------

bool FlashUtilityWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == form.Text1 && event->type() == QEvent::MouseButtonDblClick) {
        toggleDirectFileMode();
        return true;
    }
    if (watched == form.Text5 && event->type() == QEvent::MouseButtonPress)
        form.Text5->clear();
    return ToolWindow::eventFilter(watched, event);
}

void FlashUtilityWindow::unloadWindow()
{
    // A device or the module left half-written is told so before the module is released.
    m_engine->abortLoad();
    m_serial->stop();
    emit closeResult(m_link->release());
    m_debug.closeLog();
}
