#include "FlashLoaderFixture.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextEdit>

#include <optional>

// A firmware load tried at bad moments: a Pause tick, a double-click on the status line or
// a closed window, each at every step of a device load and of a module load. A load ends
// with "complete" only over a flash that holds exactly the file.
namespace {

enum class Act { PauseHold, PauseBlink, DoubleClick, LeaveUsbMode, Close };
const std::pair<Act, const char *> Acts[] = {{Act::PauseHold, "Pause ticked, unticked 5 s later"},
                                             {Act::PauseBlink, "Pause ticked and unticked at once"},
                                             {Act::DoubleClick, "status line double-clicked"},
                                             {Act::Close, "window closed"},
                                             {Act::LeaveUsbMode, "USB unticked"}};

enum class Target { Device, Module };

// Device 3 from the scanned list, or the module, with the demo firmware.
void startLoad(FlashLoader &loader, Target target)
{
    loader.copyDemoFirmware();
    loader.startUp();
    if (target == Target::Device) {
        loader.startDeviceLoad("3", {3});
    } else {
        EXPECT_TRUE(loader.startModuleLoad());
    }
}

// Starts a load, does act right after the driver took the step-th download message (as
// the user's click would arrive, through the event queue), runs until the load is over
// and checks how it ended.
void loadWith(Target target, Act act, std::size_t step)
{
    FlashLoader loader(emu::Scenario::defaultBus(), engineering());
    QStringList statuses;
    QObject::connect(loader.f().Text1, &QLineEdit::textChanged, loader.window,
                     [&statuses](const QString &text) { statuses.append(text); });
    startLoad(loader, target);

    std::size_t downloads = 0;
    std::int64_t untickAt = -1;
    std::optional<std::size_t> sentWhilePaused;
    std::size_t sentAtClose = 0;
    FlashUtilityWindow *window = loader.window;
    const auto post = [window](std::function<void()> f) { QMetaObject::invokeMethod(window, f, Qt::QueuedConnection); };
    loader.bus.driver.afterCall = [&](const char *operation) {
        if (std::string_view(operation) != "DevDownLoad" || ++downloads != step)
            return;
        switch (act) {
        case Act::PauseHold:
            post([&] { QTest::mouseClick(loader.f().Check4, Qt::LeftButton); });
            untickAt = loader.bus.now() + 5000;
            break;
        case Act::PauseBlink:
            post([&] {
                QTest::mouseClick(loader.f().Check4, Qt::LeftButton);
                QTest::mouseClick(loader.f().Check4, Qt::LeftButton);
            });
            break;
        case Act::DoubleClick: post([&] { QTest::mouseDClick(loader.f().Text1, Qt::LeftButton); }); break;
        case Act::LeaveUsbMode: post([&] { QTest::mouseClick(loader.f().Check3, Qt::LeftButton); }); break;
        case Act::Close:
            post([&] {
                sentAtClose = loader.bus.callCount("DevDownLoad");
                loader.window->close();
            });
            break;
        }
    };

    for (std::int64_t ms = 0; ms < 300000; ++ms) {
        loader.bus.advance(1);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (loader.window.isNull())
            break;
        if (untickAt >= 0 && !sentWhilePaused && loader.bus.now() >= untickAt - 3000)
            sentWhilePaused = loader.bus.callCount("DevDownLoad");
        if (untickAt >= 0 && loader.bus.now() >= untickAt) {
            EXPECT_EQ(loader.bus.callCount("DevDownLoad"), sentWhilePaused) << "nothing is sent while paused";
            untickAt = -1;
            QTest::mouseClick(loader.f().Check4, Qt::LeftButton);
        }
        if (downloads >= step && untickAt < 0 && !loader.window->loadRunning())
            break;
    }
    loader.bus.driver.afterCall = nullptr;

    const bool complete =
        statuses.contains(u"Upload Complete"_s) || statuses.contains(u"Load Complete - Recycle Power"_s);
    const emu::FlashMemory &flash = target == Target::Device ? loader.bus.emulator.device(3)->loader().flash()
                                                             : loader.bus.emulator.moduleLoader().flash();
    const auto image = target == Target::Device ? expectedImages(loader.folder.path(u"F4008-0111.hex"_s), 0x40000)
                                                : expectedImages(loader.folder.path(u"UsbModule-0103.hex"_s), 0, true);
    if (complete) {
        EXPECT_EQ(flashDifferences(flash, image), 0u) << "complete over a flash that differs from the file";
    }
    if (act == Act::Close) {
        ASSERT_TRUE(loader.window.isNull());
        EXPECT_FALSE(complete);
        EXPECT_EQ(loader.bus.callCount("DevDownLoad"), sentAtClose);
        const auto bytes = loader.bus.emulator.trace().calls("SndModData");
        EXPECT_TRUE(!bytes.empty() && bytes.back().arguments.at(1) == 0x1B)
            << "the load in hand ends with the abort byte";
        EXPECT_TRUE(target == Target::Module || !loader.bus.emulator.device(3)->loader().inLoader());
    } else {
        // Nothing here is a reason for the load to fail, nor to leave USB mode under it.
        EXPECT_TRUE(complete) << statuses.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(!loader.window.isNull() && loader.f().Check3->isChecked());
    }
}

void tryEveryStep(Target target)
{
    std::size_t steps = 0;
    {
        FlashLoader loader;
        startLoad(loader, target);
        EXPECT_TRUE(loader.runUntil([&] { return !loader.window->loadRunning(); }));
        steps = loader.bus.callCount("DevDownLoad");
    }
    ASSERT_GT(steps, 10u);
    for (const auto &[act, name] : Acts) {
        for (std::size_t step = 1; step <= steps; ++step) {
            SCOPED_TRACE(std::string(name) + " at download message " + std::to_string(step));
            loadWith(target, act, step);
        }
    }
}

} // namespace

