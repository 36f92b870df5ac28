#include "windows/monitor/QwilMonWindow.h"

#include "core/Beep.h"
#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "core/TimeSource.h"
#include "core/Versions.h"
#include "driver/DriverErrors.h"
#include "driver/ModuleConnection.h"
#include "engines/monitor/CaptureCycle.h"
#include "engines/monitor/RowFeed.h"
#include "windows/monitor/LineDisplay.h"
#include "windows/shared/FileListBox.h"
#include "windows/shared/FormControls.h"
#include "windows/shared/Twips.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTime>

QwilMonWindow::QwilMonWindow(ModuleDriver &driver, QWidget *parent)
    : ToolWindow(parent), m_driver(driver), m_cycle(new CaptureCycle(driver, this)),
      m_rows(new RowFeed(*m_cycle, QLocale::system(), this))
{
    setObjectName(QStringLiteral("QwilMon"));
    buildForm();
    connect(Option1, &QRadioButton::toggled, m_cycle, &CaptureCycle::setAbsoluteTime);
    m_cycle->setAbsoluteTime(Option1->isChecked());
    m_repaint = new FormTimer(QStringLiteral("DisplayRepaint"), RepaintMs, this);
    m_repaint->setSingleShot(true);
    connect(m_repaint, &FormTimer::timeout, this, &QwilMonWindow::repaintDisplay);
    connect(m_rows, &RowFeed::row, this, &QwilMonWindow::displayMessage);
    connect(m_cycle, &Job::started, this, &QwilMonWindow::showRunState);
    connect(m_cycle, &Job::ended, this, &QwilMonWindow::showRunState);
    connect(m_cycle, &CaptureCycle::driverError, this, &QwilMonWindow::displayError);
    connect(m_cycle, &CaptureCycle::invalidCommand, this, [] {
        Beep::beep();
        Beep::beep();
    });
    connect(m_cycle, &CaptureCycle::endOfFile, this, &QwilMonWindow::endOfFile);
    connect(m_rows, &RowFeed::logWriteFailed, this, &QwilMonWindow::logWriteFailed);

    connect(Command9, &QPushButton::clicked, this, &QwilMonWindow::startStopClicked);
    connect(Command1, &QPushButton::clicked, this, &QwilMonWindow::pauseClicked);
    connect(Command47, &QPushButton::clicked, this, &QwilMonWindow::clearDisplay);
    connect(Command3, &QPushButton::clicked, this, &QwilMonWindow::connectClicked);
    connect(Command2, &QPushButton::clicked, this, &QwilMonWindow::deleteFile);
    connect(Option3, &QRadioButton::clicked, this, &QwilMonWindow::loggingOn);
    connect(Option4, &QRadioButton::clicked, this, &QwilMonWindow::loggingOff);
    connect(Option5, &QRadioButton::clicked, this, &QwilMonWindow::analyzeOn);
    connect(Option6, &QRadioButton::clicked, this, &QwilMonWindow::analyzeOff);
    connect(File1, &QListWidget::itemClicked, this, [this] {
        m_playbackPath = MonitorLog::DirectoryPrefix + File1->selectedName();
        analyzeOn();
    });
    connect(Text5, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_logPath = MonitorLog::DirectoryPrefix + text + QStringLiteral(".mon"); });

    loadWindow();
}

