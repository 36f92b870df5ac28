#include "DomeFixture.h"
#include "QtPrinters.h"
#include "ThreadedBus.h"
#include "core/Beep.h"
#include "engines/dome/DomeTexts.h"
#include "engines/dome/PingTest.h"
#include "windows/shared/Twips.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTimer>
#include <QWindow>

using Calls = DomeWindow::Calls;

namespace {

// A mouse event on the joystick pad at a position in twips.
void onPad(DomeWindow &d, QEvent::Type type, double xTwips, double yTwips, Qt::MouseButton button = Qt::LeftButton)
{
    const double dpi = d.f().Label9->logicalDpiY();
    const QPointF at(xTwips * dpi / 1440.0, yTwips * dpi / 1440.0);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, at, d.f().Label9->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(d.f().Label9, &event);
}

std::vector<emu::Bytes> messagesTo(DomeWindow &d, std::uint8_t command)
{
    std::vector<emu::Bytes> found;
    for (const emu::Bytes &m : d.bus.emulator.trace().busMessages()) {
        if (m.size() > 5 && m[5] == command && m[1] == 0xF0)
            found.push_back(m);
    }
    return found;
}

} // namespace

TEST(DomeBus, TheGreetingIsAnsweredAndAlarmsLightTheirIndicators)
{
    DomeWindow d(scenarioFrom("device 1 type 2315\nalarm 1 0x0E at 3000\nalarm 1 0x0F at 6000\n"));
    d.bus.advance(1500);
    EXPECT_EQ(messagesTo(d, 0xCA), (std::vector<emu::Bytes>{{1, 0xF0, 0x00, 0x02, 0x01, 0xCA}}))
        << "the dome's answer to the greeting is followed by the alarm socket";
    EXPECT_EQ(d.f().Text8->text(), "01F0000201CA");
    const int beeps = Beep::count();
    d.bus.advance(2500);
    EXPECT_EQ(d.f().Shape11->property("indicator"), "red");
    EXPECT_EQ(d.f().Shape12->property("indicator"), "green");
    EXPECT_EQ(d.status(), "Alarm 1");
    EXPECT_EQ(Beep::count(), beeps + 1);
    EXPECT_EQ(d.f().Text6->text(), "C10E") << "every record is shown from its command on";
    d.bus.advance(3000);
    EXPECT_EQ(d.f().Shape11->property("indicator"), "green");
    d.click(d.f().Command55);
    EXPECT_EQ(d.f().Shape1->property("indicator"), "green");
}

// Where the drag starts and which speeds it gives are the joystick's own rules; the
// window turns its commands into calls, moves the knob and shows the grab cursor.
TEST(DomeBus, TheJoystickDragsTheDomeAndTheKnob)
{
    DomeWindow d;
    const int dpi = d.window->logicalDpiY();
    onPad(d, QEvent::MouseButtonPress, 600, 700, Qt::RightButton);
    onPad(d, QEvent::MouseMove, 650, 760, Qt::RightButton);
    EXPECT_TRUE(d.calls("DevPan").empty()) << "the right button drags nothing";
    onPad(d, QEvent::MouseButtonPress, 600, 700);
    EXPECT_EQ(d.f().Label9->cursor().shape(), Qt::SizeAllCursor);
    onPad(d, QEvent::MouseMove, 650, 760);
    onPad(d, QEvent::MouseMove, 650, 690);
    EXPECT_EQ(d.calls("DevTilt"), (Calls{{0x85, 1, 1, 0}, {0x86, 0, 1, 0}, {0x84, 1, 1, 0}}));
    EXPECT_EQ(d.calls("DevPan"), (Calls{{0x82, 2, 1, 0}}));
    EXPECT_EQ(d.f().Shape7->x(), Twips::toPixels(2180, dpi));
    onPad(d, QEvent::MouseButtonRelease, 650, 690);
    EXPECT_EQ(d.calls("DevTilt").back(), (std::vector<long long>{0x86, 0, 1, 0}));
    EXPECT_EQ(d.calls("DevPan").back(), (std::vector<long long>{0x83, 0, 1, 0}));
    EXPECT_EQ(d.f().Shape7->y(), Twips::toPixels(3356, dpi));
    EXPECT_EQ(d.f().Label9->cursor().shape(), Qt::ArrowCursor);
}