TEST(LoadFaults, EveryStepOfADeviceLoadSurvivesPauseDoubleClickAndClose)
{
    tryEveryStep(Target::Device);
}

TEST(LoadFaults, EveryStepOfAModuleLoadSurvivesPauseDoubleClickAndClose)
{
    tryEveryStep(Target::Module);
}

TEST(LoadFaults, FilesThatCannotBeWrittenAreNamed)
{
    FlashLoader loader;
    loader.copyDemoFirmware();
    // Folders in the way of the files the loader writes.
    delete loader.window;
    QFile::remove(loader.folder.path(u"Debuginfo.txt"_s));
    ASSERT_TRUE(QDir(loader.folder.path(QString())).mkdir(u"Debuginfo.txt"_s));
    ASSERT_TRUE(QDir(loader.folder.path(QString())).mkdir(u"F4008-0111a.dwn"_s));
    loader.window = new FlashUtilityWindow(loader.bus.driver);
    loader.startUp();
    EXPECT_TRUE(loader.f().Text8->toPlainText().startsWith(u"Cannot write Debuginfo.txt: "_s))
        << loader.f().Text8->toPlainText().toStdString();

    loader.startDeviceLoad("3", {3});
    EXPECT_EQ(loader.status(),
              u"Cannot write the download files in "_s + QDir::toNativeSeparators(QDir::currentPath()));
    EXPECT_EQ(loader.bus.callCount("DevDownLoad"), 0u);
    EXPECT_TRUE(loader.f().Command1->isEnabled());
}

TEST(LoadFaults, UsbModeIsLeftOnlyWithNothingInHandAndLeavesTheModuleClosed)
{
    // During a scan the box keeps its state and the scan fills its list.
    FlashLoader scanning(emu::Scenario::defaultBus(), engineering());
    scanning.startUp();
    QObject::connect(scanning.f().List1->model(), &QAbstractItemModel::rowsInserted, scanning.window, [&] {
        if (scanning.f().List1->count() == 2)
            scanning.f().Check3->click();
    });
    scanning.scan(u"4"_s);
    EXPECT_EQ(scanning.f().List1->count(), 4);
    EXPECT_TRUE(scanning.f().Check3->isChecked());

    // Unticked before the module's reconnect a second after opening: it is not opened.
    FlashLoader opening(emu::Scenario::defaultBus(), engineering());
    opening.bus.advance(500);
    const std::size_t opens = opening.bus.callCount("OpenUSBDriver");
    opening.f().Check3->click();
    opening.bus.advance(5000);
    EXPECT_EQ(opening.bus.callCount("OpenUSBDriver"), opens);
    EXPECT_FALSE(opening.window->moduleConnected());
    EXPECT_EQ(opening.status(), " Select File to Load!");
}