void QwilMonWindow::buildForm()
{
    QWidget *w = this;
    Twips::resizeWindow(this, 14400, 9900);
    Label1 = makeControl<QLabel>(w, QStringLiteral("Label1"), QStringLiteral("Quillbus Monitor"), 120, 60, 4000, 300);
    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    Label1->setFont(heading);

    Label2 = makeControl<QLabel>(w, QStringLiteral("Label2"), QStringLiteral("Time (Sec)"), 160, 420, 1200, 250);
    Label3 = makeControl<QLabel>(w, QStringLiteral("Label3"), QStringLiteral("Header"), 1350, 420, 1200, 250);
    Label12 = makeControl<QLabel>(w, QStringLiteral("Label12"), QStringLiteral("Data"), 2900, 420, 1200, 250);
    Label13 = makeControl<QLabel>(w, QStringLiteral("Label13"), QStringLiteral("Description"), 8900, 420, 2000, 250);
    Text2 = makeControl<LineDisplay>(w, QStringLiteral("Text2"), {}, 120, 680, 14160, 6600);
    Text2->setAccessibleName(QStringLiteral("Display"));
    Text2->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    Command9 = makeControl<QPushButton>(w, QStringLiteral("Command9"), QStringLiteral("Start Quillbus Monitor"), 120,
                                        7400, 2600, 420);
    Shape2 = makeControl<QFrame>(w, QStringLiteral("Shape2"), {}, 2800, 7460, 300, 300);
    Shape2->setAccessibleName(QStringLiteral("Monitor running"));
    Command1 = makeControl<QPushButton>(w, QStringLiteral("Command1"), QStringLiteral("Pause"), 3300, 7400, 1500, 420);
    Shape1 = makeControl<QFrame>(w, QStringLiteral("Shape1"), {}, 4900, 7460, 300, 300);
    Shape1->setAccessibleName(QStringLiteral("Display running"));
    Command47 = makeControl<QPushButton>(w, QStringLiteral("Command47"), QStringLiteral("Clear Display"), 5400, 7400,
                                         1700, 420);
    Command3 =
        makeControl<QPushButton>(w, QStringLiteral("Command3"), QStringLiteral("Connect USB"), 7200, 7400, 1700, 420);

    Frame1 = makeControl<QGroupBox>(w, QStringLiteral("Frame1"), QStringLiteral("Time"), 120, 8000, 1600, 900);
    Option1 =
        makeControl<QRadioButton>(Frame1, QStringLiteral("Option1"), QStringLiteral("Absolute"), 120, 280, 1400, 250);
    Option2 =
        makeControl<QRadioButton>(Frame1, QStringLiteral("Option2"), QStringLiteral("Delta"), 120, 560, 1400, 250);
    Frame2 = makeControl<QGroupBox>(w, QStringLiteral("Frame2"), QStringLiteral("Datalogging"), 1850, 8000, 1600, 900);
    Option3 = makeControl<QRadioButton>(Frame2, QStringLiteral("Option3"), QStringLiteral("ON"), 120, 280, 1400, 250);
    Option4 = makeControl<QRadioButton>(Frame2, QStringLiteral("Option4"), QStringLiteral("OFF"), 120, 560, 1400, 250);
    Frame3 = makeControl<QGroupBox>(w, QStringLiteral("Frame3"), QStringLiteral("Analyze"), 3580, 8000, 1600, 900);
    Option5 = makeControl<QRadioButton>(Frame3, QStringLiteral("Option5"), QStringLiteral("ON"), 120, 280, 1400, 250);
    Option6 = makeControl<QRadioButton>(Frame3, QStringLiteral("Option6"), QStringLiteral("OFF"), 120, 560, 1400, 250);

    Label4 = makeControl<QLabel>(w, QStringLiteral("Label4"), QStringLiteral("File Name"), 5400, 8000, 1500, 250);
    Text5 = makeControl<QLineEdit>(w, QStringLiteral("Text5"), {}, 5400, 8260, 3600, 315);
    Text5->setAccessibleName(QStringLiteral("File Name"));
    Command2 =
        makeControl<QPushButton>(w, QStringLiteral("Command2"), QStringLiteral("Delete File"), 5400, 8700, 1700, 420);
    Label9 =
        makeControl<QLabel>(w, QStringLiteral("Label9"), QStringLiteral("Datalogging Files"), 9200, 7400, 2600, 250);
    File1 = makeControl<FileListBox>(w, QStringLiteral("File1"), {}, 9200, 7660, 1900, 2100);
    File1->setAccessibleName(QStringLiteral("Datalogging Files"));

    Label5 =
        makeControl<QLabel>(w, QStringLiteral("Label5"), QStringLiteral("Filter Parameters"), 11200, 7400, 3000, 250);
    Label8 = makeControl<QLabel>(w, QStringLiteral("Label8"), QStringLiteral("Addr"), 11200, 7750, 800, 250);
    Text8 = makeControl<QLineEdit>(w, QStringLiteral("Text8"), {}, 12000, 7720, 2200, 315);
    label7 = makeControl<QLabel>(w, QStringLiteral("label7"), QStringLiteral("Sckts"), 11200, 8200, 800, 250);
    Text7 = makeControl<QLineEdit>(w, QStringLiteral("Text7"), {}, 12000, 8170, 2200, 315);
    Label6 = makeControl<QLabel>(w, QStringLiteral("Label6"), QStringLiteral("Cmds"), 11200, 8650, 800, 250);
    Text6 = makeControl<QLineEdit>(w, QStringLiteral("Text6"), {}, 12000, 8620, 2200, 315);
    for (QLineEdit *box : {Text8, Text7, Text6})
        box->setAccessibleName(box == Text8   ? QStringLiteral("Addr")
                               : box == Text7 ? QStringLiteral("Sckts")
                                              : QStringLiteral("Cmds"));

    // Work buffers of the display routine: present under their names, never shown. Each is
    // a window of its own that never opens, so assistive technology, which reads the
    // window's controls, does not offer them as text fields.
    Text1 = makeControl<QLineEdit>(w, QStringLiteral("Text1"), QStringLiteral("Text1"), 0, 0, 100, 100);
    Text3 = makeControl<QLineEdit>(w, QStringLiteral("Text3"), QStringLiteral("Text3"), 0, 0, 100, 100);
    Text4 = makeControl<QLineEdit>(w, QStringLiteral("Text4"), QStringLiteral("Text4"), 0, 0, 100, 100);
    for (QLineEdit *buffer : {Text1, Text3, Text4}) {
        buffer->setWindowFlag(Qt::Tool);
        buffer->hide();
    }
}

