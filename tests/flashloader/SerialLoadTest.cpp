#include "FlashLoaderFixture.h"
#include "PtyBoard.h"
#include "QtPrinters.h"
#include "SerialLoader.h"
#include "SerialProtocol.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QRadioButton>

using emu::Bytes;

namespace {

// A flash loader started for engineering, its COM port 1 the emulated board's terminal
// (COM 2 names no device), in Comm Port mode with port 1 chosen.
struct CommPort {
    explicit CommPort(const emu::BoardModel::Faults &faults = {}) : loader(emu::Scenario::defaultBus(), options())
    {
        board.model().setFaults(faults);
        loader.copyDemoFirmware();
        for (const char *file : {"BootLdr.dwn", "FlshLdr.dwn", "Board-0100.hex"})
            QFile::copy(QStringLiteral(QUILL_DEMO_DIR "/") + QString::fromLatin1(file),
                        loader.folder.path(QString::fromLatin1(file)));
        loader.startUp();
        loader.f().Check3->click();
        loader.f().Option1->click();
    }
    FlashLoaderOptions options()
    {
        FlashLoaderOptions o;
        o.engineering = true;
        o.portDevice = [this](int port) { return port == 1 ? board.slaveName() : QStringLiteral("/dev/no-such-tty"); };
        return o;
    }
    // Moves time on while the terminal's bytes flow, until done() holds.
    bool runUntil(const std::function<bool()> &done, int limitMs = 200000)
    {
        for (int ms = 0; ms < limitMs; ++ms) {
            QCoreApplication::processEvents();
            if (done())
                return true;
            loader.bus.advance(1);
        }
        return done();
    }
    bool statusIs(const char *text) { return loader.status() == QString::fromLatin1(text); }

    PtyBoard board;
    FlashLoader loader;
};

} // namespace

TEST(SerialProtocol, ImageFramesAndReports)
{
    const auto image =
        SerialProtocol::bootImage({QStringLiteral("S0030000FC"), QStringLiteral("S20800001001020304DD")});
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), 601u);
    Bytes expected(601, 0);
    for (int i = 0; i < 4; ++i)
        expected[static_cast<std::size_t>(16 + i)] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(*image, expected);
    QString why;
    EXPECT_FALSE(SerialProtocol::bootImage({QStringLiteral("S10702560102030496")}, &why)) << "bytes past 600";
    EXPECT_FALSE(why.isEmpty());

    EXPECT_EQ(SerialProtocol::blockFrame(0x12345, {0x01, 0x02, 0x03}),
              (Bytes{'f', 0x00, 0x01, 0x23, 0x45, 0x00, 0x03, 0x01, 0x02, 0x03, 0xFF, 0xFA}));
    EXPECT_EQ(SerialProtocol::checksumRequest(0x1000, 0x10FF), (Bytes{'i', 0, 0, 0x10, 0, 0, 0, 0x10, 0xFF}));
    EXPECT_EQ(*SerialProtocol::reportedChecksum({'i', 0x00, 0x00, 0xFF, 0x00}), 65280u);
    EXPECT_FALSE(SerialProtocol::reportedChecksum({'i', 0x00, 0x00}));
}

TEST(SerialLoad, AnApplicationLoadsAndVerifies)
{
    CommPort c;
    if (!c.board.isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    ASSERT_EQ(c.loader.status(), "Select Load File");
    ASSERT_TRUE(c.loader.clickFile(QStringLiteral("Board-0100.hex")));
    QTest::mouseClick(c.loader.f().Command1, Qt::LeftButton);
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Flash Load Complete - Cycle Module Power"); }))
        << c.loader.status().toStdString();
    EXPECT_EQ(c.loader.statusColour(), FlashLoader::Success);

    const auto boot =
        SerialProtocol::bootImage(*RecordFile::readLines(c.loader.folder.path(QStringLiteral("BootLdr.dwn"))));
    EXPECT_EQ(c.board.model().bootImage(), Bytes(boot->begin(), boot->begin() + 581));
    EXPECT_EQ(flashDifferences(c.board.model().loaderMemory(),
                               expectedImages(c.loader.folder.path(QStringLiteral("FlshLdr.dwn")), 0, true)),
              0u);
    EXPECT_EQ(flashDifferences(c.board.model().flash(),
                               expectedImages(c.loader.folder.path(QStringLiteral("Board-0100.hex")), 0, true)),
              0u);
    // Four blocks of 1024 bytes, the last followed by the checksum request over the range.
    const std::vector<Bytes> &commands = c.board.model().commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), (Bytes{'i', 0, 0x01, 0x00, 0x00, 0, 0x01, 0x0F, 0xFF}));
    EXPECT_EQ(c.loader.window->serialLoader().expectedChecksum() & 0xFF,
              static_cast<long>(c.board.model().flash().sum(0x10000, 0x10FFF) & 0xFF));
}

