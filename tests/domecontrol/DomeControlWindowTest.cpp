#include "DomeFixture.h"
#include "FormTimer.h"
#include "QtPrinters.h"
#include "Twips.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

using Calls = DomeWindow::Calls;

TEST(DomeControl, OpensCompactOnDomeOneAndGreetsIt)
{
    DomeWindow d;
    EXPECT_EQ(d.window->objectName(), "DomeControl");
    EXPECT_EQ(d.window->windowTitle(), "Dome Control - Ver 2.00");
    EXPECT_EQ(d.status(), "Orvo USB Module Rev 1.02 APP");
    EXPECT_EQ(d.calls("ConfigQwil"), (Calls{{200, 1, 16}}));
    EXPECT_EQ(d.window->widthTwips(), 4400);
    EXPECT_EQ(d.window->heightTwips(), 6050);
    EXPECT_TRUE(d.f().Command16->isHidden());
    EXPECT_TRUE(d.f().UpArrow->isHidden());
    for (QRadioButton *chosen :
         {d.f().Option8, d.f().Option1, d.f().Option6, d.f().Option4, d.f().Option10, d.f().Option11})
        EXPECT_TRUE(chosen->isChecked()) << chosen->objectName().toStdString();
    EXPECT_EQ(d.f().Shape11->property("indicator"), "green");
    EXPECT_TRUE(d.calls("SndQwilData").empty()) << "nothing is sent at load";

    // One second later the dome is greeted; three seconds after the status, the camera.
    d.bus.advance(1000);
    EXPECT_EQ(d.calls("SndQwilData"), (Calls{{6}}));
    EXPECT_EQ(d.bus.emulator.trace().busMessages().back(), (emu::Bytes{1, 0xF0, 0x00, 0x02, 0x01, 0x94}));
    EXPECT_EQ(d.f().Text8->text(), "01F000020194");
    d.bus.advance(2000);
    EXPECT_EQ(d.status(), "Camera  1");

    // Choosing a dome greets it too.
    d.mark();
    d.camera("3");
    EXPECT_EQ(d.status(), "Camera  3");
    d.bus.advance(999);
    EXPECT_TRUE(d.calls("SndQwilData").empty());
    d.bus.advance(1);
    EXPECT_EQ(d.f().Text8->text(), "03F000020194");
}

TEST(DomeControl, KeypadEntryStatusLineAndTheModulesHighestAddress)
{
    DomeWindow d;
    d.type("25");
    EXPECT_EQ(d.status(), "25");
    EXPECT_TRUE(d.f().Text2->alignment() & Qt::AlignRight);
    d.type("6");
    EXPECT_EQ(d.status(), "Invalid Number!");
    EXPECT_TRUE(d.f().Text2->alignment() & Qt::AlignHCenter);
    d.type("7");
    EXPECT_EQ(d.status(), "7");
    d.clear();
    EXPECT_EQ(d.status(), "");
    d.bus.advance(3000);
    EXPECT_EQ(d.status(), "Camera  1");

    d.mark();
    d.camera("231");
    EXPECT_EQ(d.status(), "Invalid Camera Number");
    EXPECT_EQ(d.window->state().DomeAddress, 1);
    d.camera("20");
    d.camera("12");
    EXPECT_EQ(d.calls("ConfigQwil"), (Calls{{1000, 1, 20}})) << "12 lies below the highest address, 20";
    d.camera("230");
    EXPECT_EQ(d.calls("ConfigQwil").back(), (std::vector<long long>{1000, 1, 230}));

    // A message shown a second after another keeps the status for three more seconds.
    d.bus.advance(1000);
    d.camera("3");
    d.bus.advance(2999);
    EXPECT_EQ(d.status(), "Camera  3");
    d.type("4");
    d.bus.advance(5000);
    EXPECT_EQ(d.status(), "4") << "a number being typed is not timed";
}