void QwilMonWindow::loadWindow()
{
    setWindowTitle(QStringLiteral("Quillbus Monitor Utility - Ver ") + Versions::BusAnalyzer);
    connectModule(false, [this] { afterLoadConnect(); });
}

void QwilMonWindow::afterLoadConnect()
{
    Command3->setEnabled(!m_connected);
    m_cycle->stopCapture();
    showRunState();
    m_display.reset();
    m_cycle->resetDelta();
    Option2->setChecked(true);
    Text1->clear();
    File1->setPattern(QStringLiteral("*.mon"));
    m_logging = false;
    m_cycle->setPlayback(false);
    Option4->setChecked(true);
    Option6->setChecked(true);
    setPaused(false);
    paintIndicator(Shape1, true);
    m_cycle->clearFilters();
    m_cycle->rest();
}

// The drain runs on the driver's thread; then follows once the module is ready.
void QwilMonWindow::connectModule(bool closeFirst, std::function<void()> then)
{
    m_cycle->connectModule(
        closeFirst,
        [this, then](const ConnectOutcome &outcome) {
            if (outcome.connected) {
                // The status shows before the drain, which may take a while on a busy bus.
                replaceDisplay(outcome.status);
                return;
            }
            m_connected = false;
            displayError(outcome.word);
            displayMessage(QStringLiteral("Connect or Reconnect USB Module"));
            displayMessage(QStringLiteral("Click Connect USB"));
            Command3->setEnabled(true);
            then();
        },
        [this, then] {
            m_connected = true;
            then();
        });
}

void QwilMonWindow::connectClicked()
{
    m_cycle->suspend();
    connectModule(true, [this] {
        if (!m_connected)
            return;
        Command3->setEnabled(false);
        m_display.reset();
        m_cycle->resetDelta();
        m_cycle->rest();
    });
}

