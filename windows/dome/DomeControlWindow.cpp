#include "windows/dome/DomeControlWindow.h"

#include "core/Beep.h"
#include "core/FormTimer.h"
#include "core/TextFormat.h"
#include "core/Versions.h"
#include "driver/ModuleConnection.h"
#include "engines/dome/DomeTexts.h"
#include "engines/dome/PingTest.h"
#include "engines/dome/ReceivePoll.h"
#include "windows/dome/EngineeringPanel.h"
#include "windows/dome/StatusLine.h"
#include "windows/shared/ActionQueue.h"
#include "windows/shared/FormControls.h"
#include "windows/shared/Twips.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>
#include <utility>

namespace {
// The module's bus settings while the window drives domes, and for a dome above them.
constexpr std::int32_t DomeBusValue = 200;
constexpr std::int32_t WideBusValue = 1000;
constexpr std::uint8_t BusSecond = 1;
constexpr int GreetingMs = 1000;
} // namespace

DomeControlWindow::DomeControlWindow(ModuleDriver &driver, QWidget *parent)
    : ToolWindow(parent), m_driver(driver), m_scroll(nullptr), m_face(makeFace()), form(m_face, this),
      m_status(new StatusLine(
          form.Text2, form.Timer4, [this] { return m_state.DomeAddress; }, this)),
      m_motion({m_driver, m_state, *this, this}), m_targets({m_driver, m_state, *this, this}),
      m_functions({m_driver, m_state, *this, this}), m_statusKeys({m_driver, m_state, *this, this}),
      m_raw({m_driver, m_state, *this, this}), m_poll(new ReceivePoll(m_driver, this)),
      m_ping(new PingTest({m_driver, m_state, *this, this}, *m_poll, this)),
      m_panel(new EngineeringPanel(
          form, {m_driver, m_state, *this, this}, [this](const DomeMessages::Bytes &bytes) { showMessageBytes(bytes); },
          this))
{
    setObjectName(QStringLiteral("DomeControl"));
    // The reconnect, like a close, does not wait behind the actions queued before it.
    actions().letThrough(form.Label1);
    wireKeys();
    loadWindow();
}

