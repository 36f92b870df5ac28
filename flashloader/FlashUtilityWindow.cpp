#include "FlashUtilityWindow.h"

#include "Beep.h"
#include "DeviceLoadSequence.h"
#include "DeviceSelection.h"
#include "FileListBox.h"
#include "FirmwareChoice.h"
#include "FlashUtilityLayouts.h"
#include "FormTimer.h"
#include "LoadStatus.h"
#include "LookupTables.h"
#include "ModuleConnection.h"
#include "NetworkScan.h"
#include "ScanRules.h"
#include "SerialLine.h"
#include "SerialLoader.h"
#include "TextFormat.h"
#include "Twips.h"
#include "Versions.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSignalBlocker>

#include <cmath>

namespace {
constexpr int LinkCheckWaitMs = 10;
constexpr int StartupStep = 16, ScanPrompt = 22, Reconnect = 21;
const QString DirectoryPrefix = QStringLiteral("./");

using FlashUtilityLayouts::showControls;

// A box filled by a mode change, not typed: its typing check stays quiet, so the
// mode's own prompt stays on the status line.
void setBoxQuietly(QLineEdit *box, const QString &text)
{
    const QSignalBlocker quiet(box);
    box->setText(text);
}

int boxValue(const QLineEdit *box)
{
    return ScanRules::boxValue(box->text());
}
// The status line's background for information, errors and success.
QColor colourOf(LoadHost::Colour colour)
{
    switch (colour) {
    case LoadHost::Colour::Information: return QColor(0xC0, 0xFF, 0xFF);
    case LoadHost::Colour::Error: return QColor(0xFF, 0xC0, 0xC0);
    case LoadHost::Colour::Success: break;
    }
    return QColor(0xC0, 0xFF, 0xC0);
}
} // namespace

FlashUtilityWindow::FlashUtilityWindow(ModuleDriver &driver, FlashLoaderOptions options, QWidget *parent)
    : ToolWindow(parent), form(this), m_driver(driver), m_options(std::move(options)),
      m_scan(new NetworkScan(driver, this)), m_engine(new DownloadEngine(driver, *this, this)),
      m_sequence(new DeviceLoadSequence(*m_engine, *this, DeviceLoadSequence::AfterFailure::Stop,
                                        DeviceLoadSequence::RefusedDomes::NotLoaded, this)),
      m_serial(new SerialLoader(
          *new SerialPortLine(form.MSComm1, this), *this, form.Timer[1], form.Timer[6],
          [this](int port) { return m_options.deviceOf(port); }, this))
{
    setObjectName(QStringLiteral("FlashUtility"));
    Twips::resizeWindow(this, FlashUtilityForm::Width, FlashUtilityForm::DeviceModeHeight);

    m_scan->setMaxAddressSource([this] { return boxValue(form.Text10); });
    m_scan->setDebugSource([this] { return debugOn(); });
    connect(m_scan, &NetworkScan::started, m_engine, &DownloadEngine::stopReplyWait);
    connect(m_scan, &NetworkScan::progressed, this, &FlashUtilityWindow::scanProgressed);
    connect(m_scan, &NetworkScan::deviceScanned, this, [this](const ScanRules::ScannedDevice &device) {
        m_scanned.push_back(device);
        form.List1->addItem(ScanRules::row(device));
    });
    connect(m_sequence, &DeviceLoadSequence::silentPassedOver, this,
            [this](int index) { form.List1->item(index)->setSelected(false); });
    connect(m_sequence, &DeviceLoadSequence::deviceEnded, this, &FlashUtilityWindow::deviceEnded);
    // A file sent directly to one device is a load of its own.
    connect(m_engine, &DownloadEngine::loadEnded, this, [this](const LoadOutcome &outcome) {
        if (m_directFileMode && outcome.completed() && !m_sequence->running())
            m_engine->finishUpload();
    });
    connect(m_scan, &NetworkScan::dump, this, [this](const std::vector<std::uint8_t> &bytes) { dumpHex(bytes); });
    connect(m_scan, &NetworkScan::debugCleared, form.Text8, &QPlainTextEdit::clear);
    connect(m_scan, &NetworkScan::debugNote, this, &FlashUtilityWindow::appendDebugText);
    connect(m_scan, &NetworkScan::finished, this, &FlashUtilityWindow::scanFinished);

    connect(form.Check3, &QCheckBox::clicked, this, &FlashUtilityWindow::modeBoxClicked);
    connect(form.Option1, &QRadioButton::clicked, this, [this] { optionClicked(1); });
    connect(form.Option2, &QRadioButton::clicked, this, [this] { optionClicked(2); });
    connect(form.Command1, &QPushButton::clicked, this, &FlashUtilityWindow::loadClicked);
    connect(form.Command9, &QPushButton::clicked, this, &FlashUtilityWindow::scanClicked);
    connect(form.Command10, &QPushButton::clicked, this, &FlashUtilityWindow::connectModule);
    connect(form.Command20, &QPushButton::clicked, form.File1, &FileListBox::refresh);
    connect(form.Check4, &QCheckBox::clicked, this, &FlashUtilityWindow::pauseClicked);
    connect(form.Text10, &QLineEdit::textChanged, this, &FlashUtilityWindow::maxAddressChanged);
    connect(form.Text5, &QLineEdit::textChanged, this, &FlashUtilityWindow::deviceAddressChanged);
    connect(form.List1, &QListWidget::itemClicked, this, &FlashUtilityWindow::deviceListClicked);
    connect(form.List1, &QListWidget::itemDoubleClicked, this, &FlashUtilityWindow::loadClicked);
    connect(form.File1, &QListWidget::itemClicked, this, &FlashUtilityWindow::fileListClicked);
    connect(form.File1, &QListWidget::itemDoubleClicked, this, &FlashUtilityWindow::loadClicked);
    for (int key = 0; key < form.Command15.size(); ++key)
        connect(form.Command15[key], &QPushButton::clicked, this, [this, key] { keypadPressed(key); });
    connect(form.Timer[StartupStep], &FormTimer::timeout, this, &FlashUtilityWindow::startupStep);
    connect(form.Timer[Reconnect], &FormTimer::timeout, this, &FlashUtilityWindow::reconnectStep);
    connect(form.Timer[ScanPrompt], &FormTimer::timeout, this, &FlashUtilityWindow::promptStep);
    QPushButton *tableButtons[] = {form.Command3, form.Command4, form.Command5, form.Command6, form.Command7};
    for (int table = 0; table < 5; ++table)
        connect(tableButtons[table], &QPushButton::clicked, this, [this, table] { writeTable(table); });
    wireCommPort();
    form.Text1->installEventFilter(this);
    form.Text5->installEventFilter(this);

    loadWindow();
}