TEST(DomeBus, APingTestCountsLostEchoes)
{
    DomeWindow d(scenarioFrom("device 1 type 2315 ping-loss 10\ndevice 17 type 2315\n"));
    d.click(d.f().Command46);
    EXPECT_EQ(d.f().Command46->text(), "Stop Ping");
    while (d.window->pingTest().sent() < 20)
        d.bus.advance(100);
    d.click(d.f().Command46);
    EXPECT_EQ(d.f().Command46->text(), "Start Ping");
    const long sent = d.window->pingTest().sent();
    EXPECT_EQ(d.window->pingTest().echoed(), sent - sent / 10);
    EXPECT_EQ(d.status(), DomeTexts::pingLine(sent, sent - sent / 10));
    d.bus.advance(3000);
    EXPECT_EQ(d.status(), "Camera  1") << "the status timer runs again";

    d.type("17S");
    d.mark();
    d.click(d.f().Command46);
    d.bus.advance(600);
    d.click(d.f().Command46);
    ASSERT_FALSE(d.bus.emulator.trace().calls("DevPing").empty());
    EXPECT_EQ(d.bus.emulator.trace().calls("DevPing").back().arguments, (std::vector<long long>{1, 5, 17, 600}));
}

TEST(DomeBus, TheEngineeringPanelsOptionsRequestsAndReplies)
{
    DomeWindow d;
    QTest::mouseDClick(d.f().Label29, Qt::LeftButton);
    d.bus.advance(1500);

    // Zoom in the long form brings pan and tilt along; counts give way to degrees.
    d.click(d.f().Option3);
    d.click(d.f().Check7);
    EXPECT_TRUE(d.f().Check5->isChecked() && d.f().Check6->isChecked());
    EXPECT_TRUE(d.f().Option4->isChecked());
    d.click(d.f().Command24);
    EXPECT_EQ(d.f().Text8->text(), "01F0000101FA0C01");
    d.bus.advance(300);
    EXPECT_EQ(d.f().Text3->text(), "0");
    EXPECT_EQ(d.f().Text5->text(), "100");

    // "NCPC SET" long: the pan rounded before scaling; the dome turns there.
    d.click(d.f().Check7);
    d.click(d.f().Check6);
    d.f().Text3->setText(u"12.5"_s);
    d.click(d.f().Command25);
    EXPECT_EQ(d.f().Text8->text(), "01F0000101FA87C101D4C0");
    EXPECT_EQ(d.f().Text6->text(), "120000");
    d.f().Text3->setText(u"99999999999"_s);
    d.click(d.f().Command25);
    EXPECT_EQ(d.status(), "NCPC Value Out of Range");

    // Short form: one axis at a time; "Rel" and the axis reach the message.
    d.click(d.f().Option9);
    d.click(d.f().Check6);
    EXPECT_FALSE(d.f().Check5->isChecked());
    d.click(d.f().Option2);
    d.f().Text4->setText(u"10"_s);
    d.click(d.f().Command25);
    EXPECT_EQ(d.f().Text8->text(), "01F0000101FAEAC10186A0");
    d.click(d.f().Option5);
    EXPECT_TRUE(d.f().Option2->isChecked()) << "frames move relatively";

    // A nudge selects Man without its own Auto/Man message.
    d.click(d.f().Option8);
    d.click(d.f().Option3);
    d.mark();
    d.click(d.f().Command19);
    EXPECT_EQ(d.calls("SndQwilData"), (Calls{{8}}));
    EXPECT_EQ(d.f().Text8->text(), "01F0000101FA8390");
    EXPECT_TRUE(d.f().Option12->isChecked());

    // Set Target sends back what Get Target read.
    d.click(d.f().Command27);
    d.bus.advance(300);
    d.mark();
    d.click(d.f().Command28);
    const emu::Bytes sent = d.bus.emulator.trace().busMessages().back();
    ASSERT_EQ(sent.size(), 29u);
    EXPECT_EQ(emu::Bytes(sent.begin() + 8, sent.begin() + 11), (emu::Bytes{0x00, 0x04, 0xB0})) << "12.00 degrees";

    // Letting go of "Nudge OPEN" stops the tilt; "Frame Move" is not shown.
    d.mark();
    const QString shown = d.f().Text8->text();
    d.click(d.f().Command17);
    EXPECT_EQ(d.f().Text8->text(), shown);
    d.click(d.f().Command20);
    EXPECT_EQ(d.calls("DevTilt"), (Calls{{0x86, 0, 1, 0}}));
}

