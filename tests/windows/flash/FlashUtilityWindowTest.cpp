#include "windows/flash/FlashUtilityWindow.h"
#include "EmulatedBus.h"
#include "FlashLoaderFixture.h"
#include "WorkingFolder.h"
#include "core/Beep.h"
#include "core/FormTimer.h"
#include "windows/shared/FileListBox.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <optional>
#include <vector>

TEST(FlashUtility, OpensInUsbModeWithEveryNamedControl)
{
    FlashLoader loader;
    FlashUtilityForm &f = loader.f();
    EXPECT_EQ(loader.window->windowTitle(), "Flash Loader - Rev 2.01");
    EXPECT_TRUE(loader.controls("Check3 ticked, Check3 hidden"));
    EXPECT_EQ(f.Command1->text() + f.Option1->text() + f.Option2->text() + f.Frame1->title(),
              "Load Qwil DeviceQwilModuleUpload");
    EXPECT_EQ(f.Text10->text(), "16");
    EXPECT_TRUE(loader.says("Select Load File", FlashLoader::Information));
    EXPECT_EQ(f.MSComm1->baudRate(), 9600);
    EXPECT_EQ(f.MSComm1->stopBits(), QSerialPort::TwoStop);
    EXPECT_TRUE(QFile::exists(loader.folder.path(u"Debuginfo.txt"_s)));
    EXPECT_TRUE(loader.folder.read(u"Debuginfo.txt"_s).isEmpty());
}

TEST(FlashUtility, StartUpReconnectsTheModuleAndPrompts)
{
    FlashLoader loader;
    loader.bus.advance(100);
    EXPECT_EQ(loader.bus.callCount("CloseUSBDriver"), 1u);
    EXPECT_FALSE(loader.window->moduleConnected());
    loader.bus.advance(1000);
    EXPECT_TRUE(loader.window->moduleConnected());
    EXPECT_TRUE(loader.says("Orvo USB Module Rev 1.02- Online(App)", FlashLoader::Information));
    EXPECT_TRUE(loader.f().Text8->toPlainText().contains(u"Enumeration status = 80"_s));
    EXPECT_TRUE(loader.controls("Command10 disabled"));
    loader.bus.advance(3000);
    EXPECT_EQ(loader.status(), "Enter max Qwil address and press scan");
}

// Typed in the box or on the keypad.
TEST(FlashUtility, MaximumAddressIsCheckedWhileTypingAndAgainAtTheClick)
{
    FlashLoader loader;
    loader.startUp();
    loader.scan(u"3"_s);
    int beeps = Beep::count();
    loader.f().Text10->setText(u"97"_s);
    EXPECT_EQ(loader.status(), "Click Scan Network");
    EXPECT_EQ(Beep::count(), beeps);
    loader.click(loader.f().Command9);
    EXPECT_TRUE(loader.says("Error - Maximum Scan Address is 96", FlashLoader::Error));
    EXPECT_EQ(loader.rows().size(), 3);
    EXPECT_EQ(loader.f().Command9->text(), "Scan Network");
    EXPECT_TRUE(loader.controls("Command1 enabled"));
    beeps = Beep::count();
    loader.f().Text10->setText(u"256"_s);
    EXPECT_EQ(loader.status(), "Max Address = 1-255");
    EXPECT_EQ(Beep::count(), beeps + 1);

    FlashLoader keyed(emu::Scenario::defaultBus(), engineering());
    const auto press = [&](std::initializer_list<int> keys) {
        for (const int key : keys)
            keyed.click(keyed.f().Command15[key]);
    };
    press({1, 4, 5}); // 2, 5, 6
    EXPECT_EQ(keyed.f().Text9->text(), "256");
    press({9});
    EXPECT_TRUE(keyed.says("Invalid Quillbus Address", FlashLoader::Error));
    EXPECT_EQ(keyed.f().Text10->text() + keyed.f().Text9->text(), "16");
    press({1, 4, 4, 9}); // 2, 5, 5, Enter
    EXPECT_EQ(keyed.f().Text10->text(), "255");
    EXPECT_EQ(keyed.status(), "Click Load Qwil Device to Start");
}

// Unplugged, or answering in error, the module is asked for again.
TEST(FlashUtility, ScanWithoutAConnectedModuleOffersConnectUsb)
{
    FlashLoader loader;
    loader.startUp();
    loader.bus.emulator.unplug();
    loader.click(loader.f().Command9);
    const char *reconnect = "USB Error - Reconnect USB Module and Click Connect USB";
    EXPECT_TRUE(loader.says(reconnect, FlashLoader::Error));
    EXPECT_TRUE(loader.controls("Command10 shown, Command10 enabled"));
    EXPECT_FALSE(loader.window->moduleConnected());
    loader.click(loader.f().Command10);
    EXPECT_EQ(loader.status(), reconnect);
    loader.bus.emulator.plug();
    loader.click(loader.f().Command10);
    EXPECT_EQ(loader.status(), "Orvo USB Module Rev 1.02- Online(App)");
    EXPECT_TRUE(loader.window->moduleConnected());

    FlashLoader erring(scenarioFrom("module mode error 13\ndevice 1 type 2315\n"));
    erring.startUp();
    EXPECT_EQ(erring.status(), reconnect);
    erring.click(erring.f().Command9);
    EXPECT_TRUE(erring.says("No USB Module - Connect Module and Click Connect ", FlashLoader::Error));
    EXPECT_TRUE(erring.controls("Command10 shown"));
    EXPECT_EQ(erring.rows().size(), 0);
}