// ---- start, layouts and modes ---------------------------------------------------------

void FlashUtilityWindow::loadWindow()
{
    FlashUtilityForm &f = form;
    f.Check1->setChecked(false);
    showControls({f.Check4,    f.Option3, f.Option4, f.Option5,  f.Frame2,    f.Text9,     f.Text10,
                  f.Text11,    f.Label3,  f.List1,   f.Command9, f.Command10, f.Command16, f.Command17,
                  f.Command21, f.Label2,  f.Label4,  f.Label5,   f.Label10,   f.Text5},
                 false);
    for (QPushButton *key : f.Command15)
        key->hide();
    f.Command20->show();
    f.Option1->setChecked(true);
    setWindowTitle(QStringLiteral("Flash Loader - Rev ") + Versions::FlashLoader);

    for (FormTimer *timer : f.Timer) {
        if (timer) {
            timer->setEnabled(false);
            timer->setSingleShot(true);
        }
    }
    f.Timer[StartupStep]->setEnabled(true);

    m_moduleConnected = false;
    m_deviceAddress = 1;
    m_knownType = true;
    m_loadFileName.clear();

    setBoxQuietly(f.Text10, QStringLiteral("16"));
    f.File1->setPattern(QStringLiteral("*.hex"));
    f.MSComm1->setBaudRate(QSerialPort::Baud9600);
    f.MSComm1->setParity(QSerialPort::NoParity);
    f.MSComm1->setDataBits(QSerialPort::Data8);
    f.MSComm1->setStopBits(QSerialPort::TwoStop);

    showStatus(QStringLiteral("Select Load File"), Colour::Information);
    f.Command1->setEnabled(true);
    f.Command9->setText(QStringLiteral("Scan Network"));

    f.Check3->hide();
    f.Check3->setChecked(true);
    applyModeLayout();
    showEngineeringControls();

    if (!m_log.open())
        m_logProblem = QStringLiteral("Cannot write ") + QString::fromLatin1(DebugLogFile::FileName) +
                       QStringLiteral(": ") + m_log.errorString();
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
    if (!m_logProblem.isEmpty())
        appendDebugText(m_logProblem);
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
}