TEST(DomeControl, HoldKeysSendStartOnPressAndStopOnRelease)
{
    DomeWindow d;
    d.mark();
    QTest::mousePress(d.f().Command8, Qt::LeftButton);
    d.bus.advance(2000);
    QTest::mouseRelease(d.f().Command8, Qt::LeftButton);
    EXPECT_EQ(d.calls("DevZoom"), (Calls{{0x8A, 1}, {0x8C, 1}}));
    EXPECT_GT(d.dome().position.zoom, 9.0) << "the dome zoomed while the key was held";

    QTest::mousePress(d.f().Command4, Qt::RightButton); // any button presses
    QTest::mouseRelease(d.f().Command4, Qt::RightButton);
    QTest::mousePress(d.f().Command52, Qt::LeftButton);
    QTest::mouseRelease(d.f().Command52, Qt::LeftButton);
    EXPECT_EQ(d.calls("DevZoom").size(), 4u);
    EXPECT_EQ(d.calls("DevIris"), (Calls{{0x90, 1}, {0x92, 1}}));
    EXPECT_TRUE(d.f().Option13->isChecked()) << "iris on Man";

    // NEAR turns the focus option to Man without the panel's own message.
    d.mark();
    QTest::mousePress(d.f().Command12, Qt::LeftButton);
    QTest::mouseRelease(d.f().Command12, Qt::LeftButton);
    EXPECT_EQ(d.calls("DevFocus"), (Calls{{0x87, 1}, {0x89, 1}}));
    EXPECT_TRUE(d.f().Option12->isChecked());
    EXPECT_TRUE(d.calls("SndQwilData").empty());
    // Chosen by hand, the option sends it: long form, focus and iris state, degrees.
    d.click(d.f().Option10);
    EXPECT_EQ(d.calls("SndQwilData"), (Calls{{8}}));
    EXPECT_EQ(d.bus.emulator.trace().busMessages().back(), (emu::Bytes{1, 0xF0, 0x00, 0x01, 0x01, 0xFA, 0xC1, 0x41}));
    EXPECT_EQ(d.f().Text8->text(), "01F0000101FAC141");

    d.mark();
    d.click(d.f().Command14); // Select: focus far, no stop
    EXPECT_EQ(d.calls("DevFocus"), (Calls{{0x88, 1}}));
}

TEST(DomeControl, VphaseWordsItsResults)
{
    struct Case {
        std::int32_t result; // 0: the dome's own answer
        const char *pressed;
    };
    const Case cases[] = {{0, "Vphase Increment"}, {2, "ERROR - Invalid Command"}, {7, "No Response from Device  1"}};
    for (const Case &c : cases) {
        DomeWindow d;
        if (c.result != 0)
            d.bus.emulator.setOperationResult("MiscDevCtrl", c.result);
        d.mark();
        QTest::mousePress(d.f().Command2, Qt::LeftButton);
        EXPECT_EQ(d.status(), c.pressed);
        QTest::mouseRelease(d.f().Command2, Qt::LeftButton);
        EXPECT_EQ(d.calls("MiscDevCtrl"), (Calls{{2, 0, 1}, {4, 0, 1}}));
        if (c.result == 0) {
            EXPECT_EQ(d.status(), "Vphase Stop");
        }
    }
}