// Every start gets its stop on the dome it went to: when the window closes while a key is
// held or the joystick drags, and when the key or the knob is let go after another dome was
// chosen (by keyboard, the mouse button still held).
TEST(DomeBus, AHeldKeyOrADragStopsTheDomeItStarted)
{
    for (const bool joystick : {false, true}) {
        for (const bool otherDomeChosen : {false, true}) {
            SCOPED_TRACE(std::string(joystick ? "joystick" : "zoom key") +
                         (otherDomeChosen ? ", let go after dome 3 was chosen" : ", the window closed"));
            DomeWindow d(scenarioFrom("device 1 type 4008 rev 0110\ndevice 3 type 4008 rev 0110\n"));
            d.bus.advance(1500);
            d.mark();
            if (joystick) {
                onPad(d, QEvent::MouseButtonPress, 600, 700);
                onPad(d, QEvent::MouseMove, 900, 1000);
            } else {
                QTest::mousePress(d.f().Command8, Qt::LeftButton);
            }
            d.bus.advance(300);
            if (otherDomeChosen) {
                d.type("3");
                d.f().Command15[9]->setFocus();
                QTest::keyClick(d.f().Command15[9], Qt::Key_Space);
                d.bus.advance(300);
                if (joystick) {
                    onPad(d, QEvent::MouseMove, 950, 1050);
                    onPad(d, QEvent::MouseButtonRelease, 950, 1050);
                } else {
                    QTest::mouseRelease(d.f().Command8, Qt::LeftButton);
                }
                d.bus.advance(300);
            } else {
                d.window->close();
            }
            if (joystick) {
                for (const char *axis : {"DevPan", "DevTilt"}) {
                    const Calls calls = d.calls(axis);
                    ASSERT_FALSE(calls.empty());
                    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [](const auto &c) { return c[2] == 1; }))
                        << axis << ": every move and stop to dome 1";
                    EXPECT_EQ(calls.back()[0], std::string(axis) == "DevPan" ? 0x83 : 0x86);
                }
            } else {
                EXPECT_EQ(d.calls("DevZoom"), (Calls{{0x8A, 1}, {0x8C, 1}}));
            }
        }
    }
}

namespace {
// The calls of one operation so far, as "DevPattern(0, 0, 1, 0)".
std::vector<std::string> callsOf(ThreadedBus &bus, const std::string &name)
{
    std::vector<std::string> found;
    for (const std::string &c : bus.calls()) {
        if (c.rfind(name + "(", 0) == 0)
            found.push_back(c);
    }
    return found;
}

// A dome window on the real driver thread, the camera chosen by its keys ("" for none).
struct ThreadedDome {
    ThreadedDome(const char *scenario, const std::string &camera)
        : bus(scenarioFrom(scenario)), window(new DomeControlWindow(bus.thread))
    {
        window->show();
        window->activateWindow(); // typing needs the keyboard focus
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        for (const char c : camera.empty() ? camera : camera + "S")
            QTest::mouseClick(f().Command15[c == 'S' ? 9 : c == '0' ? 10 : c - '1'], Qt::LeftButton);
        QTest::qWait(300);
    }
    ~ThreadedDome() { delete window; }
    DomeControlForm &f() { return window->form; }