// The face holds every control at its designed place; the window shows the part its
// size designs, and a scroll bar leads to the right-hand column beyond it.
QWidget *DomeControlWindow::makeFace()
{
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("FaceScroller"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
    auto *face = new QWidget;
    face->setObjectName(QStringLiteral("Face"));
    const int dpi = logicalDpiY();
    face->setFixedSize(Twips::toPixels(DomeControlForm::FaceWidth, dpi),
                       Twips::toPixels(DomeControlForm::TallHeight, dpi));
    m_scroll->setWidget(face);
    return face;
}

void DomeControlWindow::holdKey(QWidget *key, std::function<void()> pressed, std::function<void()> released)
{
    key->installEventFilter(this);
    m_holdKeys[key] = {std::move(pressed), std::move(released)};
}

void DomeControlWindow::wireKeys()
{
    wireMotionKeys();
    wireFunctionKeys();
    wireReplies();
}

// The keypad and the keys that move the camera: the hold keys of zoom, focus, iris and
// vphase, and the taps of pan and tilt.
void DomeControlWindow::wireMotionKeys()
{
    DomeControlForm &f = form;
    for (int key = 0; key < f.Command15.size(); ++key)
        connect(f.Command15[key], &QPushButton::clicked, this, [this, key] { keypadPressed(key); });

    // Hold keys: the press sends the start, the release the stop.
    struct HoldKey {
        QWidget *key;
        void (MotionKeys::*press)(std::uint8_t);
        std::uint8_t code;
        void (MotionKeys::*release)();
    };
    for (const HoldKey &k : {
             HoldKey{f.Command8, &MotionKeys::zoomPressed, MotionKeys::ZoomIn, &MotionKeys::zoomReleased},
             HoldKey{f.Command4, &MotionKeys::zoomPressed, MotionKeys::ZoomOut, &MotionKeys::zoomReleased},
             HoldKey{f.Command12, &MotionKeys::focusPressed, MotionKeys::FocusNear, &MotionKeys::focusReleased},
             HoldKey{f.Command13, &MotionKeys::focusPressed, MotionKeys::FocusFar, &MotionKeys::focusReleased},
             HoldKey{f.Command52, &MotionKeys::irisPressed, MotionKeys::IrisOpen, &MotionKeys::irisReleased},
             HoldKey{f.Command53, &MotionKeys::irisPressed, MotionKeys::IrisClose, &MotionKeys::irisReleased},
             HoldKey{f.Command2, &MotionKeys::vphasePressed, MotionKeys::VphaseIncrement, &MotionKeys::vphaseReleased},
             HoldKey{f.Command51, &MotionKeys::vphasePressed, MotionKeys::VphaseDecrement, &MotionKeys::vphaseReleased},
         })
        holdKey(
            k.key, [this, k] { (m_motion.*k.press)(k.code); }, [this, k] { (m_motion.*k.release)(); });

    connect(f.UpArrow, &QToolButton::clicked, this, [this] { m_motion.tiltTap(MotionKeys::TiltUp); });
    connect(f.DownArrow, &QToolButton::clicked, this, [this] { m_motion.tiltTap(MotionKeys::TiltDown); });
    connect(f.LeftArrow, &QToolButton::clicked, this, [this] { m_motion.panTap(MotionKeys::PanLeft); });
    connect(f.RightArrow, &QToolButton::clicked, this, [this] { m_motion.panTap(MotionKeys::PanRight); });
    connect(f.Command16, &QPushButton::clicked, this, [this] { m_motion.toggleTap(); });
    connect(f.Command14, &QPushButton::clicked, this, [this] { m_motion.select(); });
}

// Targets, outputs, the dome's functions, its status and the ping test.
void DomeControlWindow::wireFunctionKeys()
{
    DomeControlForm &f = form;
    connect(f.Command35, &QPushButton::clicked, this, [this] { m_targets.view(); });
    connect(f.Command36, &QPushButton::clicked, this, [this] { m_targets.pattern(); });
    connect(f.Command47, &QPushButton::clicked, this, [this] { m_targets.repeat(); });
    connect(f.Command56, &QPushButton::clicked, this, [this] { m_targets.peel(); });

    QCheckBox *outputs[] = {f.Check1, f.Check2, f.Check3, f.Check4};
    for (int i = 0; i < 4; ++i)
        connect(outputs[i], &QCheckBox::clicked, this,
                [this, i](bool checked) { m_functions.outputClicked(i + 1, checked); });
    connect(f.Command10, &QPushButton::clicked, this, [this] { m_functions.menu(); });
    connect(f.Command11, &QPushButton::clicked, this, [this] { m_functions.directSet(); });
    connect(f.Command22, &QPushButton::clicked, this, [this] { m_functions.flip(); });
    connect(f.Command23, &QPushButton::clicked, this, [this] { m_functions.resetClicked(); });
    connect(f.Command54, &QPushButton::clicked, this, [this] { m_functions.autoFocusAndIris(); });
    connect(f.Command57, &QPushButton::clicked, this, [this] { m_functions.maxOpticalZoom(); });

    connect(f.Command1, &QPushButton::clicked, this, [this] { m_statusKeys.flashRevision(); });
    connect(f.Command3, &QPushButton::clicked, this, [this] { m_statusKeys.deviceStatus(); });
    connect(f.Command44, &QPushButton::clicked, this, [this] { m_statusKeys.readPosition(); });
    connect(f.Command45, &QPushButton::clicked, this, [this] { m_statusKeys.gotoPosition(); });
    connect(f.Command46, &QPushButton::clicked, m_ping, &PingTest::toggle);
    connect(m_ping, &PingTest::runningChanged, f.Command46, [this](bool running) {
        form.Command46->setText(running ? QStringLiteral("Stop Ping") : QStringLiteral("Start Ping"));
    });
    // The camera text must not cover the counts while a run goes on.
    connect(m_ping, &PingTest::runningChanged, m_status,
            [this](bool running) { running ? m_status->stopTimer() : m_status->startTimer(); });
    connect(m_ping, &PingTest::counted, m_status,
            [this](long sent, long echoed) { m_status->showUntimed(DomeTexts::pingLine(sent, echoed)); });
    connect(f.Command55, &QPushButton::clicked, this, [this] {
        for (QFrame *shape : {form.Shape1, form.Shape4, form.Shape2, form.Shape5})
            paintIndicator(shape, true);
    });
}

// The raw message keys, what the receive poll hears, and the controls that answer the mouse.
void DomeControlWindow::wireReplies()
{
    DomeControlForm &f = form;
    connect(f.Command5, &QPushButton::clicked, this, [this] { m_raw.sendQwilData(form.Text7->text()); });
    connect(f.Command6, &QPushButton::clicked, this, [this] { m_raw.configureQwil(form.Text7->text()); });
    connect(f.Command58, &QPushButton::clicked, this, [this] { m_raw.setConfigBuffer(form.Text7->text()); });
    connect(f.Command9, &QPushButton::clicked, this, [this] { m_raw.sendDownloadPacket(); });

    connect(m_poll, &ReceivePoll::alarmReport, this, &DomeControlWindow::alarmReport);
    connect(m_poll, &ReceivePoll::domeTypeAnswered, this, [this] { sendDomeQuery(DomeMessages::SetAlarmSocket); });
    connect(m_poll, &ReceivePoll::engineeringReply, m_panel, &EngineeringPanel::showReply);
    connect(m_poll, &ReceivePoll::received, f.Text6, &QLineEdit::setText);

    // The knob lets the pad take the mouse: a drag starts on the knob's place on the pad.
    f.Shape7->setAttribute(Qt::WA_TransparentForMouseEvents);
    f.Label9->installEventFilter(this);
    connect(f.Timer3, &FormTimer::timeout, this, &DomeControlWindow::greetingStep);
    f.Label1->installEventFilter(this);
    f.Label29->installEventFilter(this);
}

// ---- start, size and shutdown ------------------------------------------------------------

void DomeControlWindow::loadWindow()
{
    DomeControlForm &f = form;
    connectModule();
    setWindowTitle(QStringLiteral("Dome Control - Ver ") + Versions::DomeControl);
    m_state = DomeState{};
    sendInTurn(m_driver, this, [highest = m_state.MaxConfiguredAddress](ModuleDriver &d) {
        d.ConfigQwil(DomeBusValue, BusSecond, highest);
    });
    f.Text7->clear();
    for (QCheckBox *output : {f.Check1, f.Check2, f.Check3, f.Check4})
        output->setChecked(false);
    m_panel->reset();
    for (QFrame *alarm : {f.Shape11, f.Shape12, f.Shape13, f.Shape14, f.Shape1, f.Shape4, f.Shape2, f.Shape5})
        paintIndicator(alarm, true);
    m_functions.cancelReset();
    m_poll->start();
    setWindowSize(DomeControlForm::CompactWidth, DomeControlForm::CompactHeight);
    f.Command16->hide();
    f.Timer3->setInterval(GreetingMs);
    f.Timer3->setEnabled(true);
    f.Timer4->setInterval(StatusLine::MessageMs);
}

// In turn behind whatever an earlier window left queued (a call to an absent dome waits
// for its answer), so the window opens at once and tells the outcome when it comes.
void DomeControlWindow::connectModule()
{
    submitCall(
        m_driver, this, [](ModuleDriver &d) { return ModuleConnection::connect(d, ConnectOptions::domeControl()); },
        [this](const ConnectOutcome &outcome) {
            if (outcome.connected)
                displayMessage(outcome.status);
            else
                displayError(outcome.word);
        });
}

// The designed sizes are the face's; the scroll bar below it comes on top.
void DomeControlWindow::setWindowSize(int widthTwips, int heightTwips)
{
    m_widthTwips = widthTwips;
    m_heightTwips = heightTwips;
    const int dpi = logicalDpiY();
    const int bar = m_scroll->horizontalScrollBar()->sizeHint().height();
    resize(Twips::toPixels(widthTwips, dpi), Twips::toPixels(heightTwips, dpi) + bar);
}

void DomeControlWindow::growWindow()
{
    if (m_heightTwips == DomeControlForm::GrownHeight)
        setWindowSize(m_widthTwips, DomeControlForm::TallHeight);
    else
        setWindowSize(DomeControlForm::GrownWidth, DomeControlForm::GrownHeight);
}

// A key still held or a drag still on has a dome moving that no release will stop once
// the window lets go: its stop goes out now.
void DomeControlWindow::stopWhatMoves()
{
    for (QObject *key : std::exchange(m_heldKeys, {}))
        m_holdKeys[key].second();
    if (m_joystick.dragging())
        runJoystick(m_joystick.release());
}

void DomeControlWindow::reconnect()
{
    stopWhatMoves();
    displayMessage(QString());
    m_driver.CloseUSBDriver();
    connectModule();
    m_state.clearEntry();
}

void DomeControlWindow::unloadWindow()
{
    for (FormTimer *timer : {form.Timer3, form.Timer4})
        timer->setEnabled(false);
    m_functions.cancelReset();
    m_poll->stop();
    m_ping->stop();
    stopWhatMoves();
    // In turn after a read of the poll that may still wait; the window need not wait for it.
    sendInTurn(m_driver, this, [](ModuleDriver &d) { d.CloseUSBDriver(); });
}

bool DomeControlWindow::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonDblClick && watched == form.Label29) {
        growWindow();
        return true;
    }
    if (type == QEvent::MouseButtonDblClick && watched == form.Label1) {
        reconnect();
        return true;
    }
    if (watched == form.Label9 && padEvent(event))
        return true;
    // Hold keys: any mouse button presses, its release stops; a double-click is a press.
    if (const auto key = m_holdKeys.find(watched); key != m_holdKeys.end()) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            m_heldKeys.insert(watched);
            key->second.first();
        } else if (type == QEvent::MouseButtonRelease) {
            m_heldKeys.erase(watched);
            key->second.second();
        }
    }
    return ToolWindow::eventFilter(watched, event);
}