TEST(DomeControl, MenuSwapsTheKeypadForArrowsThatTapWithTheRecordFlag)
{
    DomeWindow d;
    d.mark();
    d.click(d.f().Command10);
    EXPECT_EQ(d.status(), "Display Dome Menu");
    EXPECT_TRUE(d.dome().menuOpen);
    EXPECT_TRUE(d.f().Command15[0]->isHidden());
    EXPECT_FALSE(d.f().Command16->isHidden());
    EXPECT_FALSE(d.f().UpArrow->isHidden());

    d.click(d.f().RightArrow);
    d.click(d.f().Command16);
    EXPECT_EQ(d.calls("DevPan"), (Calls{{0x82, 0, 1, 0}, {0x83, 0, 1, 0}}));
    EXPECT_EQ(d.calls("DevZoom"), (Calls{{0x8A, 1}, {0x8C, 1}}));

    d.click(d.f().Command10);
    EXPECT_EQ(d.status(), "Exit Dome Menu");
    EXPECT_EQ(d.calls("MiscDevCtrl"), (Calls{{8, 0, 1}, {9, 0, 1}}));
    EXPECT_FALSE(d.f().Command15[0]->isHidden());
    EXPECT_TRUE(d.f().Command16->isHidden());
    EXPECT_TRUE(d.f().UpArrow->isHidden());

    // While a pattern is recorded, taps carry record = 1.
    d.camera("");
    d.type("1");
    d.click(d.f().Command36);
    EXPECT_EQ(d.window->state().PatternState, 1);
    d.click(d.f().Command10);
    d.mark();
    d.click(d.f().UpArrow);
    EXPECT_EQ(d.calls("DevTilt"), (Calls{{0x84, 0, 1, 1}, {0x86, 0, 1, 1}}));
}

TEST(DomeControl, TargetKeysCheckTheirNumberAndClearTheEntry)
{
    DomeWindow d;
    d.mark();
    d.type("97");
    d.click(d.f().Command35);
    EXPECT_EQ(d.status(), "Invalid Target Number!");
    EXPECT_TRUE(d.calls("DevTarget").empty());
    d.type("96");
    d.click(d.f().Command35);
    EXPECT_EQ(d.status(), "Goto Target # 96");
    d.set();
    d.type("0");
    d.click(d.f().Command35);
    EXPECT_EQ(d.status(), "Invalid Target Number!");
    EXPECT_FALSE(d.window->state().SetLatch);
    d.set();
    d.type("5");
    d.click(d.f().Command35);
    EXPECT_EQ(d.status(), "Set Target # 5");
    EXPECT_EQ(d.calls("DevTarget"), (Calls{{0xA9, 95, 1}, {0xA8, 4, 1}}));
    EXPECT_EQ(d.window->state().EntryNumber, 0);

    d.type("7");
    d.click(d.f().Command56);
    d.click(d.f().Command56);
    EXPECT_EQ(d.status(), "Run Peel Pattern");
    EXPECT_EQ(d.calls("DevPattern"), (Calls{{5, 7, 1, 0}, {5, 0, 1, 0}}));
}

TEST(DomeControl, PatternKeySequences)
{
    struct Step {
        const char *keys; // digits, S = Set, R = Repeat, P = Pattern
        std::vector<long long> call;
        const char *status;
    };
    const Step steps[] = {
        {"P", {2, 0, 1, 0}, "Review Pattern"},
        {"SP", {3, 0, 1, 0}, "Accept Pattern"},
        {"S2P", {0, 1, 1, 0}, "Define Pattern # 2"},
        {"P", {1, 0, 1, 0}, "End Pattern"},
        {"R1P", {4, 0, 1, 1}, "Repeat Pattern # 1"},
        {"1P", {4, 0, 1, 0}, "Run Pattern # 1"},
        {"R4P", {}, "Invalid Pattern Number!"},
        {"1P", {4, 0, 1, 0}, "Run Pattern # 1"}, // the Repeat before 4 is gone
    };
    DomeWindow d;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.keys);
        d.mark();
        for (const char *k = step.keys; *k; ++k) {
            if (*k == 'S')
                d.set();
            else if (*k == 'R')
                d.click(d.f().Command47);
            else if (*k == 'P')
                d.click(d.f().Command36);
            else
                d.type(std::string(1, *k));
        }
        EXPECT_EQ(d.calls("DevPattern"), step.call.empty() ? Calls{} : Calls{step.call});
        EXPECT_EQ(d.status(), step.status);
    }
}