TEST(FlashUtility, LoadButtonRefusesUntilThereIsSomethingToLoad)
{
    FlashLoader loader;
    FlashUtilityForm &f = loader.f();
    loader.bus.advance(100); // device mode entered, not yet reconnected
    loader.click(f.Command1);
    EXPECT_TRUE(loader.says("Click Connect USB and Scan Before Starting Load", FlashLoader::Error));
    EXPECT_TRUE(loader.controls("Command10 shown"));
    loader.bus.advance(1000);
    loader.scan(u"6"_s);
    loader.click(f.Command1);
    EXPECT_EQ(loader.status(), "No Devices Selected");
    loader.select({5}); // 0147 revision 0101
    const int beeps = Beep::count();
    loader.click(f.Command1);
    EXPECT_TRUE(loader.says("This dome rev does not support download, change chip!", FlashLoader::Information));
    EXPECT_EQ(Beep::count(), beeps + 2) << "the refusal's beep and the load button's";
    EXPECT_TRUE(loader.controls("Command1 enabled"));
    f.List1->item(4)->setSelected(false);
    loader.select({3}); // type 4008, but no firmware file here
    loader.click(f.Command1);
    EXPECT_EQ(loader.status(), "Select load file from list");
}

TEST(FlashUtility, ModuleModeAsksForAFileFirst)
{
    FlashLoader loader;
    FlashUtilityForm &f = loader.f();
    loader.folder.write(u"FMOD-0102.hex"_s, "S00600004844521B\r\nS1131000000102030405060708090A0B0C0D0E0F64\r\n");
    loader.startUp();
    loader.click(f.Option2);
    loader.click(f.Command1);
    EXPECT_EQ(loader.status(), " Select File to Load!");
    ASSERT_TRUE(loader.clickFile(u"FMOD-0102.hex"_s));
    EXPECT_EQ(loader.status(), "Click Load USB Module to Start");
    emit f.File1->itemDoubleClicked(f.File1->item(0)); // as the load button does
    EXPECT_EQ(loader.status(), "FMOD-0102.hex Loading ");
    loader.click(f.Option1); // while the load runs the mode stays as it is
    EXPECT_EQ(f.Command1->text(), "Load USB Module");
    EXPECT_TRUE(loader.controls("Option2 ticked"));
}

// Closing sets the bus back and releases the module it holds, and nothing when it holds
// none; during a scan it waits for the address in hand.
TEST(FlashUtility, ClosingReleasesTheModuleItHolds)
{
    FlashLoader unconnected;
    const std::size_t calls = unconnected.bus.emulator.trace().entries().size();
    unconnected.window->close();
    EXPECT_EQ(unconnected.bus.emulator.trace().entries().size(), calls);

    FlashLoader loader;
    loader.startUp();
    QSignalSpy closed(loader.window.data(), &FlashUtilityWindow::closeResult);
    loader.window->close();
    EXPECT_EQ(loader.bus.emulator.trace().calls("ConfigQwil").back().arguments, (std::vector<long long>{1000, 1, 16}));
    EXPECT_FALSE(loader.bus.emulator.isOpen());
    EXPECT_EQ(closed.size(), 1);
    EXPECT_EQ(closed.value(0).value(0).toInt(), 0);

    FlashLoader scanning;
    scanning.startUp();
    QObject::connect(scanning.f().List1->model(), &QAbstractItemModel::rowsInserted, scanning.window, [&] {
        if (scanning.f().List1->count() == 2)
            scanning.window->close();
    });
    scanning.scan(u"10"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return scanning.window.isNull(); }));
    EXPECT_FALSE(scanning.bus.emulator.isOpen());
}

// With --engineering they show: ControlsFollowEachJobAtEachMoment. There, Pause without a
// transfer stays unticked.
TEST(FlashUtility, DebugPauseAndTheKeypadShowOnlyForEngineering)
{
    FlashLoader designed;
    designed.startUp();
    EXPECT_TRUE(designed.controls("Check4 hidden, Check2 hidden, Check2 unticked, Text9 hidden, Command15_0 hidden"));
    designed.f().Option2->click();
    EXPECT_TRUE(designed.controls("Check4 hidden, List1 shown, Label1 shown")) << "module mode leaves the list alone";
    FlashLoader engineer(emu::Scenario::defaultBus(), engineering());
    QTest::mouseClick(engineer.f().Check4, Qt::LeftButton);
    EXPECT_FALSE(engineer.f().Check4->isChecked());
}