bool FlashUtilityWindow::workInHand() const
{
    return m_scanRunning || m_scan->isActive() || m_engine->running() || m_serial->running();
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
    showEngineeringControls();
}

void FlashUtilityWindow::applyComPortLayout()
{
    FlashUtilityForm &f = form;
    FlashUtilityLayouts::showComPort(f);
    m_engine->stopReplyWait();
    // Neither the module's reconnect nor the scan's prompt has a place in Comm Port mode.
    f.Timer[Reconnect]->setEnabled(false);
    f.Timer[ScanPrompt]->setEnabled(false);
    if (m_moduleConnected) {
        m_driver.CloseUSBDriver();
        m_moduleConnected = false;
    }
    f.ProgressBar1->setValue(0);
    // The options now choose a COM port, and none is chosen yet: none shows ticked.
    for (QRadioButton *option : {f.Option1, f.Option2}) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
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

// Comm Port mode: the erase buttons and the sector selector of the serial loader.
void FlashUtilityWindow::wireCommPort()
{
    FlashUtilityForm &f = form;
    connect(f.Command2, &QPushButton::clicked, this,
            [this] { m_serial->start(m_loadFileName, SerialLoader::Request::EraseAll); });
    connect(f.Command19, &QPushButton::clicked, this,
            [this] { m_serial->start(m_loadFileName, SerialLoader::Request::EraseSectors); });
    for (int sector = 0; sector < f.Sector.size(); ++sector)
        connect(f.Sector[sector], &QCheckBox::toggled, this,
                [this, sector](bool ticked) { m_serial->sectorMask().set(sector, ticked); });
    connect(f.Command13, &QPushButton::clicked, this, [this] { setSectors(0, 7, true); });
    connect(f.Command14, &QPushButton::clicked, this, [this] { setSectors(8, 21, true); });
    connect(f.Command18, &QPushButton::clicked, this, [this] {
        setSectors(0, 21, false);
        m_serial->sectorMask().clear();
    });
    connect(f.Check2, &QCheckBox::toggled, this, [this](bool ticked) {
        if (!form.Check3->isChecked())
            showSectorSelector(ticked);
    });
    connect(m_serial, &SerialLoader::runningChanged, this, &FlashUtilityWindow::serialRunning);
}

// While a serial run is in hand nothing that starts, redirects or reshapes it can be
// used: the start buttons, the port options, the mode box and the sector selection the
// erase has taken.
void FlashUtilityWindow::serialRunning(bool running)
{
    FlashUtilityForm &f = form;
    QWidget *const controls[] = {f.Command1,  f.Command2,  f.Command19, f.Command13, f.Command14,
                                 f.Command18, f.Option1,   f.Option2,   f.Check2,    f.Check3};
    for (QWidget *control : controls)
        control->setEnabled(!running);
    for (QCheckBox *sector : f.Sector)
        sector->setEnabled(!running);
}

void FlashUtilityWindow::setSectors(int first, int last, bool ticked)
{
    for (int sector = first; sector <= last; ++sector)
        form.Sector[sector]->setChecked(ticked);
}

// The sector selector shows, and the window grows to hold it, while "Sector Erase" is ticked.
void FlashUtilityWindow::showSectorSelector(bool shown)
{
    FlashUtilityLayouts::showSectorSelector(form, shown);
    if (shown)
        setWindowHeight(FlashUtilityForm::DeviceModeHeight);
}

void FlashUtilityWindow::writeTable(int table)
{
    const QString failure =
        LookupTables::write(LookupTables::All[static_cast<std::size_t>(table)], QStringLiteral("."));
    if (!failure.isEmpty())
        showStatus(failure, Colour::Error);
    Beep::beep();
}

void FlashUtilityWindow::optionClicked(int option)
{
    // Neither a running scan nor a running load may change what is loaded.
    if (m_scanRunning || m_scan->isActive() || m_engine->loadBusy()) {
        const bool deviceMode = form.Command1->text() == QStringLiteral("Load Qwil Device");
        form.Option1->setChecked(deviceMode);
        form.Option2->setChecked(!deviceMode);
        return;
    }
    if (!form.Check3->isChecked()) {
        // In Comm Port mode the options choose the serial port; one that cannot open is
        // cleared, and the port of a run in hand stays chosen.
        if (m_serial->running()) {
            form.Option1->setChecked(m_serial->chosenPort() == 1);
            form.Option2->setChecked(m_serial->chosenPort() == 2);
            return;
        }
        if (!m_serial->choosePort(option)) {
            QRadioButton *chosen = option == 1 ? form.Option1 : form.Option2;
            chosen->setAutoExclusive(false); // an exclusive pair keeps one ticked otherwise
            chosen->setChecked(false);
            chosen->setAutoExclusive(true);
        }
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
    FlashUtilityForm &f = form;
    if (!m_directFileMode) {
        setWindowHeight(FlashUtilityForm::DeviceModeHeight);
        f.File1->hide();
        showControls({f.List1, f.Label3, f.Command9, f.Label1, f.Label2, f.Label4, f.Label5}, true);
        showStatus(f.Text1->text(), Colour::Information);
        Twips::place(f.Text10, 3060, 1080, 620, 315);
        setBoxQuietly(f.Text10, QStringLiteral("16"));
        f.Command20->hide();
    } else {
        setWindowHeight(FlashUtilityForm::FileModeHeight);
        f.File1->setPattern(QStringLiteral("*.hex"));
        f.File1->show();
        showControls({f.List1, f.Label3, f.Command9, f.Label1, f.Label2, f.Label4, f.Label5}, false);
        showStatus(QStringLiteral("Select Load File"), Colour::Information);
        Twips::place(f.Text10, 3574, 1764, 620, 315);
        setBoxQuietly(f.Text10, QStringLiteral("1"));
        f.Command20->show();
    }
    // Debug, Pause and the address keypad are there for a technician who asks for them.
    const bool engineering = m_options.engineering;
    if (!engineering)
        f.Check2->setChecked(false);
    f.Check2->setVisible(engineering);
    f.Check4->setVisible(engineering);
    f.Text9->setVisible(engineering && !m_directFileMode);
    for (QPushButton *key : f.Command15)
        key->setVisible(engineering && !m_directFileMode);

    m_sequence->interrupt(); // the list it walks is gone
    f.List1->clear();
    m_scanned.clear();
    f.Text10->show();
    f.Option2->setChecked(false);
    f.Option1->setChecked(true);
    showControls({f.Option3, f.Option4, f.Frame2}, false);
    f.Command1->setText(QStringLiteral("Load Qwil Device"));

    m_moduleConnected = false;
    const std::int32_t r = m_driver.CloseUSBDriver();
    f.Text7->setText(TextFormat::hexNumber(r));
    if (r != 0)
        showLoadStatus(LoadStatus::UsbError);
    else
        f.Timer[Reconnect]->setEnabled(true);
}

void FlashUtilityWindow::enterModuleMode()
{
    FlashUtilityForm &f = form;
    f.Timer[ScanPrompt]->setEnabled(false);
    setWindowHeight(FlashUtilityForm::FileModeHeight);
    showControls({f.Frame2, f.Option3, f.Option4, f.Option5, f.Text9, f.Text10, f.Text11, f.Label3, f.Command9}, false);
    f.Command20->show();
    f.Check4->setVisible(m_options.engineering);
    f.Option1->setChecked(false);
    f.Option2->setChecked(true);
    f.Command1->setText(QStringLiteral("Load USB Module"));
    f.File1->setPattern(QStringLiteral("*.hex"));
    f.File1->show();
    f.File1->raise(); // over the device list, which the module's layout leaves in place
    showStatus(QStringLiteral("Select Load File"), Colour::Information);
    f.Check2->setChecked(false);
    f.Check2->hide();
}

void FlashUtilityWindow::toggleDirectFileMode()
{
    // The mode decides what a running load sends and what a scan fills: it waits for them.
    if (workInHand())
        return;
    m_directFileMode = !m_directFileMode;
    form.Option1->setChecked(true);
    optionClicked(1);
}

// ---- status line ----------------------------------------------------------------------

void FlashUtilityWindow::showStatus(const QString &text, Colour colour)
{
    setStatusColour(colour);
    form.Text1->setText(text);
}

void FlashUtilityWindow::setStatusColour(Colour colour)
{
    QPalette palette = form.Text1->palette();
    palette.setColor(QPalette::Base, colourOf(colour));
    form.Text1->setPalette(palette);
}

void FlashUtilityWindow::showLoadStatus(int code)
{
    showStatus(LoadStatus::text(code), Colour::Error);
    if (code == LoadStatus::UsbError) {
        offerConnectUsb();
        m_moduleConnected = false;
    }
    form.Command1->setEnabled(true);
    form.Command9->setEnabled(true);
    m_engine->setTransferActive(false);
    Beep::beep();
}

// ---- module link ----------------------------------------------------------------------

void FlashUtilityWindow::connectModule()
{
    const ConnectOutcome outcome = ModuleConnection::connect(m_driver, ConnectOptions::flashLoader());
    appendDebugText(QStringLiteral("Enumeration status = ") + TextFormat::hexNumber(outcome.word));
    if (!outcome.connected) {
        showStatus(QStringLiteral("USB Error - Reconnect USB Module and Click Connect USB"), Colour::Error);
        m_moduleConnected = false;
        offerConnectUsb();
        Beep::beep();
        return;
    }
    showStatus(outcome.status, Colour::Information);
    m_moduleConnected = true;
    form.Command10->setEnabled(false);
    // What the module still holds is read and discarded; the scan prompt follows.
    m_engine->flushReplies([this] {
        if (form.Check3->isChecked() && form.Option1->isChecked())
            form.Timer[ScanPrompt]->setEnabled(true);
    });
}

// Reads one record with a short wait; a link that answers goes on to whenLinked. A click
// that comes meanwhile waits for the answer, as every action of the window does.
void FlashUtilityWindow::checkUsbLink(std::function<void()> whenLinked)
{
    ModuleConnection::read(
        m_driver, this, LinkCheckWaitMs, [this, whenLinked = std::move(whenLinked)](const ModuleRecord &record) {
            const std::int32_t r = record.result;
            if (r == DriverResult::Success || r == DriverResult::NoResponse) {
                whenLinked();
                return;
            }
            m_moduleConnected = false;
            showStatus(QStringLiteral("USB Error - Reconnect USB Module and Click Connect USB"), Colour::Error);
            offerConnectUsb();
            form.Timer[ScanPrompt]->setEnabled(false);
        });
}

void FlashUtilityWindow::reconnectStep()
{
    form.Timer[Reconnect]->setEnabled(false);
    if (!m_moduleConnected)
        connectModule();
}

void FlashUtilityWindow::promptStep()
{
    form.Timer[ScanPrompt]->setEnabled(false);
    showStatus(QStringLiteral("Enter max Qwil address and press scan"), Colour::Information);
}

// ---- scan -----------------------------------------------------------------------------

void FlashUtilityWindow::scanClicked()
{
    if (m_scanRunning) {
        m_scan->requestStop();
        m_scanRunning = false;
        return;
    }
    if (m_scan->isActive())
        return; // a stopped scan is still finishing its last address
    form.Timer[ScanPrompt]->setEnabled(false);
    checkUsbLink([this] { startScan(); });
}

void FlashUtilityWindow::startScan()
{
    if (!m_moduleConnected) {
        showStatus(QStringLiteral("No USB Module - Connect Module and Click Connect "), Colour::Error);
        offerConnectUsb();
        return;
    }
    const int highest = boxValue(form.Text10);
    form.ProgressBar1->setRange(0, std::max(highest, 0));
    form.ProgressBar1->setValue(0);
    if (highest > ScanRules::MaxScanAddress) {
        showStatus(QStringLiteral("Error - Maximum Scan Address is 96"), Colour::Error);
        form.Command1->setEnabled(true);
        return;
    }
    m_scanRunning = true;
    form.Command9->setText(QStringLiteral("Stop Scan"));
    form.Command1->setEnabled(false);
    showStatus(QStringLiteral("Scanning Network for Devices"), Colour::Information);
    m_sequence->interrupt();
    for (int row = form.List1->count() - 1; row >= 0; --row)
        delete form.List1->takeItem(row);
    m_scanned.clear();
    m_scan->begin(highest);
}

void FlashUtilityWindow::maxAddressChanged()
{
    const int value = boxValue(form.Text10);
    if (value >= 1 && value <= 255) {
        showStatus(QStringLiteral("Click Scan Network"), Colour::Information);
        return;
    }
    showStatus(QStringLiteral("Max Address = 1-255"), Colour::Error);
    Beep::beep();
}

void FlashUtilityWindow::scanProgressed()
{
    QProgressBar *bar = form.ProgressBar1;
    bar->setValue(bar->maximum() > bar->value() ? bar->value() + 1 : bar->maximum());
}

// The status says the list can be used once the load button can: after the last drain.
void FlashUtilityWindow::scanFinished()
{
    m_scanRunning = false;
    form.Command9->setText(QStringLiteral("Scan Network"));
    form.Command1->setEnabled(true);
    showStatus(QStringLiteral("Scan Complete - Select Devices From List"), Colour::Information);
    Beep::beep();
    if (m_closePending)
        close();
}

bool FlashUtilityWindow::deferClose()
{
    if (!m_scan->isActive())
        return false;
    m_closePending = true;
    m_scan->requestStop();
    m_scanRunning = false;
    return true;
}

// ---- load button ----------------------------------------------------------------------

void FlashUtilityWindow::loadClicked()
{
    FlashUtilityForm &f = form;
    if (!f.Check3->isChecked()) {
        m_serial->start(m_loadFileName, SerialLoader::Request::Application);
        return;
    }
    showStatus(QString(), Colour::Information);
    // The scan prompt must not cover what the load reports.
    f.Timer[ScanPrompt]->setEnabled(false);
    checkUsbLink([this] { m_engine->flushReplies([this] { startLoad(); }); });
}

void FlashUtilityWindow::startLoad()
{
    FlashUtilityForm &f = form;
    const bool moduleMode = !m_directFileMode && f.Option2->isChecked();
    if (!moduleMode && !m_moduleConnected) {
        showStatus(QStringLiteral("Click Connect USB and Scan Before Starting Load"), Colour::Error);
        offerConnectUsb();
    } else {
        f.ProgressBar1->setValue(0);
        f.Text8->clear();
        if (moduleMode)
            startChosenFile(m_loadFileName, false);
        else if (m_directFileMode)
            startDirectFile();
        else if (m_sequence->waitingForFile())
            m_sequence->fileChosen(chosenFile(), m_knownType);
        else
            startDevices();
    }
    Beep::beep();
}

void FlashUtilityWindow::startChosenFile(const QString &file, bool disableLoadButton)
{
    const QString problem = m_engine->loadWholeFile(file, static_cast<std::uint8_t>(m_deviceAddress), m_knownType);
    if (!problem.isEmpty()) {
        showStatus(problem, Colour::Error);
        return;
    }
    if (disableLoadButton)
        form.Command1->setEnabled(false);
    form.Command9->setEnabled(false);
    showStatus(file.mid(2) + QStringLiteral(" Loading "), Colour::Information);
}

// Direct file mode sends the chosen file as it is to the one device whose address the
// address box (the only one shown in this layout) holds.
void FlashUtilityWindow::startDirectFile()
{
    const int address = boxValue(form.Text10);
    if (address >= 1 && address <= 255)
        m_deviceAddress = address;
    startChosenFile(chosenFile(), true);
}

// The file picked in the file list, named in the working folder; empty when none is.
QString FlashUtilityWindow::chosenFile() const
{
    const QString chosen = form.File1->selectedName();
    return chosen.isEmpty() ? QString() : DirectoryPrefix + chosen;
}

void FlashUtilityWindow::offerConnectUsb()
{
    form.Command10->show();
    form.Command10->setEnabled(true);
}

void FlashUtilityWindow::startDevices()
{
    std::vector<bool> selected;
    for (int i = 0; i < form.List1->count(); ++i)
        selected.push_back(form.List1->item(i)->isSelected());
    m_sequence->start(m_scanned, selected);
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
    showStatus(QStringLiteral("Select load file from list"), Colour::Information);
    Beep::beep();
    // The load goes on only when the user has picked a file and pressed the load button
    // again, so that button must be usable, also when a later device of a load asks.
    m_engine->clearLoadBusy();
    m_engine->setTransferActive(false);
    enableLoadButtons();
    return {Kind::Ask, {}, device.knownType};
}

void FlashUtilityWindow::deviceEnded(int index, const DeviceResult &result)
{
    FlashUtilityForm &f = form;
    switch (result.outcome.kind) {
    case LoadOutcome::Kind::Completed:
        f.List1->item(index)->setSelected(false);
        if (!f.File1->isHidden()) {
            showControls({f.Label3, f.Text10, f.Command9}, true);
            showControls({f.File1, f.Label10, f.Text5}, false);
        }
        break;
    case LoadOutcome::Kind::Refused:
        // Nothing was sent: the window is ready for another try. A dome that cannot take a
        // download is told in the status line's colour of the moment.
        if (DeviceSelection::isRefusedDome(result.device.type, result.device.revision))
            f.Text1->setText(result.outcome.text);
        else
            showStatus(result.outcome.text, Colour::Error);
        m_engine->clearLoadBusy();
        enableLoadButtons();
        Beep::beep();
        break;
    default: break; // the engine's status line says why
    }
}

// A click in the device list withdraws the question for a file.
void FlashUtilityWindow::deviceListClicked()
{
    FlashUtilityForm &f = form;
    showStatus(QStringLiteral("Click Load Qwil Device to Start"), Colour::Information);
    if (!m_sequence->waitingForFile())
        return;
    showControls({f.Label3, f.Text10, f.Command9}, true);
    f.File1->clearSelection();
    showControls({f.File1, f.Label10, f.Text5}, false);
    m_sequence->interrupt();
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

void FlashUtilityWindow::keypadPressed(int key)
{
    const AddressKeypad::Outcome outcome = m_keypad.press(key);
    form.Text9->setText(m_keypad.text());
    if (outcome.entered) {
        form.Text10->setText(QString::number(*outcome.entered));
        showStatus(QStringLiteral("Click Load Qwil Device to Start"), Colour::Information);
    } else if (outcome.rejected) {
        showLoadStatus(LoadStatus::InvalidAddress);
    }
}

void FlashUtilityWindow::deviceAddressChanged(const QString &text)
{
    // The leading number, as the platform reads one ("12x" is 12, nothing is 0); an
    // address a byte cannot hold keeps the last one.
    const int value = ScanRules::boxValue(text);
    if (value <= 255)
        m_deviceAddress = value;
}

// ---- debug ----------------------------------------------------------------------------

bool FlashUtilityWindow::debugOn() const
{
    return form.Check2->isChecked();
}

void FlashUtilityWindow::dumpHex(std::span<const std::uint8_t> bytes)
{
    if (form.Check2->isHidden())
        return;
    const QString line = DebugDump::line(bytes);
    m_log.writeLine(line);
    form.Text8->setPlainText(DebugDump::appendToDebugText(form.Text8->toPlainText(), line));
}

void FlashUtilityWindow::appendDebugText(const QString &text)
{
    form.Text8->setPlainText(form.Text8->toPlainText() + text);
}

// ---- what the download engine asks of the window ------------------------------------------

bool FlashUtilityWindow::deviceMode() const
{
    return form.Option1->isChecked();
}

DownloadMessages::ImageType FlashUtilityWindow::imageType() const
{
    if (form.Option3->isChecked())
        return DownloadMessages::ImageType::Application;
    return form.Option4->isChecked() ? DownloadMessages::ImageType::Boot : DownloadMessages::ImageType::Fpga;
}

bool FlashUtilityWindow::pauseTicked() const
{
    return form.Check4->isChecked();
}

void FlashUtilityWindow::setProgress(int value, int maximum)
{
    form.ProgressBar1->setRange(0, std::max(maximum, 0));
    form.ProgressBar1->setValue(value);
}

void FlashUtilityWindow::stepProgress()
{
    QProgressBar *bar = form.ProgressBar1;
    bar->setValue(std::min(bar->value() + 1, bar->maximum()));
}

void FlashUtilityWindow::completeProgress()
{
    form.ProgressBar1->setValue(form.ProgressBar1->maximum());
}

void FlashUtilityWindow::enableLoadButtons()
{
    form.Command1->setEnabled(true);
    form.Command9->setEnabled(true);
}

void FlashUtilityWindow::moduleRestarted()
{
    m_moduleConnected = false;
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
    int result = 0;
    if (m_moduleConnected) {
        result = ModuleConnection::release(m_driver);
        m_moduleConnected = false;
    }
    emit closeResult(result);
    m_log.close();
}
