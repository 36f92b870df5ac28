#include "FlashLoaderFixture.h"
#include "QtPrinters.h"
#include "ThreadedBus.h"
#include "core/Beep.h"
#include "engines/flash/SRecord.h"
#include "windows/shared/FileListBox.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <QWindow>

#include <string_view>

TEST(FirmwareLoad, ThreeDevicesGetEveryFileAndEndWithUploadComplete)
{
    FlashLoader loader;
    loader.copyDemoFirmware();
    loader.startUp();
    loader.scan(u"16"_s);
    QStringList statuses;
    QObject::connect(loader.f().Text1, &QLineEdit::textChanged, loader.window,
                     [&statuses](const QString &text) { statuses.append(text); });
    loader.select({3, 6, 9});
    QTest::mouseClick(loader.f().Command1, Qt::LeftButton);
    ASSERT_TRUE(loader.reaches("Upload Complete"));

    EXPECT_EQ(loader.statusColour(), FlashLoader::Success);
    for (const char *expected :
         {"Requesting Reliable Connection - Device Adr 3", "Loading Application File - Device Adr 3",
          "Loading Text File - Device Adr 3", "Loading FPGA File - Device Adr 3",
          "Requesting Reliable Connection - Device Adr 6", "Loading FPGA File - Device Adr 6",
          "Loading Application File - Device Adr 9", "Loading FPGA File - Device Adr 9"})
        EXPECT_TRUE(statuses.contains(QString::fromLatin1(expected))) << expected;
    EXPECT_FALSE(statuses.contains(u"Loading Text File - Device Adr 9"_s))
        << "a text file of fewer than ten lines is skipped";
    EXPECT_TRUE(loader.f().List1->selectedItems().isEmpty());
    EXPECT_TRUE(loader.f().Command1->isEnabled());
    EXPECT_TRUE(loader.f().Command9->isEnabled());
    EXPECT_FALSE(loader.window->loadBusy());

    // Listed types load 40000h up; the 0147 dome is not a listed type.
    EXPECT_TRUE(deviceHolds(loader.bus.emulator, loader.folder, 3, "F4008-0111.hex"));
    EXPECT_TRUE(deviceHolds(loader.bus.emulator, loader.folder, 6, "F0147-0104.hex", 0));
    EXPECT_TRUE(deviceHolds(loader.bus.emulator, loader.folder, 9, "F2507-0102.hex"));
    EXPECT_EQ(loader.bus.emulator.device(3)->loader().filesAccepted(), 3);
    EXPECT_EQ(loader.bus.emulator.device(9)->loader().filesAccepted(), 2);
    EXPECT_FALSE(loader.bus.emulator.device(3)->loader().inLoader());

    // A rescan shows the revisions just loaded.
    loader.scan(u"9"_s);
    EXPECT_EQ(loader.rows()[2].mid(16, 4) + loader.rows()[5].mid(16, 4) + loader.rows()[8].mid(16, 4), "011101040102");
}

// The module's firmware as shipped, and the same records out of address order with one
// repeated: both load and verify, the module holding the file, and the module restarts with
// its new firmware's revision.
TEST(FirmwareLoad, ModuleLoadEndsWithRecyclePowerAndTheModuleHoldsTheFile)
{
    for (const char *file : {"UsbModule-0103.hex", "UsbModule-9999.hex"}) {
        FlashLoader loader;
        loader.copyDemoFirmware();
        const auto lines = *RecordFile::readLines(loader.folder.path(u"UsbModule-0103.hex"_s));
        QStringList shuffled{lines.first()};
        for (qsizetype i = lines.size() - 2; i > 0; --i)
            shuffled << lines[i];
        shuffled << lines[lines.size() / 2] << lines.last();
        loader.folder.write(u"UsbModule-9999.hex"_s, shuffled.join(u"\r\n"_s).toLatin1());
        loader.startUp();
        ASSERT_TRUE(loader.startModuleLoad(QString::fromLatin1(file)));
        ASSERT_TRUE(loader.reaches("Load Complete - Recycle Power")) << file;
        EXPECT_EQ(loader.statusColour(), FlashLoader::Success);
        EXPECT_FALSE(loader.window->moduleConnected());
        EXPECT_FALSE(loader.bus.emulator.isOpen()) << "the module restarted";
        EXPECT_EQ(loader.f().ProgressBar1->value(), loader.f().ProgressBar1->maximum());
        EXPECT_TRUE(holdsFirmware(loader.bus.emulator.moduleLoader().flash(),
                                  loader.folder.path(QString::fromLatin1(file)), 0, true));
        if (std::string_view(file) != "UsbModule-0103.hex")
            continue;
        loader.f().Option1->click(); // back to the devices: the window connects again
        loader.bus.advance(1000);
        EXPECT_TRUE(loader.status().startsWith(u"Orvo USB Module Rev 1.03"_s)) << loader.status().toStdString();
    }
}