// ---- monitoring -------------------------------------------------------------------------

void QwilMonWindow::startStopClicked()
{
    if (m_cycle->running()) {
        stopMonitor();
    } else if (m_connected) {
        startMonitor();
    } else {
        displayMessage(QStringLiteral("Connect or Reconnect USB Module"));
        displayMessage(QStringLiteral("Click Connect USB"));
    }
}

void QwilMonWindow::startMonitor()
{
    // A log that cannot be written or a file that cannot be played is reported, not ignored.
    if (m_logging && !m_rows->openLog(m_logPath)) {
        displayMessage(QStringLiteral("Cannot create ") + m_logPath.mid(2) + QStringLiteral(": ") + m_rows->logError());
        Beep::beep();
        return;
    }
    if (m_cycle->playback() && !m_cycle->openPlayback(m_playbackPath)) {
        displayMessage(QStringLiteral("Cannot open ") + m_playbackPath.mid(2) + QStringLiteral(": ") +
                       m_cycle->playbackError());
        Beep::beep();
        return;
    }
    m_display.clear();
    Text2->clear();
    m_cycle->startRun(Text8->text(), Text6->text());
}

void QwilMonWindow::stopMonitor()
{
    m_cycle->stopCapture();
    repaintDisplay();
    m_cycle->rest();
    if (m_paused) {
        setPaused(false);
        m_display.setPaused(false);
        paintIndicator(Shape1, true);
    }
    if (m_logging) {
        m_logging = false;
        Text5->clear();
        selectQuietly(Option4);
        // The read in hand still becomes rows of the log; then it closes and is listed.
        m_cycle->afterLastRead([this] {
            m_rows->closeLog();
            File1->refresh();
        });
    }
}

// The start/stop button and the "Monitor running" light follow the run, here alone.
void QwilMonWindow::showRunState()
{
    const bool running = m_cycle->running();
    Command9->setText(running ? QStringLiteral("Stop Quillbus Monitor") : QStringLiteral("Start Quillbus Monitor"));
    paintIndicator(Shape2, running);
}

void QwilMonWindow::pauseClicked()
{
    repaintDisplay();
    setPaused(!m_paused);
    m_display.setPaused(m_paused);
    paintIndicator(Shape1, !m_paused);
}

void QwilMonWindow::setPaused(bool paused)
{
    m_paused = paused;
    m_cycle->setPaused(paused);
}

void QwilMonWindow::clearDisplay()
{
    m_display.clear();
    Text2->clear();
}

// The rows go on showing; only the log stops, and says where and why.
void QwilMonWindow::logWriteFailed(const QString &error)
{
    displayMessage(QStringLiteral("Cannot write ") + m_logPath.mid(2) + QStringLiteral(": ") + error);
    Beep::beep();
    loggingOff();
}

void QwilMonWindow::endOfFile()
{
    displayMessage(QStringLiteral("End of file"));
    Beep::beep();
    stopMonitor();
    m_cycle->closePlayback();
}

// ---- logging and playback ---------------------------------------------------------------

void QwilMonWindow::loggingOn()
{
    if (m_cycle->running())
        stopMonitor();
    if (Text5->text().isEmpty()) {
        const QLocale locale = QLocale::system();
        QString time = locale.toString(QTime::currentTime(), QLocale::LongFormat);
        Text5->setText(MonitorLog::defaultName(locale.toString(QDate::currentDate(), QLocale::ShortFormat), time,
                                               QDate::currentDate()));
    } else {
        Text5->setText(QStringLiteral("DL") + Text5->text() + QStringLiteral(".mon"));
    }
    m_logPath = MonitorLog::DirectoryPrefix + Text5->text();
    m_logging = true;
    selectQuietly(Option3);
    selectQuietly(Option6);
    analyzeOff();
}

void QwilMonWindow::loggingOff()
{
    if (m_logging) {
        m_rows->closeLog();
        selectQuietly(Option4);
        File1->refresh();
    }
    m_logging = false;
    Text5->clear();
}