TEST(SerialLoad, ErasesTheWholeFlashOrTheChosenSectors)
{
    CommPort c;
    if (!c.board.isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    QTest::mouseClick(c.loader.f().Command2, Qt::LeftButton);
    EXPECT_NE(c.loader.status(), " Select File to Load!");
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Flash Erase Complete"); })) << c.loader.status().toStdString();
    EXPECT_EQ(c.board.model().commands().back(), (Bytes{'d', 0x04}));

    // The board is power cycled before the next erase, as its instructions say.
    c.board.model().powerCycle();
    // The selector shows with "Sector Erase"; banks and single boxes build the mask.
    ASSERT_FALSE(c.loader.f().Check2->isHidden());
    c.loader.f().Check2->click();
    EXPECT_FALSE(c.loader.f().Frame4->isHidden());
    SerialProtocol::SectorMask &mask = c.loader.window->serialLoader().sectorMask();
    QTest::mouseClick(c.loader.f().Command14, Qt::LeftButton);
    EXPECT_EQ((std::vector<int>{mask.byte(0), mask.byte(1), mask.byte(2)}), (std::vector<int>{0x00, 0xFF, 0x3F}));
    c.loader.f().Sector[9]->click();
    EXPECT_EQ(mask.byte(1), 0xFD);
    QTest::mouseClick(c.loader.f().Command18, Qt::LeftButton);
    for (const int sector : {0, 9, 21})
        c.loader.f().Sector[sector]->click();
    QTest::mouseClick(c.loader.f().Command19, Qt::LeftButton);
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Sector Erase Complete"); })) << c.loader.status().toStdString();
    EXPECT_EQ(c.board.model().commands().back(), (Bytes{'d', 0x01, 0x20, 0x02, 0x01}));
}

TEST(SerialLoad, BoardFaultsEndInTheirMessages)
{
    struct Case {
        const char *what;
        emu::BoardModel::Faults faults;
        bool erase;
        const char *message;
    };
    const auto faults = [](auto set) {
        emu::BoardModel::Faults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"erase error", faults([](auto &f) { f.eraseError = '2'; }), true, "Flash Erase Error!"},
        {"programming error", faults([](auto &f) { f.programmingError = '6'; }), false, "Programming Error!"},
        {"wrong checksum", faults([](auto &f) { f.wrongChecksum = true; }), false, "Checksum Error!"},
        {"silence", faults([](auto &f) { f.silentBlocks = true; }), false, "No Response From Device"},
        {"split report", faults([](auto &f) { f.splitReport = true; }), false,
         "Flash Load Complete - Cycle Module Power"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        CommPort c(k.faults);
        if (!c.board.isOpen())
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        ASSERT_TRUE(c.loader.clickFile(QStringLiteral("Board-0100.hex")));
        QTest::mouseClick(k.erase ? c.loader.f().Command2 : c.loader.f().Command1, Qt::LeftButton);
        ASSERT_TRUE(c.runUntil([&] {
            if (c.statusIs("Verifying Checksum"))
                QTest::qWait(5); // a report's second piece comes a little later
            return c.statusIs(k.message);
        })) << c.loader.status().toStdString();
        c.loader.bus.advance(60000);
        QCoreApplication::processEvents();
        EXPECT_EQ(c.loader.status(), k.message) << "nothing more happens";
        EXPECT_TRUE(c.loader.f().Command1->isEnabled());
    }
}

TEST(SerialLoad, PortsThatCannotBeUsedAreNamed)
{
    CommPort c;
    if (!c.board.isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    c.loader.f().Option2->click();
    EXPECT_EQ(c.loader.status(), " Com2 not a valid port - Reselect Port!");
    EXPECT_FALSE(c.loader.f().Option2->isChecked());
    QTest::mouseClick(c.loader.f().Command1, Qt::LeftButton);
    EXPECT_EQ(c.loader.status(), "No Comm Port Selected");
    c.loader.f().Option1->click();
    QTest::mouseClick(c.loader.f().Command1, Qt::LeftButton);
    EXPECT_EQ(c.loader.status(), " Select File to Load!");
}