// ---- keypad and greeting -------------------------------------------------------------------

void DomeControlWindow::keypadPressed(int key)
{
    constexpr int SetKey = 9, ZeroKey = 10;
    DomeKeypad::Outcome outcome;
    if (key == SetKey)
        outcome = DomeKeypad::selectCamera(m_state);
    else if (key == ZeroKey)
        outcome = DomeKeypad::addDigit(m_state, 0);
    else if (key < SetKey)
        outcome = DomeKeypad::addDigit(m_state, key + 1);
    else
        outcome = DomeKeypad::clear(m_state);

    if (outcome.show == DomeKeypad::Outcome::Show::Message)
        displayMessage(outcome.text);
    else if (outcome.show == DomeKeypad::Outcome::Show::Number)
        m_status->showNumber(outcome.text);
    if (outcome.reconfigure) {
        const std::uint8_t address = m_state.DomeAddress;
        sendInTurn(m_driver, this, [address](ModuleDriver &d) { d.ConfigQwil(WideBusValue, BusSecond, address); });
    }
    if (outcome.greet) {
        form.Timer3->setInterval(GreetingMs);
        form.Timer3->setEnabled(true);
    }
}

void DomeControlWindow::greetingStep()
{
    form.Timer3->setEnabled(false);
    sendDomeQuery(DomeMessages::GetDomeType);
}

