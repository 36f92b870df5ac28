#include "FlashLoaderFixture.h"
#include "QtPrinters.h"
#include "SerialBoardRun.h"
#include "board/PtyBoard.h"
#include "core/Beep.h"
#include "core/FormTimer.h"
#include "engines/flash/FirmwareChoice.h"
#include "engines/flash/LoadStatus.h"
#include "engines/flash/SerialLine.h"
#include "engines/flash/SerialLoader.h"
#include "engines/flash/SerialProtocol.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QSerialPort>
#include <QSignalSpy>

#include <sys/stat.h>

using emu::Bytes;

namespace {

// A flash loader started for engineering, its COM port 1 the emulated board's terminal
// (COM 2 names no device), in Comm Port mode with port 1 chosen.
struct CommPort {
    CommPort() : board(std::make_unique<PtyBoard>()), loader(emu::Scenario::defaultBus(), options())
    {
        loader.folder.copyDemo(LoaderFiles);
        loader.startUp();
        loader.f().Check3->click();
        loader.f().Option1->click();
    }
    FlashLoaderOptions options()
    {
        FlashLoaderOptions o;
        o.engineering = true;
        o.portDevice = [this](int port) {
            if (port == 2)
                return port2.value_or(u"/dev/no-such-tty"_s);
            return port1 ? *port1 : board->slaveName();
        };
        return o;
    }
    bool runUntil(const std::function<bool()> &done, int limitMs = 200000)
    {
        return ::runUntil(loader.bus.time, done, limitMs);
    }
    bool statusIs(const char *text) { return loader.status() == QString::fromLatin1(text); }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    std::optional<QString> port1; // COM port 1's device, when not the board's
    std::optional<QString> port2;
    std::unique_ptr<PtyBoard> board;
    FlashLoader loader;
};

} // namespace