// Every control the load steps enable, disable, show, hide or tick, at each moment of the
// jobs that change them, in one walk: a scan, a device load, a device whose file is picked
// by hand and then fails, the module's option and load, Comm Port mode and back.
TEST(FlashUtility, ControlsFollowEachJobAtEachMoment)
{
    FlashLoader l(scenarioFrom("device 1 type 2315 rev 0200 load-fault 68 nak 5\ndevice 3 type 4008 rev 0105\n"),
                  engineering());
    l.copyDemoFirmware();
    l.startUp();
    FlashUtilityForm &f = l.f();
    struct Moment {
        const char *name;
        std::function<void()> reach;
        const char *states; // "control state", comma-separated, controls by their object names
    };
    const auto click = [](QWidget *button) { QTest::mouseClick(button, Qt::LeftButton); };
    const Moment moments[] = {
        {"at rest after the start-up", [] {},
         "Command1 enabled, Command9 enabled, List1 shown, File1 hidden, Command20 hidden, Check2 shown, "
         "Check2 unticked, Check4 shown, Text9 shown, Command15_0 shown, Label3 shown, Text10 shown, "
         "Command10 hidden, Text2 hidden"},
        {"after the scan",
         [&] {
             // The scan runs its addresses within the click here: what it leaves enabled
             // is seen as it says that it scans.
             std::optional<bool> loadEnabledWhileScanning;
             const QMetaObject::Connection watch =
                 QObject::connect(f.Text1, &QLineEdit::textChanged, [&](const QString &text) {
                     if (text == QLatin1String("Scanning Network for Devices"))
                         loadEnabledWhileScanning = f.Command1->isEnabled() || !f.Command9->isEnabled();
                 });
             l.scan(u"3"_s);
             ASSERT_TRUE(l.reaches("Scan Complete - Select Devices From List"));
             QObject::disconnect(watch);
             EXPECT_EQ(loadEnabledWhileScanning, false) << "during the scan: Load disabled, Stop Scan enabled";
         },
         "Command1 enabled, Command9 enabled"},
        {"during a device load",
         [&] {
             l.select({3});
             click(f.Command1);
             ASSERT_TRUE(l.reaches("Loading Application File - Device Adr 3"));
         },
         "Command1 disabled, Command9 disabled"},
        {"after the batch", [&] { ASSERT_TRUE(l.reaches("Upload Complete")); }, "Command1 enabled, Command9 enabled"},
        {"a device asks for its file",
         [&] {
             l.select({1});
             click(f.Command1);
             ASSERT_TRUE(l.reaches("Select load file from list"));
         },
         "Command1 enabled, File1 shown, Label3 hidden, Text10 hidden, Command9 hidden"},
        {"the file picked by hand, the device failing",
         [&] {
             ASSERT_TRUE(l.clickFile(u"F2315-0202.hex"_s));
             click(f.Command1);
             ASSERT_TRUE(l.reaches("Checksum Error, Device Adr 1"));
         },
         "Command1 enabled, File1 shown"},
        {"a click in the device list after it", [&] { emit f.List1->itemClicked(f.List1->item(0)); },
         "File1 hidden, Label10 hidden, Text5 hidden, Label3 shown, Text10 shown, Command9 shown, Command9 enabled"},
        {"the Module option, Debug ticked before it",
         [&] {
             f.Check2->setChecked(true);
             f.Option2->click();
             l.bus.advance(1000);
         },
         "Command20 shown, File1 shown, Label3 hidden, Command9 hidden, Check2 hidden, Check2 unticked, Text9 hidden, "
         "Command15_0 hidden, Check4 shown"},
        {"during a module load",
         [&] {
             ASSERT_TRUE(l.clickFile(u"UsbModule-0103.hex"_s));
             click(f.Command1);
             l.bus.advance(500);
         },
         "Command1 disabled"},
        {"after the module load", [&] { ASSERT_TRUE(l.reaches("Load Complete - Recycle Power")); }, "Command1 enabled"},
        {"Comm Port mode",
         [&] {
             f.Check2->click(); // Debug ticked before the switch
             f.Check3->click();
         },
         "Command2 shown, Text2 shown, Text3 shown, File1 shown, List1 hidden, Command9 hidden, Text8 hidden, "
         "Check2 shown, Check2 unticked, Frame3 hidden, Check4 hidden, Command15_0 hidden, Option1 unticked, "
         "Option2 unticked"},
        {"USB mode again",
         [&] {
             f.Check3->click();
             l.startUp();
         },
         "Command1 enabled, Command9 enabled, List1 shown, File1 hidden, Check2 shown, Check4 shown, Text9 shown, "
         "Command15_0 shown, Text2 hidden, Option1 ticked"},
    };
    for (const Moment &m : moments) {
        SCOPED_TRACE(m.name);
        m.reach();
        EXPECT_TRUE(l.controls(m.states));
    }
}