void DomeControlWindow::sendDomeQuery(std::uint8_t code)
{
    DomeMessages::Bytes message = DomeMessages::domeQuery(m_state.DomeAddress, code);
    sendInTurn(m_driver, this, [message](ModuleDriver &d) mutable {
        d.SndQwilData(message.data(), static_cast<std::int16_t>(message.size()));
    });
    showMessageBytes(message);
}

void DomeControlWindow::showMessageBytes(const DomeMessages::Bytes &bytes)
{
    form.Text8->setText(TextFormat::hexBytes(bytes));
}

// ---- alarms and the joystick ------------------------------------------------------------------

// A set bit is a normal input; each alarm shows its message and beeps, the last one stays.
void DomeControlWindow::alarmReport(std::uint8_t inputs)
{
    QFrame *shapes[] = {form.Shape11, form.Shape12, form.Shape13, form.Shape14};
    for (int k = 0; k < 4; ++k) {
        const bool normal = inputs & (1u << k);
        paintIndicator(shapes[k], normal);
        if (!normal) {
            displayMessage(QStringLiteral("Alarm ") + QString::number(k + 1));
            Beep::beep();
        }
    }
}

// The pad's mouse events in twips: a press on the knob starts a drag, moves send speeds,
// any release stops both axes.
bool DomeControlWindow::padEvent(QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const double dpi = form.Label9->logicalDpiY();
    const double x = mouse->position().x() * 1440.0 / dpi;
    const double y = mouse->position().y() * 1440.0 / dpi;
    const bool leftAlone = mouse->buttons() == Qt::LeftButton;
    switch (type) {
    case QEvent::MouseButtonPress:
        m_padAddress = m_state.DomeAddress;
        if (m_joystick.press(x, y, leftAlone))
            form.Label9->setCursor(Qt::SizeAllCursor);
        return true;
    case QEvent::MouseMove: runJoystick(m_joystick.move(x, y, leftAlone)); return true;
    case QEvent::MouseButtonRelease:
        runJoystick(m_joystick.release());
        form.Label9->setCursor(Qt::ArrowCursor);
        return true;
    default: return false;
    }
}