    ThreadedBus bus;
    QPointer<DomeControlWindow> window;
};
} // namespace

TEST(DomeOnTheDriverThread, KeysAnswerWhileThePollWaitsAndClosingLeavesAnswersUntouched)
{
    ThreadedDome d("device 1 type 4008 rev 0110 flash 0123456789AB\n", "");
    QTest::mouseClick(d.f().Command1, Qt::LeftButton);
    EXPECT_NE(d.f().Text2->text(), "Flash Rev. = 0123-4567-89AB") << "the answer comes as an event, after the click";
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.f().Text2->text() == "Flash Rev. = 0123-4567-89AB"; }, 2000));

    QTest::qWait(30);
    delete d.window; // while a read of the poll waits
    QTest::qWait(300);
    const std::vector<std::string> calls = d.bus.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "GetConfigData(6, 6, 1, 250)"), calls.end());
    QTest::qWait(300);
    EXPECT_EQ(d.bus.calls().size(), calls.size()) << "nothing is asked once the window is gone";
}

// Clicks that come while a call is out wait for its answer and see the state it left.
TEST(DomeOnTheDriverThread, ActionsWaitForTheAnswersBeforeThem)
{
    ThreadedDome d("device 1 type 4008 rev 0110\n", "");
    ThreadedBus &bus = d.bus;
    DomeControlForm &f = d.f();
    // "Set", "1", "Pattern" defines pattern 1; a second "Pattern" at once ends the recording.
    for (QWidget *key : {static_cast<QWidget *>(f.Command15[9]), static_cast<QWidget *>(f.Command15[0]),
                         static_cast<QWidget *>(f.Command36), static_cast<QWidget *>(f.Command36)})
        QTest::mouseClick(key, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return callsOf(bus, "DevPattern").size() == 2; }, 3000));
    EXPECT_EQ(callsOf(bus, "DevPattern"),
              (std::vector<std::string>{"DevPattern(0, 0, 1, 0)", "DevPattern(1, 0, 1, 0)"}));
}

// Typed while the receive poll waits, as separate key presses: each key goes where the
// focus is when its turn comes, so a Tab among them moves on before the keys after it; a
// click moves the focus in its turn, after the keys typed before it.
TEST(DomeOnTheDriverThread, TypedKeysGoWhereTheFocusIsInTheirTurn)
{
    ThreadedDome d("device 1 type 4008 rev 0110\n", "1");
    DomeControlForm &f = d.f();
    QTest::mouseDClick(f.Label29, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Text3->isVisible(); }, 2000));
    QTest::mouseClick(f.Text3, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Text3->hasFocus(); }, 2000));
    const auto type = [](const QString &keys) {
        for (const QChar key : keys) {
            if (key == QLatin1Char('\t'))
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            else
                QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
        }
    };
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    type(u"11\t\t21\t\t31"_s); // each value's check box lies between the boxes
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Text5->text() == "31"; }, 2000))
        << f.Text3->text().toStdString() << " " << f.Text4->text().toStdString();
    EXPECT_EQ(f.Text3->text(), "11");
    EXPECT_EQ(f.Text4->text(), "21");
    EXPECT_TRUE(f.Text5->hasFocus());

    type(u"4"_s);
    QTest::mouseClick(f.Text3, Qt::LeftButton);
    type(u"5"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Text3->text() == "115"; }, 2000)) << f.Text3->text().toStdString();
    EXPECT_EQ(f.Text5->text(), "314");
}

// A right-click after typing opens the box's menu once the typing is in the box.
TEST(DomeOnTheDriverThread, AContextMenuOpensAfterTheKeysBeforeIt)
{
    ThreadedDome d("device 1 type 4008 rev 0110\n", "");
    QWidget *face = d.window->findChild<QWidget *>(u"Face"_s);
    d.window->resize(face->size() + QSize(40, 40)); // the whole face in sight
    QLineEdit *box = d.f().Text7;
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return box->hasFocus(); }, 2000));
    QString textAtMenu;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget *menu = QApplication::activePopupWidget()) {
            textAtMenu = box->text();
            menu->close();
        }
    });
    watch.start(5);
    QTest::keyClicks(box, u"0123456789"_s);
    const QPoint at = box->mapTo(d.window, box->rect().center());
    QTest::mouseClick(d.window->windowHandle(), Qt::RightButton, {}, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !textAtMenu.isEmpty(); }, 3000));
    EXPECT_EQ(textAtMenu, "0123456789");
}