TEST(FirmwareLoad, ModuleFaultsEndInTheStatusTableMessageWithTheirBeeps)
{
    struct Case {
        const char *scenario;
        const char *message;
        const char *countFrom; // beeps are counted from the moment this text shows
        int beeps;             // -1: not counted
    };
    const Case cases[] = {
        {"module load-fault 15 corrupt", "Checksum Error", "Checksum Error", -1},
        {"module load-fault 14 nak 4", "Sequence Error", "Sequence Error", 1},
        {"module load-fault 15 nak 4", "Sequence Error", "Sequence Error", 2}, // the status and one more
        {"module load-fault 13 silent", "No Response From Device", "No Response From Device", 2}, // the same
        {"module load-fault 14 late", "Load Complete - Recycle Power", "Verifying Checksum", 1},  // at the report
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.scenario);
        FlashLoader loader(scenarioFrom(std::string(c.scenario) + "\n"));
        loader.copyDemoFirmware();
        loader.startUp();
        int beeps = -1;
        QObject::connect(loader.f().Text1, &QLineEdit::textChanged, loader.window, [&](const QString &text) {
            if (beeps < 0 && text == QString::fromLatin1(c.countFrom))
                beeps = Beep::count();
        });
        ASSERT_TRUE(loader.startModuleLoad());
        ASSERT_TRUE(loader.reaches(c.message));
        loader.bus.advance(100);
        if (c.beeps >= 0) {
            EXPECT_EQ(Beep::count() - beeps, c.beeps);
        }
        EXPECT_TRUE(loader.f().Command1->isEnabled());
        EXPECT_FALSE(loader.window->loadBusy());
    }
}

// A double-click on the status line switches to direct file mode and back.
TEST(FirmwareLoad, DirectFileModeSendsTheChosenFileToTheTypedAddress)
{
    FlashLoader loader;
    loader.copyDemoFirmware();
    loader.startUp();
    QTest::mouseDClick(loader.f().Text1, Qt::LeftButton);
    EXPECT_TRUE(loader.window->directFileMode());
    EXPECT_TRUE(loader.controls("File1 shown, List1 hidden, Command9 hidden"));
    EXPECT_EQ(loader.f().Text10->text(), "1");
    EXPECT_EQ(loader.status(), "Select Load File");
    loader.bus.advance(1000);
    ASSERT_TRUE(loader.window->moduleConnected());
    loader.f().Text10->setText(u"3"_s);
    ASSERT_TRUE(loader.clickFile(u"F4008-0111.hex"_s));
    QTest::mouseClick(loader.f().Command1, Qt::LeftButton);
    EXPECT_EQ(loader.status(), "F4008-0111.hex Loading ");
    ASSERT_TRUE(loader.reaches("Upload Complete"));
    // The whole file went as one download file, every image at its own address.
    EXPECT_TRUE(deviceHolds(loader.bus.emulator, loader.folder, 3, "F4008-0111.hex", 0x40000, true));
    EXPECT_EQ(loader.bus.emulator.device(3)->loader().filesAccepted(), 1);

    QTest::mouseDClick(loader.f().Text1, Qt::LeftButton);
    EXPECT_FALSE(loader.window->directFileMode());
    EXPECT_TRUE(loader.controls("File1 hidden, List1 shown"));
    EXPECT_EQ(loader.f().Text10->text(), "16");
}

namespace {
// A click as the windowing system delivers it: to the window, which finds the widget.
void clickAsDelivered(QWidget *window, QWidget *control)
{
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, control->mapTo(window, control->rect().center()));
}
} // namespace

