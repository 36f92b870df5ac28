#include "DomeFixture.h"
#include "QtPrinters.h"
#include "core/FormTimer.h"
#include "windows/shared/Twips.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

#include <functional>
#include <map>

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
    d.type("3S");
    EXPECT_EQ(d.status(), "Camera  3");
    d.bus.advance(999);
    EXPECT_TRUE(d.calls("SndQwilData").empty());
    d.bus.advance(1);
    EXPECT_EQ(d.f().Text8->text(), "03F000020194");
}

TEST(DomeControl, KeypadEntryTheStatusLineAndRaisingTheHighestAddress)
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
    d.type("C");
    EXPECT_EQ(d.status(), "");
    d.bus.advance(3000);
    EXPECT_EQ(d.status(), "Camera  1");

    // Which cameras need the module's highest address raised is the keypad rule's.
    d.mark();
    d.type("20S");
    d.type("12S");
    EXPECT_EQ(d.calls("ConfigQwil"), (Calls{{1000, 1, 20}})) << "12 lies below the highest address, 20";

    // A message shown a second after another keeps the status for three more seconds.
    d.bus.advance(1000);
    d.type("3S");
    d.bus.advance(2999);
    EXPECT_EQ(d.status(), "Camera  3");
    d.type("4");
    d.bus.advance(5000);
    EXPECT_EQ(d.status(), "4") << "a number being typed is not timed";
}

namespace {

// Every call since the mark but the receive poll's, its arguments in hexadecimal.
std::vector<std::string> sentSince(DomeWindow &d)
{
    std::vector<std::string> sent;
    const auto &entries = d.bus.emulator.trace().entries();
    for (std::size_t i = d.marked; i < entries.size(); ++i) {
        if (entries[i].kind != emu::TraceEntry::Kind::Call || entries[i].name == "GetData")
            continue;
        std::string call = entries[i].name;
        for (const long long a : entries[i].arguments)
            call += u" %1"_s.arg(a, 2, 16, QLatin1Char('0')).toUpper().toStdString();
        sent.push_back(call);
    }
    return sent;
}

} // namespace