// Dome 7 is absent: each command fails after 100 ms. Thirty quick "Flip"s send one at a
// time; the reconnect drops those still waiting, and a failure names the dome it was for.
TEST(DomeOnTheDriverThread, CommandsToAnAbsentDomeNeitherPileUpNorNameAnotherDome)
{
    ThreadedDome d("device 1 type 4008 rev 0110\n", "7");
    ThreadedBus &bus = d.bus;
    DomeControlForm &f = d.f();
    const std::size_t before = callsOf(bus, "MiscDevCtrl").size();
    for (int i = 0; i < 30; ++i)
        QTest::mouseClick(f.Command22, Qt::LeftButton);
    QElapsedTimer reconnect;
    reconnect.start();
    QTest::mouseDClick(f.Label1, Qt::LeftButton);
    EXPECT_LT(reconnect.elapsed(), 400) << "the reconnect waits only for the call in hand";
    QTest::qWait(600);
    EXPECT_LE(callsOf(bus, "MiscDevCtrl").size() - before, 2u);

    // Sent to 7; dome 6 chosen while it is out: the failure names 7.
    QTest::qWait(300);
    f.Command22->click(); // handled at once, as by a path that does not wait
    for (QPushButton *key : {f.Command15[11], f.Command15[5], f.Command15[9]})
        key->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.Text2->text() == DomeTexts::error(7, 7); }, 2000))
        << f.Text2->text().toStdString();

    // Closing drops the Flips still waiting, as the reconnect does.
    QTest::mouseClick(f.Command15[11], Qt::LeftButton);
    QTest::mouseClick(f.Command15[6], Qt::LeftButton);
    QTest::mouseClick(f.Command15[9], Qt::LeftButton);
    QTest::qWait(300);
    const std::size_t beforeClose = callsOf(bus, "MiscDevCtrl").size();
    for (int i = 0; i < 30; ++i)
        QTest::mouseClick(f.Command22, Qt::LeftButton);
    QElapsedTimer closing;
    closing.start();
    d.window->close();
    EXPECT_LT(closing.elapsed(), 400);
    QTest::qWait(600);
    EXPECT_LE(callsOf(bus, "MiscDevCtrl").size() - beforeClose, 1u);
}

// A slow dome above address 16: the ping keeps its 500 ms pace as far as its 600 ms
// wait allows, and a probe of a stopped run is not counted in the next.
TEST(DomeOnTheDriverThread, PingsKeepTheirPaceAndRunsTheirOwnCounts)
{
    ThreadedDome d("device 20 type 4008 rev 0110 silent\n", "20");
    ThreadedBus &bus = d.bus;
    DomeControlForm &f = d.f();
    f.Command46->click();
    QTest::qWait(4000); // the fifth ping goes at 2900 ms, or at 4500 on a 1000 ms pace
    const std::size_t pings = callsOf(bus, "DevPing").size();
    EXPECT_GE(pings, 5u) << "one every 600 ms, not every 1000";
    f.Command46->click();
    QTest::qWait(700);
    // Stopped and started again while a probe waits: the new run counts from its own.
    f.Command46->click();
    QTest::qWait(600); // the first probe went out at 500 ms and waits for 600
    f.Command46->click();
    f.Command46->click();
    QElapsedTimer restarted;
    restarted.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.Text2->text() == DomeTexts::pingLine(1, 0); }, 3000))
        << f.Text2->text().toStdString();
    // The stopped run's probe is back after 500 ms; the new run's own first count comes
    // only after its own probe's 600 ms wait on top.
    EXPECT_GE(restarted.elapsed(), 900) << "the first count is the new run's own probe";
}