// A flash loader on the driver thread and real time, with the firmware for type 4008.
struct ThreadedLoader {
    explicit ThreadedLoader(const emu::Scenario &s = emu::Scenario::defaultBus())
        : bus(s), window(new FlashUtilityWindow(bus.thread))
    {
        folder.copyDemo({u"F4008*.hex"_s});
        window->show();
    }
    ~ThreadedLoader() { delete window; }

    FlashUtilityForm &f() { return window->form; }
    bool statusBecomes(const char *text, int ms)
    {
        const bool shown = QTest::qWaitFor([&] { return f().Text1->text() == QLatin1String(text); }, ms);
        EXPECT_TRUE(shown) << text << " / " << f().Text1->text().toStdString();
        return shown;
    }
    // Scans up to address 3, then picks device 3 and presses the load button.
    bool startLoadOfDevice3()
    {
        if (!statusBecomes("Enter max Qwil address and press scan", 5000))
            return false;
        f().Text10->setText(u"3"_s);
        QTest::mouseClick(f().Command9, Qt::LeftButton);
        if (!statusBecomes("Scan Complete - Select Devices From List", 10000) ||
            !QTest::qWaitFor([&] { return f().Command1->isEnabled(); }, 5000))
            return false;
        loadDevice3();
        return true;
    }
    void loadDevice3()
    {
        f().List1->item(2)->setSelected(true);
        QTest::mouseClick(f().Command1, Qt::LeftButton);
    }

    WorkingFolder folder;
    ThreadedBus bus;
    QPointer<FlashUtilityWindow> window;
};

// The scan says it is complete when "Load Qwil Device" can be used; the device picked and
// the button clicked by hand at once start the load. Loaded again and closed while a reply
// is awaited, the load ends with the abort byte.
TEST(FirmwareLoadOnTheDriverThread, ALoadClickedAsTheScanEndsCompletesAndAClosedOneEndsWithTheAbortByte)
{
    ThreadedLoader loader;
    ASSERT_TRUE(loader.statusBecomes("Enter max Qwil address and press scan", 5000));
    loader.f().Text10->setText(u"3"_s);
    bool usableWhenSaid = false;
    QObject::connect(loader.f().Text1, &QLineEdit::textChanged, loader.window, [&](const QString &text) {
        if (text != QLatin1String("Scan Complete - Select Devices From List"))
            return;
        usableWhenSaid = loader.f().Command1->isEnabled();
        QTimer::singleShot(30, loader.window, [&] {
            QListWidget *list = loader.f().List1;
            const QPoint item = list->viewport()->mapTo(loader.window, list->visualItemRect(list->item(2)).center());
            QTest::mouseClick(loader.window->windowHandle(), Qt::LeftButton, {}, item);
            clickAsDelivered(loader.window, loader.f().Command1);
        });
    });
    QTest::mouseClick(loader.f().Command9, Qt::LeftButton);
    ASSERT_TRUE(loader.statusBecomes("Upload Complete", 30000));
    EXPECT_TRUE(usableWhenSaid);
    loader.bus.calls(); // the driver thread is idle
    EXPECT_TRUE(deviceHolds(loader.bus.emulator, loader.folder, 3, "F4008-0111.hex"));

    loader.loadDevice3();
    ASSERT_TRUE(loader.statusBecomes("Loading Application File - Device Adr 3", 10000));
    loader.window->close();
    QTest::qWait(300);
    const std::vector<std::string> calls = loader.bus.calls();
    const auto abort = std::find(calls.rbegin(), calls.rend(), "SndModData(1, 27)");
    ASSERT_NE(abort, calls.rend());
    EXPECT_TRUE(std::none_of(abort.base(), calls.end(), [](const std::string &c) { return c.rfind("Dev", 0) == 0; }))
        << "nothing of the load is sent after the abort byte";
    EXPECT_FALSE(loader.bus.emulator.device(3)->loader().inLoader());
}