// Each key's calls and what the status line then says; rows go on from the state the
// rows before them left. A failing row has its operation answer with the given result.
TEST(DomeControl, EachKeySendsItsCommandsAndSaysWhatItDid)
{
    DomeWindow d(scenarioFrom("device 1 type 4008 rev 0110 flash 0123456789AB zoom 20\n"));
    DomeControlForm &f = d.f();
    enum Action { Click, Hold, Press, Release };
    struct Key {
        QWidget *widget;
        Action action = Click;
        Qt::MouseButton button = Qt::LeftButton;
    };
    // Held keys are pressed and let go; zoom out with the right button, as any button holds.
    const std::map<char, Key> keys{
        {'i', {f.Command8, Hold}},  {'o', {f.Command4, Hold, Qt::RightButton}},
        {'r', {f.Command52, Hold}}, {'n', {f.Command12, Hold}},
        {'[', {f.Command2, Press}}, {']', {f.Command2, Release}},
        {'L', {f.Command14}},       {'A', {f.Command54}},
        {'U', {f.Option10}},        {'M', {f.Command10}},
        {'>', {f.RightArrow}},      {'^', {f.UpArrow}},
        {'T', {f.Command16}},       {'V', {f.Command35}},
        {'P', {f.Command36}},       {'R', {f.Command47}},
        {'E', {f.Command56}},       {'Q', {f.Command11}},
        {'x', {f.Check1}},          {'y', {f.Check2}},
        {'z', {f.Check3}},          {'F', {f.Command22}},
        {'f', {f.Command1}},        {'d', {f.Command3}},
        {'Z', {f.Command57}},       {'p', {f.Command44}},
        {'g', {f.Command45}},       {'w', {f.Command5}},
        {'c', {f.Command6}},        {'b', {f.Command58}},
        {'m', {f.Command9}},        {'D', {f.Command7}},
    };
    const auto checked = [](QAbstractButton *b) { return [b] { return b->isChecked(); }; };
    const auto menuKeys = [&f](bool open) { // the arrows and "Toggle" in the keypad's place
        return [&f, open] {
            return f.Command15[0]->isHidden() == open && f.Command16->isHidden() != open &&
                   f.UpArrow->isHidden() != open;
        };
    };
    const auto handed = [&d] { // the 20 bytes from byte 6 on
        const auto &held = d.window->state().PositionBuffer;
        return d.bus.emulator.positionHanded() == emu::Bytes(held.begin() + 6, held.end());
    };
    const auto busAt250 = [&d] { return d.bus.emulator.busSettings().value == 250; };
    const auto blockSet = [&d] { return d.bus.emulator.device(1)->configBlock(5, 2) == emu::Bytes{0xAB, 0xCD}; };
    struct Fault {
        const char *operation = nullptr;
        std::int32_t result = 0;
    };
    struct Row {
        const char *keys; // digits, S and C on the keypad; letters as above
        std::vector<std::string> sent;
        const char *status = nullptr; // nullptr: left as it was
        std::function<bool()> holds = {};
        Fault fault = {};
        const char *raw = nullptr; // typed into the raw-data box first
    };
    // clang-format off
    const Row rows[] = {
        {"g", {}, "No Abs Position Data"},
        {"p", {"GetABSPosition 01 01"}, "No Response from Device  1", {}, {"GetABSPosition", 5}},
        {"p", {"GetABSPosition 01 01"}, "ABS Pos = 00 00 00 00 00 64 08 00 80 03 "},
        {"g", {"GotoABSPosition 01 01"}, "Goto Abs Pos", handed},
        {"i", {"DevZoom 8A 01", "DevZoom 8C 01"}},
        {"o", {"DevZoom 8B 01", "DevZoom 8C 01"}},
        {"r", {"DevIris 90 01", "DevIris 92 01"}, nullptr, checked(f.Option13)},
        // The focus option turns to Man without the panel's own message; chosen by hand, it sends it.
        {"n", {"DevFocus 87 01", "DevFocus 89 01"}, nullptr, checked(f.Option12)},
        {"U", {"SndQwilData 08"}, nullptr, [&f] { return f.Text8->text() == "01F0000101FAC141"; }},
        {"L", {"DevFocus 88 01"}},
        {"nA", {"DevFocus 87 01", "DevFocus 89 01", "MiscDevCtrl 0A 00 01"}, nullptr, checked(f.Option10)},
        {"M", {"MiscDevCtrl 08 00 01"}, "Display Dome Menu", menuKeys(true)},
        {">T", {"DevPan 82 00 01 00", "DevPan 83 00 01 00", "DevZoom 8A 01", "DevZoom 8C 01"}},
        {"M", {"MiscDevCtrl 09 00 01"}, "Exit Dome Menu", menuKeys(false)},
        {"97V", {}, "Invalid Target Number!"},
        {"96V", {"DevTarget A9 5F 01"}, "Goto Target # 96"},
        {"S0V", {}, "Invalid Target Number!"},
        {"5V", {"DevTarget A9 04 01"}, "Goto Target # 5"}, // the refused Set is gone
        {"S5V", {"DevTarget A8 04 01"}, "Set Target # 5"},
        {"7EE", {"DevPattern 05 07 01 00", "DevPattern 05 00 01 00"}, "Run Peel Pattern"},
        {"P", {"DevPattern 02 00 01 00"}, "Review Pattern"},
        {"SP", {"DevPattern 03 00 01 00"}, "Accept Pattern"},
        {"S2P", {"DevPattern 00 01 01 00"}, "Define Pattern # 2"},
        // While a pattern is recorded, taps carry record = 1.
        {"M^M", {"MiscDevCtrl 08 00 01", "DevTilt 84 00 01 01", "DevTilt 86 00 01 01", "MiscDevCtrl 09 00 01"},
         "Exit Dome Menu"},
        {"P", {"DevPattern 01 00 01 00"}, "End Pattern"},
        {"R1P", {"DevPattern 04 00 01 01"}, "Repeat Pattern # 1"},
        {"R4P", {}, "Invalid Pattern Number!"},
        {"1P", {"DevPattern 04 00 01 00"}, "Run Pattern # 1"}, // the Repeat before 4 is gone
        {"57Q", {"MiscDevCtrl 0B 00 01 39"}, "Run Sequence # 7"},
        {"67Q", {"MiscDevCtrl 0B 00 01 43"}, "Invalid QuickSet Number"},
        {"Q", {"MiscDevCtrl 0B 00 01 00"}, "Toggle DirectSet Menu"},
        {"1Q", {"MiscDevCtrl 0B 00 01 01"}, "Display Dome Menu", menuKeys(false)}, // the keypad stays
        {"1Q", {"MiscDevCtrl 0B 00 01 01"}, "Exit Dome Menu"},
        {"z", {"MiscDevCtrl AA 04 01"}, "Set Output #3 ON"},
        {"xz", {"MiscDevCtrl AA 05 01", "MiscDevCtrl AA 01 01"}, "Set Output #3 OFF"},
        {"y", {"MiscDevCtrl AA 03 01"}, "ERROR - Invalid Command", checked(f.Check2), {"MiscDevCtrl", 2}},
        {"F", {"MiscDevCtrl 01 00 01"}, "Flip"},
        {"f", {"GetConfigData 06 06 01 FA"}, "Flash Rev. = 0123-4567-89AB"},
        {"f", {"GetConfigData 06 06 01 FA"}, "No Response from Device  1", {}, {"GetConfigData", 3}},
        {"d", {"GetDeviceStatus 01 01"}, "Dev # 1: Type = 4008  Rev = 0110  Online = 01  "},
        {"Z", {"MiscDevCtrl F2 00 01"}, "Max Optical Zoom, Dome # 1=  20"},
        // A success without the query's answer is no success.
        {"Z", {"MiscDevCtrl F2 00 01"}, "No Zoom Data from Device", {}, {"MiscDevCtrl", 0}},
        {"Z", {"MiscDevCtrl F2 00 01"}, "No Response from Device  1", {}, {"MiscDevCtrl", 3}},
        {"[", {"MiscDevCtrl 02 00 01"}, "Vphase Increment"},
        {"]", {"MiscDevCtrl 04 00 01"}, "Vphase Stop"},
        // The press and the release answer a failure alike: each wording once.
        {"[", {"MiscDevCtrl 02 00 01"}, "ERROR - Invalid Command", {}, {"MiscDevCtrl", 2}},
        {"]", {"MiscDevCtrl 04 00 01"}, "No Response from Device  1", {}, {"MiscDevCtrl", 7}},
        // Bench traffic typed into the raw-data box; nothing is shown when it goes out. Which
        // entries are refused is the raw entry's rule; here each refusal's words.
        {"w", {"SndQwilData 06"}, nullptr, {}, {}, "0AF000020194"},
        {"w", {}, "Invalid Quillbus Data", {}, {}, "0AF00002019"},
        {"c", {"ConfigQwil FA 01 10"}, nullptr, busAt250, {}, "00FA-01-10"},
        {"c", {}, "Invalid Quillbus config data", {}, {}, "00F9-01-10"},
        {"b", {"SetConfigData 02 05 01"}, nullptr, blockSet, {}, "05 02 abcd"},
        {"b", {}, "Invalid config Buffer Data Format", {}, {}, "05 02 ABC"},
        {"mD", {"SndQwilData 36"}},                                      // "Send Module Data" sends nothing
        {"2SZ", {"MiscDevCtrl F2 00 02"}, "No Response from Device  2"}, // no dome at 2
    };
    // clang-format on
    for (const Row &row : rows) {
        SCOPED_TRACE(row.keys);
        if (row.fault.operation)
            d.bus.emulator.setOperationResult(row.fault.operation, row.fault.result);
        if (row.raw)
            f.Text7->setText(QString::fromLatin1(row.raw));
        d.mark();
        const QString before = d.status();
        for (const char c : std::string(row.keys)) {
            const auto key = keys.find(c);
            if (key == keys.end())
                d.type(std::string(1, c));
            else if (key->second.action == Click)
                d.click(key->second.widget);
            if (key != keys.end() && (key->second.action == Hold || key->second.action == Press))
                QTest::mousePress(key->second.widget, key->second.button);
            if (key != keys.end() && (key->second.action == Hold || key->second.action == Release))
                QTest::mouseRelease(key->second.widget, key->second.button);
        }
        EXPECT_EQ(sentSince(d), row.sent);
        EXPECT_EQ(d.status(), row.status ? QString::fromLatin1(row.status) : before);
        EXPECT_TRUE(!row.holds || row.holds());
        if (row.fault.operation)
            d.bus.emulator.clearOperationResult(row.fault.operation);
    }
}

// Reset needs a second click within half a second.
TEST(DomeControl, ResetNeedsASecondClickWithinHalfASecond)
{
    DomeWindow d;
    d.click(d.f().Command23);
    d.bus.advance(600);
    d.click(d.f().Command23);
    EXPECT_TRUE(d.calls("MiscDevCtrl").empty());
    d.bus.advance(300);
    d.click(d.f().Command23);
    EXPECT_EQ(d.calls("MiscDevCtrl"), (Calls{{0, 0, 1}}));
    EXPECT_EQ(d.status(), "Reset Dome # 1");
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