void QwilMonWindow::analyzeOn()
{
    if (m_cycle->running())
        stopMonitor();
    const QString chosen = File1->selectedName();
    if (chosen.isEmpty()) {
        displayMessage(QStringLiteral("No file selected"));
        Beep::beep();
        selectQuietly(Option6);
        analyzeOff();
        return;
    }
    m_playbackPath = MonitorLog::DirectoryPrefix + chosen;
    m_cycle->setPlayback(true);
    selectQuietly(Option4);
    loggingOff();
    selectQuietly(Option5);
}

void QwilMonWindow::analyzeOff()
{
    m_cycle->setPlayback(false);
}

void QwilMonWindow::deleteFile()
{
    const QString chosen = File1->selectedName();
    if (chosen.isEmpty()) {
        displayMessage(QStringLiteral("No file selected"));
        Beep::beep();
        return;
    }
    m_playbackPath = MonitorLog::DirectoryPrefix + chosen;
    QFile file(m_playbackPath);
    // Removing depends on the folder here; a file marked read-only is still kept.
    const QFileInfo info(m_playbackPath);
    if (!info.permission(QFileDevice::WriteOwner) || !info.isWritable()) {
        displayMessage(QStringLiteral("Cannot delete ") + chosen + QStringLiteral(": the file is read-only"));
        Beep::beep();
    } else if (!file.remove()) {
        displayMessage(QStringLiteral("Cannot delete ") + chosen + QStringLiteral(": ") + file.errorString());
        Beep::beep();
    }
    File1->refresh();
}

// ---- display ------------------------------------------------------------------------------

QStringList QwilMonWindow::displayLines() const
{
    QString text = m_display.text();
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
}

void QwilMonWindow::replaceDisplay(const QString &text)
{
    // A whole line, so the next message starts a line of its own.
    m_display.setText(text + QStringLiteral("\r\n"));
    Text2->setPlainText(text);
}

// Every row goes into the display at once; while a capture runs, the box is repainted at
// the screen's pace rather than for every row, which a person could not see anyway. When
// the rows come faster than anyone reads them (a third of the box between two repaints),
// ten repaints a second are enough, and what painting costs drops by more than half.
void QwilMonWindow::displayMessage(const QString &line)
{
    m_display.show(line);
    ++m_rowsSinceRepaint;
    if (!m_cycle->running()) {
        repaintDisplay();
    } else if (!m_repaint->isEnabled()) {
        // A row after a quiet spell shows at once; rows that follow within the pace wait
        // for the repaint that is due.
        const int pace = m_rowsLastRepaint > BusyRows ? BusyRepaintMs : RepaintMs;
        const std::int64_t since = TimeSource::clock().nowMs() - m_lastRepaintMs;
        if (since >= pace) {
            repaintDisplay();
            return;
        }
        m_repaint->setInterval(static_cast<int>(pace - since));
        m_repaint->setEnabled(true);
    }
}

void QwilMonWindow::repaintDisplay()
{
    m_repaint->setEnabled(false);
    m_lastRepaintMs = TimeSource::clock().nowMs();
    m_rowsLastRepaint = m_rowsSinceRepaint;
    m_rowsSinceRepaint = 0;
    QString shown = m_display.text();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text2->setPlainText(shown);
}

void QwilMonWindow::displayError(int code)
{
    if (!DriverErrors::hasRow(code, DriverErrors::Wording::Monitor))
        replaceDisplay(TextFormat::hexNumber(code));
    displayMessage(DriverErrors::message(code, DriverErrors::Wording::Monitor));
}

void QwilMonWindow::selectQuietly(QRadioButton *option)
{
    const QSignalBlocker quiet(option);
    option->setChecked(true);
}

void QwilMonWindow::unloadWindow()
{
    m_cycle->end(true);
    m_rows->closeLog();
    m_connected = false;
}