TEST(DomeControl, OutputsFlipResetAndAuto)
{
    DomeWindow d;
    d.mark();
    d.click(d.f().Check3);
    EXPECT_EQ(d.status(), "Set Output #3 ON");
    d.click(d.f().Check1);
    d.click(d.f().Check3);
    EXPECT_EQ(d.status(), "Set Output #3 OFF");
    EXPECT_EQ(d.calls("MiscDevCtrl"), (Calls{{0xAA, 0x04, 1}, {0xAA, 0x05, 1}, {0xAA, 0x01, 1}}));
    EXPECT_EQ(d.dome().outputs, 0x01);

    // A failed output keeps the box's new state.
    d.bus.emulator.setOperationResult("MiscDevCtrl", 2);
    d.click(d.f().Check2);
    EXPECT_TRUE(d.f().Check2->isChecked());
    EXPECT_EQ(d.status(), "ERROR - Invalid Command");
    d.bus.emulator.clearOperationResult("MiscDevCtrl");

    d.click(d.f().Command22);
    EXPECT_EQ(d.status(), "Flip");
    EXPECT_TRUE(d.dome().flipped);

    // Reset needs two clicks within half a second.
    d.mark();
    d.click(d.f().Command23);
    d.bus.advance(600);
    d.click(d.f().Command23);
    EXPECT_TRUE(d.calls("MiscDevCtrl").empty());
    d.bus.advance(300);
    d.click(d.f().Command23);
    EXPECT_EQ(d.calls("MiscDevCtrl"), (Calls{{0, 0, 1}}));
    EXPECT_EQ(d.status(), "Reset Dome # 1");
    EXPECT_EQ(d.dome().resets, 1);

    // Auto puts both options on Auto without their messages.
    QTest::mousePress(d.f().Command12, Qt::LeftButton);
    QTest::mouseRelease(d.f().Command12, Qt::LeftButton);
    d.mark();
    d.click(d.f().Command54);
    EXPECT_TRUE(d.f().Option10->isChecked());
    EXPECT_EQ(d.calls("MiscDevCtrl"), (Calls{{10, 0, 1}}));
    EXPECT_TRUE(d.calls("SndQwilData").empty());
    EXPECT_TRUE(d.dome().autoFocus);
}

TEST(DomeControl, DirectSetSendsTheTypedQuickNumber)
{
    struct Case {
        const char *typed;
        long long sent;
        const char *status;
    };
    const Case cases[] = {
        {"57", 57, "Run Sequence # 7"},   {"67", 67, "Invalid QuickSet Number"},
        {"", 0, "Toggle DirectSet Menu"}, {"1", 1, "Display Dome Menu"},
        {"1", 1, "Exit Dome Menu"},
    };
    DomeWindow d;
    for (const Case &c : cases) {
        d.mark();
        d.type(c.typed);
        d.click(d.f().Command11);
        EXPECT_EQ(d.calls("MiscDevCtrl"), (Calls{{11, 0, 1, c.sent}})) << c.typed;
        EXPECT_EQ(d.status(), c.status);
        EXPECT_EQ(d.window->state().EntryNumber, 0);
    }
    EXPECT_EQ(d.dome().sequence, 7);
    EXPECT_FALSE(d.f().Command15[0]->isHidden()) << "DirectSet 1 leaves the keypad in place";
}

TEST(DomeControl, MaxOpticalZoomShowsTheDomesAnswerOrAFailure)
{
    DomeWindow d(scenarioFrom("device 1 type 2315 zoom 20\n"));
    d.click(d.f().Command57);
    EXPECT_EQ(d.status(), "Max Optical Zoom, Dome # 1=  20");

    // A success without the query's answer is no success.
    d.bus.emulator.setOperationResult("MiscDevCtrl", 0);
    d.click(d.f().Command57);
    EXPECT_EQ(d.status(), "No Zoom Data from Device");
    d.bus.emulator.setOperationResult("MiscDevCtrl", 3);
    d.click(d.f().Command57);
    EXPECT_EQ(d.status(), "No Response from Device  1");
    d.bus.emulator.clearOperationResult("MiscDevCtrl");
    d.camera("2");
    d.click(d.f().Command57);
    EXPECT_EQ(d.status(), "No Response from Device  2") << "no dome at 2";
}