// The watchdog falls due while a reply read waits on the driver thread; it acts once the
// read is back empty, so a silent device still ends the load.
TEST(FirmwareLoadOnTheDriverThread, AWatchdogDueDuringAReadStillGivesUpOnASilentDevice)
{
    ThreadedLoader loader(scenarioFrom("device 3 type 4008 load-fault 67 silent\n"));
    ASSERT_TRUE(loader.startLoadOfDevice3());
    ASSERT_TRUE(loader.statusBecomes("No Response From Device", 40000));
    std::vector<std::string> calls = loader.bus.calls();
    std::erase_if(calls, [](const std::string &c) { return !c.starts_with("SndModData("); });
    EXPECT_EQ(calls, (std::vector<std::string>{"SndModData(1, 26)", "SndModData(1, 26)", "SndModData(1, 27)"}));
}

// No click on an enabled control is lost: "Scan Network" clicked twice at once scans and
// then stops the scan.
TEST(FirmwareLoadOnTheDriverThread, ClicksWhileTheLinkIsCheckedAreHandledInTurn)
{
    ThreadedLoader loader;
    ASSERT_TRUE(loader.statusBecomes("Enter max Qwil address and press scan", 5000));
    loader.f().Text10->setText(u"16"_s);
    QTest::mouseClick(loader.f().Command9, Qt::LeftButton);
    QTest::mouseClick(loader.f().Command9, Qt::LeftButton);
    ASSERT_TRUE(loader.statusBecomes("Scan Complete - Select Devices From List", 10000));
    EXPECT_LT(loader.f().List1->count(), 16) << "the second click stopped the scan";
}

namespace {
// What the devices are sent and the module's own bytes: the calls that carry a load.
std::vector<std::string> loadCalls(ThreadedBus &bus)
{
    std::vector<std::string> calls = bus.calls();
    std::erase_if(calls, [](const std::string &c) { return !c.starts_with("Dev") && !c.starts_with("SndModData"); });
    return calls;
}
} // namespace

// Devices 3 and 10 loaded in one batch: clicked once, or with a double-click on Load and,
// mid-load, a third click on Load and one on "Scan Network". Neither button takes a click
// while the batch runs, so the devices get the same bytes and the same flash either way.
TEST(FirmwareLoadOnTheDriverThread, ClicksDuringABatchChangeNothingOfIt)
{
    const auto loadBatch = [](bool clickMore, std::vector<std::string> &calls) {
        ThreadedLoader loader;
        ASSERT_TRUE(loader.statusBecomes("Enter max Qwil address and press scan", 5000));
        loader.f().Text10->setText(u"10"_s);
        QTest::mouseClick(loader.f().Command9, Qt::LeftButton);
        ASSERT_TRUE(loader.statusBecomes("Scan Complete - Select Devices From List", 15000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return loader.f().Command1->isEnabled(); }, 5000));
        for (int row : {2, 9})
            loader.f().List1->item(row)->setSelected(true);
        loader.bus.calls(); // the driver thread is idle
        loader.bus.emulator.trace().clear();
        bool disabledMidLoad = true;
        if (clickMore) {
            QObject::connect(loader.f().Text1, &QLineEdit::textChanged, loader.window, [&](const QString &text) {
                if (text != QLatin1String("Loading Application File - Device Adr 3"))
                    return;
                disabledMidLoad = !loader.f().Command1->isEnabled() && !loader.f().Command9->isEnabled();
                QTimer::singleShot(300, loader.window, [&] {
                    clickAsDelivered(loader.window, loader.f().Command1);
                    clickAsDelivered(loader.window, loader.f().Command9);
                });
            });
        }
        clickAsDelivered(loader.window, loader.f().Command1);
        if (clickMore)
            clickAsDelivered(loader.window, loader.f().Command1);
        ASSERT_TRUE(loader.statusBecomes("Upload Complete", 60000));
        EXPECT_TRUE(disabledMidLoad) << "Load and Scan are disabled while the batch runs";
        EXPECT_TRUE(loader.f().Command1->isEnabled() && loader.f().Command9->isEnabled()) << "and enabled at its end";
        calls = loadCalls(loader.bus);
        for (const std::uint8_t address : {std::uint8_t{3}, std::uint8_t{10}}) {
            EXPECT_FALSE(loader.bus.emulator.device(address)->loader().inLoader());
            EXPECT_TRUE(deviceHolds(loader.bus.emulator, loader.folder, address, "F4008-0111.hex"))
                << "device " << int(address);
        }
    };
    std::vector<std::string> once, clickedMore;
    loadBatch(false, once);
    loadBatch(true, clickedMore);
    EXPECT_EQ(clickedMore, once);
}