// Stops report a failure as it comes; of the moves, only the last one sent, once the
// step's last command is answered.
void DomeControlWindow::runJoystick(const Joystick::Step &step)
{
    auto lastMove = std::make_shared<std::int32_t>(0);
    const std::uint8_t address = m_padAddress;
    for (std::size_t i = 0; i < step.commands.size(); ++i) {
        const Joystick::Command c = step.commands[i];
        const std::uint8_t record = c.stop ? 0 : m_state.recordFlag();
        const bool last = i + 1 == step.commands.size();
        submitCall(
            m_driver, this,
            [c, address, record](ModuleDriver &d) {
                return c.pan ? d.DevPan(c.code, c.speed, address, record) : d.DevTilt(c.code, c.speed, address, record);
            },
            [this, c, last, lastMove, address](std::int32_t r) {
                const Answering answering(*this, address);
                if (c.stop && r != 0)
                    displayError(r);
                else if (!c.stop)
                    *lastMove = r;
                if (last && *lastMove != 0)
                    displayError(*lastMove);
            });
    }
    if (step.knob)
        Twips::place(form.Shape7, step.knob->left, step.knob->top, 160, 160);
}

// ---- what the keys tell ------------------------------------------------------------------

void DomeControlWindow::displayMessage(const QString &text)
{
    m_status->displayMessage(text);
}

void DomeControlWindow::displayError(std::int32_t code)
{
    displayMessage(DomeTexts::error(code, answeringAddress().value_or(m_state.DomeAddress)));
}

// The engineering panel's options show who drives the lens.
void DomeControlWindow::lensControlChanged(LensControl control)
{
    switch (control) {
    case LensControl::FocusManual: form.Option12->setChecked(true); break;
    case LensControl::IrisManual: form.Option13->setChecked(true); break;
    case LensControl::Automatic:
        form.Option10->setChecked(true);
        form.Option11->setChecked(true);
        break;
    }
}

// The keypad gives way to the menu arrows and "Toggle" while the dome's menu is open.
void DomeControlWindow::menuChanged(bool menuOpen)
{
    for (QPushButton *key : form.Command15)
        key->setVisible(!menuOpen);
    for (QWidget *menuKey : {static_cast<QWidget *>(form.Command16), static_cast<QWidget *>(form.UpArrow),
                             static_cast<QWidget *>(form.DownArrow), static_cast<QWidget *>(form.LeftArrow),
                             static_cast<QWidget *>(form.RightArrow)})
        menuKey->setVisible(menuOpen);
}