TEST(DomeControl, TargetsAndPatternsDriveTheEmulatedDome)
{
    DomeWindow d;
    const auto tap = [&d](QToolButton *arrow, int times) {
        for (int i = 0; i < times; ++i)
            d.click(arrow);
    };
    // Record: Set, 1, Pattern; three taps right, one down; Pattern ends it.
    d.set();
    d.type("1");
    d.click(d.f().Command36);
    d.click(d.f().Command10);
    tap(d.f().RightArrow, 3);
    d.bus.advance(200);
    tap(d.f().DownArrow, 1);
    d.click(d.f().Command10);
    d.click(d.f().Command36);
    EXPECT_EQ(d.status(), "End Pattern");
    const emu::DomePosition recorded = d.dome().position;
    EXPECT_NEAR(recorded.pan, 1.5, 0.01);
    EXPECT_NEAR(recorded.tilt, 0.5, 0.01);

    // Store it as target 5, move away, and come back.
    d.set();
    d.type("5");
    d.click(d.f().Command35);
    QTest::mousePress(d.f().Command8, Qt::LeftButton);
    d.bus.advance(500);
    QTest::mouseRelease(d.f().Command8, Qt::LeftButton);
    d.click(d.f().Command10);
    tap(d.f().LeftArrow, 2);
    d.click(d.f().Command10);
    EXPECT_NE(d.dome().position, recorded);
    d.type("5");
    d.click(d.f().Command35);
    EXPECT_EQ(d.status(), "Goto Target # 5");
    EXPECT_EQ(d.dome().position, recorded);

    // Home by a reset, then the pattern replays the same steps.
    d.click(d.f().Command23);
    d.click(d.f().Command23);
    EXPECT_EQ(d.dome().position, emu::DomePosition{});
    d.type("1");
    d.click(d.f().Command36);
    EXPECT_EQ(d.status(), "Run Pattern # 1");
    EXPECT_NEAR(d.dome().position.pan, 1.5, 0.01) << "the taps right at once";
    EXPECT_NEAR(d.dome().position.tilt, 0, 0.01) << "the tap down 200 ms later";
    d.bus.advance(1000);
    EXPECT_EQ(d.dome().position, recorded);
}

TEST(DomeControl, GrowsReconnectsAndReleasesTheModule)
{
    DomeWindow d;
    QTest::mouseDClick(d.f().Label29, Qt::LeftButton);
    EXPECT_EQ(d.window->widthTwips(), 5200);
    EXPECT_EQ(d.window->heightTwips(), 9500);
    QTest::mouseDClick(d.f().Label29, Qt::LeftButton);
    EXPECT_EQ(d.window->heightTwips(), 10400);
    QTest::mouseDClick(d.f().Label29, Qt::LeftButton);
    EXPECT_EQ(d.window->heightTwips(), 9500);
    const int dpi = d.window->logicalDpiY();
    EXPECT_EQ(d.window->width(), Twips::toPixels(5200, dpi));

    d.type("12");
    d.mark();
    QTest::mouseDClick(d.f().Label1, Qt::LeftButton);
    EXPECT_EQ(d.calls("CloseUSBDriver").size(), 1u);
    EXPECT_EQ(d.calls("OpenUSBDriver").size(), 1u);
    EXPECT_EQ(d.status(), "Orvo USB Module Rev 1.02 APP");
    EXPECT_EQ(d.window->state().EntryNumber, 0);

    d.mark();
    d.window->close();
    EXPECT_EQ(d.calls("CloseUSBDriver").size(), 1u);
    EXPECT_FALSE(d.bus.emulator.isOpen());
}

TEST(DomeControl, WithoutAModuleTheConnectionWordIsWorded)
{
    DomeWindow d(scenarioFrom("module unplugged\n"));
    EXPECT_EQ(d.status(), "ERROR - No USB Device Found");
}