// The whole-flash erase is the engine's and the board-between-runs test's; here the sector
// selector: it shows with "Sector Erase", and banks and single boxes build the mask.
TEST(SerialLoad, SectorEraseSendsTheMaskChosenAtTheClick)
{
    CommPort c;
    if (!c.board->isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    FlashUtilityForm &f = c.loader.f();
    ASSERT_FALSE(f.Check2->isHidden());
    f.Check2->click();
    EXPECT_FALSE(f.Frame4->isHidden());
    SerialProtocol::SectorMask &mask = c.loader.window->serialLoader().sectorMask();
    c.click(f.Command14);
    EXPECT_EQ((std::vector<int>{mask.byte(0), mask.byte(1), mask.byte(2)}), (std::vector<int>{0x00, 0xFF, 0x3F}));
    f.Sector[9]->click();
    EXPECT_EQ(mask.byte(1), 0xFD);
    c.click(f.Command18);
    for (const int sector : {0, 9, 21})
        f.Sector[sector]->click();
    c.click(f.Command19);
    // While the boot image and the flash loader go out, the selection stands as it was
    // at the click: its controls wait, and a mask changed meanwhile is not the one sent.
    // Comm Port mode stays while the run is in hand.
    EXPECT_EQ(c.loader.status(), "Loading Boot Loader");
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Loading Flash Loader"); }));
    for (QAbstractButton *control : std::initializer_list<QAbstractButton *>{
             f.Sector[10], f.Command13, f.Command14, f.Command18, f.Command19, f.Command1, f.Command2, f.Option2})
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    c.click(f.Command14);
    mask.set(10, true);
    f.Check3->click();
    EXPECT_FALSE(f.Check3->isChecked());
    EXPECT_TRUE(f.Option1->isChecked());
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Sector Erase Complete"); })) << c.loader.status().toStdString();
    EXPECT_EQ(c.board->model().commands().back(), (Bytes{'d', 0x01, 0x20, 0x02, 0x01}));
    EXPECT_EQ(f.ProgressBar1->value(), f.ProgressBar1->maximum());
    EXPECT_TRUE(f.Sector[10]->isEnabled());
    EXPECT_TRUE(f.Command19->isEnabled());
}

TEST(SerialLoad, PortsThatCannotBeUsedAreNamed)
{
    CommPort c;
    if (!c.board->isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    EXPECT_TRUE(c.loader.f().Command11->isHidden()) << "Debug has nothing to do in Comm Port mode";
    c.loader.f().Option2->click();
    EXPECT_EQ(c.loader.status(), " Com2 not a valid port - Reselect Port!");
    EXPECT_FALSE(c.loader.f().Option2->isChecked());
    QTest::mouseClick(c.loader.f().Command1, Qt::LeftButton);
    EXPECT_EQ(c.loader.status(), "No Comm Port Selected");
    c.loader.f().Option1->click();
    QTest::mouseClick(c.loader.f().Command1, Qt::LeftButton);
    EXPECT_EQ(c.loader.status(), " Select File to Load!");

    // A port is "in use" only when another program holds it; otherwise the reason shows.
    PtyBoard held;
    QSerialPort holder(held.slaveName());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    QDir().mkdir(c.loader.folder.path(u"dir"_s));
    c.loader.folder.write(u"plain"_s, "text");
    const std::pair<QString, QString> cases[] = {
        {held.slaveName(), u"Comm Port 1 in use!"_s},
        {u"/dev/null"_s, u"Cannot open Comm Port 1 (/dev/null): not a serial port"_s},
        {u"plain"_s, u"Cannot open Comm Port 1 (plain): not a serial port"_s},
        {u"dir"_s, u"Cannot open Comm Port 1 (dir): Is a directory"_s},
        {u"/dev/pts/99"_s, u"Cannot open Comm Port 1 (/dev/pts/99): No such file or directory"_s},
        {QString(), u"Cannot open Comm Port 1: no serial device for it"_s},
    };
    for (const auto &[port, message] : cases) {
        c.port1 = port;
        c.loader.f().Option1->click();
        EXPECT_EQ(c.loader.status(), message);
        EXPECT_FALSE(c.loader.f().Option1->isChecked());
    }
}

// The board power-cycled after a run, as the window asks (its terminal gone and back), is no
// error: the port is closed and the next run opens it again. While a run is in hand the file
// list takes no click. A port that opens clears what a port that did not said. Back in USB
// mode, the window shows what it showed at the start in USB mode, engineering's controls
// among them, clear of each other.
TEST(SerialLoad, TheBoardBetweenRunsAndTheWayBackToUsbMode)
{
    CommPort c;
    if (!c.board->isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    FlashUtilityForm &f = c.loader.f();
    c.click(f.Command2);
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Flash Erase Complete"); })) << c.loader.status().toStdString();
    c.board->hangUp();
    EXPECT_TRUE(c.runUntil([&] { return !f.MSComm1->isOpen(); }, 1000));
    EXPECT_EQ(c.loader.status(), "Flash Erase Complete");
    EXPECT_EQ(c.loader.statusColour(), FlashLoader::Success);
    c.board = std::make_unique<PtyBoard>();
    c.click(f.Command2);
    EXPECT_FALSE(f.File1->isEnabled()) << "the file list waits for the run";
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Flash Erase Complete"); })) << c.loader.status().toStdString();
    EXPECT_TRUE(f.File1->isEnabled());

    c.port1 = u"/dev/no-such-tty"_s;
    c.port2 = c.board->slaveName();
    f.Option1->click();
    EXPECT_EQ(c.loader.statusColour(), FlashLoader::Error);
    f.Option2->click();
    EXPECT_EQ(c.loader.status(), "Select Load File");
    EXPECT_EQ(c.loader.statusColour(), FlashLoader::Information);

    f.Check3->click();
    c.loader.startUp();
    FlashLoader fresh(emu::Scenario::defaultBus(), c.options()); // as the window starts
    fresh.startUp();
    const auto shown = [](FlashLoader &l) {
        FlashUtilityForm &g = l.f();
        QStringList visible;
        for (QWidget *control : l.window->findChildren<QWidget *>())
            if (control->isVisible() && !control->objectName().isEmpty())
                visible << control->objectName();
        visible.sort();
        const bool empty = g.ProgressBar1->value() <= g.ProgressBar1->minimum();
        return visible.join(' ') + u" | "_s + l.status() + (empty ? " | empty" : " | filled");
    };
    EXPECT_EQ(shown(c.loader), shown(fresh));
    EXPECT_FALSE(f.Check2->isHidden() || f.Check4->isHidden() || f.Text9->isHidden());
    EXPECT_FALSE(f.Check5->geometry().intersects(f.Check4->geometry())) << "\"Upload latest Rev\" is not cut";
}
