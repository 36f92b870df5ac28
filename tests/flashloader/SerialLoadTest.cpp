#include "Beep.h"
#include "FirmwareChoice.h"
#include "FlashLoaderFixture.h"
#include "FormTimer.h"
#include "PtyBoard.h"
#include "QtPrinters.h"
#include "SerialLoader.h"
#include "SerialProtocol.h"

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
    explicit CommPort(const emu::BoardModel::Faults &faults = {})
        : board(std::make_unique<PtyBoard>()), loader(emu::Scenario::defaultBus(), options())
    {
        board->model().setFaults(faults);
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
        o.portDevice = [this](int port) {
            return port == 2 ? QStringLiteral("/dev/no-such-tty") : port1 ? *port1 : board->slaveName();
        };
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
    SerialLoader &serial() { return loader.window->serialLoader(); }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Clicks the button and runs until the run is over; false when it never ends.
    bool run(QAbstractButton *button, int limitMs = 200000)
    {
        click(button);
        return runUntil([&] { return !serial().running(); }, limitMs);
    }
    std::size_t flashLoadDifferences(const char *file = "Board-0100.hex")
    {
        return flashDifferences(board->model().flash(),
                                expectedImages(loader.folder.path(QString::fromLatin1(file)), 0, true));
    }
    // The serial run's timers, the window's step timers among them.
    bool anyTimerRunning()
    {
        for (const FormTimer *timer : serial().findChildren<FormTimer *>())
            if (timer->isEnabled())
                return true;
        return loader.f().Timer[1]->isEnabled() || loader.f().Timer[6]->isEnabled();
    }
    void write(const char *name, const QByteArray &text)
    {
        QFile file(loader.folder.path(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray read(const char *name) { return loader.folder.read(QString::fromLatin1(name)); }

    std::optional<QString> port1; // COM port 1's device, when not the board's
    std::unique_ptr<PtyBoard> board;
    FlashLoader loader;
};

// An S2 record of the bytes at the address.
QByteArray s2(long address, const Bytes &data)
{
    Bytes record{static_cast<std::uint8_t>(data.size() + 4), static_cast<std::uint8_t>(address >> 16),
                 static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    record.insert(record.end(), data.begin(), data.end());
    unsigned sum = 0;
    QByteArray line = "S2";
    for (const std::uint8_t b : record) {
        sum += b;
        line += QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    }
    return line + QByteArray::number(~sum & 0xFF, 16).rightJustified(2, '0').toUpper() + "\r\n";
}

const char *const LoadComplete = "Flash Load Complete - Cycle Module Power";

} // namespace

TEST(SerialProtocol, ImageFramesAndReports)
{
    // The board refuses a block that reaches past its last sector with a programming error.
    emu::BoardModel board;
    board.receive(Bytes(emu::BoardModel::BootImageBytes, 0), emu::BoardModel::RomBaud);
    board.receive({'d', 'h'}, emu::BoardModel::RomBaud);
    const auto reply = [&](long address) {
        return board.receive(SerialProtocol::blockFrame(address, Bytes(16, 0x5A)), emu::BoardModel::LoaderBaud)
            .at(0)
            .bytes;
    };
    EXPECT_EQ(reply(0xEFFF0), Bytes{'0'});
    EXPECT_EQ(reply(0xEFFF8), Bytes{'7'});
    EXPECT_EQ(reply(0xF00000), Bytes{'7'});
    EXPECT_EQ(board.flash().written().rbegin()->first, 0xEFFFFu);

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
    if (!c.board->isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    ASSERT_EQ(c.loader.status(), "Select Load File");
    ASSERT_TRUE(c.loader.clickFile(QStringLiteral("Board-0100.hex")));
    QTest::mouseClick(c.loader.f().Command1, Qt::LeftButton);
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Flash Load Complete - Cycle Module Power"); }))
        << c.loader.status().toStdString();
    EXPECT_EQ(c.loader.statusColour(), FlashLoader::Success);

    const auto boot =
        SerialProtocol::bootImage(*RecordFile::readLines(c.loader.folder.path(QStringLiteral("BootLdr.dwn"))));
    EXPECT_EQ(c.board->model().bootImage(), Bytes(boot->begin(), boot->begin() + 581));
    EXPECT_EQ(flashDifferences(c.board->model().loaderMemory(),
                               expectedImages(c.loader.folder.path(QStringLiteral("FlshLdr.dwn")), 0, true)),
              0u);
    EXPECT_EQ(flashDifferences(c.board->model().flash(),
                               expectedImages(c.loader.folder.path(QStringLiteral("Board-0100.hex")), 0, true)),
              0u);
    // Four blocks of 1024 bytes, the last followed by the checksum request over the range.
    const std::vector<Bytes> &commands = c.board->model().commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), (Bytes{'i', 0, 0x01, 0x00, 0x00, 0, 0x01, 0x0F, 0xFF}));
    EXPECT_EQ(c.loader.window->serialLoader().expectedChecksum() & 0xFF,
              static_cast<long>(c.board->model().flash().sum(0x10000, 0x10FFF) & 0xFF));
}

TEST(SerialLoad, ErasesTheWholeFlashOrTheChosenSectors)
{
    CommPort c;
    if (!c.board->isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    QTest::mouseClick(c.loader.f().Command2, Qt::LeftButton);
    EXPECT_NE(c.loader.status(), " Select File to Load!");
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Flash Erase Complete"); })) << c.loader.status().toStdString();
    EXPECT_EQ(c.board->model().commands().back(), (Bytes{'d', 0x04}));

    // The board is power cycled before the next erase, as its instructions say.
    c.board->model().powerCycle();
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
    // While the boot image and the flash loader go out, the selection stands as it was
    // at the click: its controls wait, and a mask changed meanwhile is not the one sent.
    EXPECT_EQ(c.loader.status(), "Loading Boot Loader");
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Loading Flash Loader"); }));
    FlashUtilityForm &f = c.loader.f();
    for (QAbstractButton *control : std::initializer_list<QAbstractButton *>{
             f.Sector[10], f.Command13, f.Command14, f.Command18, f.Command19, f.Command1, f.Command2, f.Option2})
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    c.click(c.loader.f().Command14);
    mask.set(10, true);
    ASSERT_TRUE(c.runUntil([&] { return c.statusIs("Sector Erase Complete"); })) << c.loader.status().toStdString();
    EXPECT_EQ(c.board->model().commands().back(), (Bytes{'d', 0x01, 0x20, 0x02, 0x01}));
    EXPECT_EQ(c.loader.f().ProgressBar1->value(), c.loader.f().ProgressBar1->maximum());
    EXPECT_TRUE(c.loader.f().Sector[10]->isEnabled());
    EXPECT_TRUE(c.loader.f().Command19->isEnabled());
}

// The checksum asked for and expected is that of what the board ends up holding, lowest
// to highest address, each byte once, later records winning, in whatever order they come.
TEST(SerialLoad, TheChecksumCoversTheImageTheBoardHolds)
{
    struct Case {
        const char *what;
        std::vector<std::pair<long, Bytes>> records;
    };
    const Bytes a(16, 0x11), b(16, 0x22), c3{1, 2, 3};
    const Case cases[] = {
        {"in order", {{0x10000, a}, {0x10010, b}}},
        {"shuffled, with a gap", {{0x12000, b}, {0x10000, a}, {0x10010, c3}}},
        {"overlapping", {{0x10000, a}, {0x10008, b}}},
        {"overlapping below", {{0x10008, b}, {0x10000, a}}},
        {"repeated", {{0x10000, a}, {0x10000, b}, {0x10000, c3}}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        CommPort c;
        if (!c.board->isOpen())
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        QByteArray file = "S0030000FC\r\n";
        std::map<std::uint32_t, std::uint8_t> image;
        for (const auto &[address, data] : k.records) {
            file += s2(address, data);
            for (std::size_t i = 0; i < data.size(); ++i)
                image[static_cast<std::uint32_t>(address) + static_cast<std::uint32_t>(i)] = data[i];
        }
        c.write("Board-0100.hex", file + "S804000000FB\r\n");
        ASSERT_TRUE(c.loader.clickFile(QStringLiteral("Board-0100.hex")));
        ASSERT_TRUE(c.run(c.loader.f().Command1));
        EXPECT_EQ(c.loader.status(), LoadComplete);
        EXPECT_EQ(c.board->model().flash().written(), image);
        const std::uint32_t first = image.begin()->first, last = image.rbegin()->first;
        EXPECT_EQ(c.board->model().commands().back(), SerialProtocol::checksumRequest(first, last));
        EXPECT_EQ(static_cast<std::uint32_t>(c.serial().expectedChecksum()),
                  c.board->model().flash().sum(first, last));
    }
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
        {"split report", faults([](auto &f) { f.splitReport = true; }), false,
         "Flash Load Complete - Cycle Module Power"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        CommPort c(k.faults);
        if (!c.board->isOpen())
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
    if (!c.board->isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    EXPECT_TRUE(c.loader.f().Command11->isHidden()) << "Debug has nothing to do in Comm Port mode";
    // A chosen port whose board goes away while no run is in hand is closed and named.
    const QString device = c.board->slaveName();
    c.board->hangUp();
    EXPECT_TRUE(c.runUntil([&] { return !c.loader.f().MSComm1->isOpen(); }, 1000));
    EXPECT_EQ(c.loader.status(), QStringLiteral("Comm Port 1 Lost (") + device + QStringLiteral(") - Check Cable"));
    c.board = std::make_unique<PtyBoard>();

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
    QDir().mkdir(c.loader.folder.path(QStringLiteral("dir")));
    c.write("plain", "text");
    const std::pair<QString, QString> cases[] = {
        {held.slaveName(), QStringLiteral("Comm Port 1 in use!")},
        {QStringLiteral("/dev/null"), QStringLiteral("Cannot open Comm Port 1 (/dev/null): not a serial port")},
        {QStringLiteral("/dev/zero"), QStringLiteral("Cannot open Comm Port 1 (/dev/zero): not a serial port")},
        {QStringLiteral("plain"), QStringLiteral("Cannot open Comm Port 1 (plain): not a serial port")},
        {QStringLiteral("dir"), QStringLiteral("Cannot open Comm Port 1 (dir): Is a directory")},
        {QStringLiteral("/dev/pts/99"),
         QStringLiteral("Cannot open Comm Port 1 (/dev/pts/99): No such file or directory")},
        {QString(), QStringLiteral("Cannot open Comm Port 1: no serial device for it")},
    };
    for (const auto &[port, message] : cases) {
        c.port1 = port;
        c.loader.f().Option1->click();
        EXPECT_EQ(c.loader.status(), message);
        EXPECT_FALSE(c.loader.f().Option1->isChecked());
    }
}

// The options show the port chosen, and none before one is; back in USB mode the first
// option, the device load, is set whatever port was chosen or refused.
TEST(SerialLoad, TheOptionsShowWhatIsChosen)
{
    CommPort c;
    FlashUtilityForm &f = c.loader.f();
    for (QRadioButton *refused : {static_cast<QRadioButton *>(nullptr), f.Option2, f.Option1}) {
        f.Check3->click();
        EXPECT_TRUE(f.Option1->isChecked());
        EXPECT_FALSE(f.Option2->isChecked());
        EXPECT_EQ(f.Command1->text(), "Load Qwil Device");
        f.Check3->click();
        EXPECT_FALSE(f.Option1->isChecked());
        EXPECT_FALSE(f.Option2->isChecked());
        c.click(f.Command1);
        EXPECT_EQ(c.loader.status(), "No Comm Port Selected");
        c.port1 = QStringLiteral("/dev/null");
        if (refused)
            refused->click();
        c.port1.reset();
    }
}

// Whatever is not a regular file of sane size is refused at once, with the reason,
// before a byte goes out: nothing waits for a pipe's writer or reads a device forever.
TEST(SerialLoad, FilesThatAreNotRegularAreRefusedAtOnce)
{
    CommPort c;
    if (!c.board->isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    const auto path = [&](const char *name) { return c.loader.folder.path(QString::fromLatin1(name)); };
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.hex")).constData(), 0600), 0);
    QDir().mkdir(path("dir.hex"));
    QFile::link(path("loop2.hex"), path("loop.hex"));
    QFile::link(path("loop.hex"), path("loop2.hex"));
    QFile big(path("big.hex"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(32 * 1024 * 1024 + 1));
    big.close();
    const std::pair<const char *, const char *> cases[] = {
        {"./pipe.hex", "Cannot read pipe.hex: not a regular file (a pipe)"},
        {"/dev/zero", "Cannot read /dev/zero: not a regular file (a device)"},
        {"./dir.hex", "Cannot read dir.hex: Is a directory"},
        {"./loop.hex", "Cannot read loop.hex: Too many levels of symbolic links"},
        {"./big.hex", "Cannot read big.hex: larger than 33554432 bytes"},
    };
    for (const auto &[file, message] : cases) {
        c.serial().start(QString::fromLatin1(file), SerialLoader::Request::Application);
        EXPECT_EQ(c.loader.status(), message);
    }
    QFile::remove(path("FlshLdr.dwn"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("FlshLdr.dwn")).constData(), 0600), 0);
    c.click(c.loader.f().Command2);
    EXPECT_EQ(c.loader.status(), "Cannot read FlshLdr.dwn: not a regular file (a pipe)");
    EXPECT_TRUE(c.board->model().bootImage().empty()) << "nothing reached the board";
    EXPECT_EQ(FirmwareChoice::checkWholeFile(QStringLiteral("/dev/zero")), "Invalid Load File");
}



namespace {
// The text with one line's last checksum digit changed, so that line no longer reads.
QByteArray spoilLine(QByteArray text, int line)
{
    QList<QByteArray> lines = text.split('\n');
    QByteArray &spoilt = lines[line];
    const qsizetype last = spoilt.endsWith('\r') ? spoilt.size() - 2 : spoilt.size() - 1;
    spoilt[last] = spoilt[last] == '0' ? '1' : '0';
    return lines.join('\n');
}
} // namespace

TEST(SerialLoad, FilesThatAreNotSoundAreRefusedBeforeAnyByteGoesOut)
{
    struct Case {
        const char *file;
        std::function<QByteArray(const QByteArray &)> content; // nothing: the file is gone
        bool erase;
        const char *message;
    };
    const auto text = [](const char *t) { return [t](const QByteArray &) { return QByteArray(t); }; };
    const auto spoil = [](int line) { return [line](const QByteArray &demo) { return spoilLine(demo, line); }; };
    const auto ahead = [](const char *t) { return [t](const QByteArray &demo) { return QByteArray(t) + demo; }; };
    const Case cases[] = {
        {"Board-0100.hex", text(""), false, "Invalid Load File Board-0100.hex - No Data"},
        {"Board-0100.hex", text("\r\n"), false, "Invalid Load File Board-0100.hex - No Data"},
        {"Board-0100.hex", text("S9030000FC\r\n"), false, "Invalid Load File Board-0100.hex - No Data"},
        {"Board-0100.hex", spoil(200), false, "Invalid Load File Board-0100.hex - Line 201: wrong checksum"},
        {"Board-0100.hex", nullptr, false, "Cannot read Board-0100.hex: No such file or directory"},
        {"Board-0100.hex", ahead("S0030000fc\r\n"), false,
         "Invalid Load File Board-0100.hex - Line 1: lower-case hexadecimal digit"},
        {"Board-0100.hex", ahead("\xEF\xBB\xBF"), false,
         "Invalid Load File Board-0100.hex - Line 1: begins with a byte-order mark"},
        {"Board-0100.hex", ahead("S30900010000010203EF\r\n"), false,
         "Invalid Load File Board-0100.hex - Line 1: S3 and S7 records (32-bit addresses) are not taken"},
        {"Board-0100.hex", [](const QByteArray &demo) { return demo.left(demo.lastIndexOf("\r\nS8") + 2) + "S80400"; },
         false, "Invalid Load File Board-0100.hex - Line 258: cut short: fewer bytes than its count"},
        {"Board-0100.hex", [](const QByteArray &demo) { return demo + s2(0xF00000, {1, 2}); }, false,
         "Invalid Load File Board-0100.hex - Line 259: address F00000 beyond the flash (0-EFFFF)"},
        {"Board-0100.hex", [](const QByteArray &demo) { return s2(0, Bytes(16, 0)) + s2(0xEFFF8, Bytes(16, 0)) + demo; },
         false, "Invalid Load File Board-0100.hex - Line 2: address EFFF8 beyond the flash (0-EFFFF)"},
        {"BootLdr.dwn", spoil(1), false, "Invalid Load File BootLdr.dwn - Line 2: wrong checksum"},
        {"BootLdr.dwn", text(""), true, "Invalid Load File BootLdr.dwn - No Data"},
        {"BootLdr.dwn", text("garbage\r\n"), true, "Invalid Load File BootLdr.dwn - Line 1: not an S-record"},
        {"FlshLdr.dwn", spoil(4), true, "Invalid Load File FlshLdr.dwn - Line 5: wrong checksum"},
        {"FlshLdr.dwn", nullptr, false, "Cannot read FlshLdr.dwn: No such file or directory"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(std::string(k.file) + " -> " + k.message);
        CommPort c;
        if (!c.board->isOpen())
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        if (k.content)
            c.write(k.file, k.content(c.read(k.file)));
        else
            QFile::remove(c.loader.folder.path(QString::fromLatin1(k.file)));
        if (k.erase)
            c.click(c.loader.f().Command2);
        else
            c.serial().start(QStringLiteral("./Board-0100.hex"), SerialLoader::Request::Application);
        c.runUntil([] { return false; }, 10000);
        EXPECT_EQ(c.loader.status(), k.message);
        EXPECT_EQ(c.loader.statusColour(), FlashLoader::Error);
        EXPECT_TRUE(c.board->model().bootImage().empty()) << "nothing reached the board";
        EXPECT_TRUE(c.board->model().commands().empty());
        EXPECT_FALSE(c.serial().running());
        EXPECT_TRUE(c.loader.f().Command1->isEnabled());
    }
}

TEST(SerialLoad, LinesThatAreNotDataArePassedOverWhereverTheyStand)
{
    struct Case {
        const char *what;
        const char *file;
        std::function<QByteArray(const QByteArray &)> edit;
    };
    const Case cases[] = {
        {"an application with one more line end", "Board-0100.hex", [](const QByteArray &t) { return t + "\r\n"; }},
        {"an application with a blank line in its middle", "Board-0100.hex",
         [](QByteArray t) { return t.insert(t.indexOf("\r\nS2", 4000) + 2, "\r\n"); }},
        {"two files joined", "Board-0100.hex",
         [](QByteArray t) { return t.insert(t.indexOf("\r\nS2", 4000) + 2, "S9030000FC\r\nS00600004844521B\r\n"); }},
        {"a flash loader with a blank line at its end", "FlshLdr.dwn", [](const QByteArray &t) { return t + "\r\n"; }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        CommPort c;
        if (!c.board->isOpen())
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        c.write(k.file, k.edit(c.read(k.file)));
        ASSERT_TRUE(c.loader.clickFile(QStringLiteral("Board-0100.hex")));
        ASSERT_TRUE(c.run(c.loader.f().Command1));
        EXPECT_EQ(c.loader.status(), LoadComplete);
        EXPECT_EQ(c.flashLoadDifferences(), 0u);
        EXPECT_EQ(flashDifferences(c.board->model().loaderMemory(),
                                   expectedImages(c.loader.folder.path(QStringLiteral("FlshLdr.dwn")), 0, true)),
                  0u);
        for (const Bytes &command : c.board->model().commands())
            EXPECT_FALSE(command[0] == 'f' && command[5] == 0 && command[6] == 0) << "an empty frame went out";
    }
}

// Every step of a serial load and of an erase, with the board silent, the board gone, a
// wrong reply, a second start or a switch to USB mode: each ends in its own message within
// the watchdog's time, never "complete" over a flash that differs from the file, with no
// timer left running; a run started afterwards on a fresh board completes.
TEST(SerialFaults, EveryStepOfALoadAndAnEraseEndsInItsOwnMessage)
{
    enum class Fault { Silent, Gone, Wrong, SecondStart, LeaveMode };
    const char *const names[] = {"board silent", "board gone", "wrong reply", "second start", "USB ticked"};
    for (const bool erase : {false, true}) {
        const char *const complete = erase ? "Flash Erase Complete" : LoadComplete;
        std::vector<Bytes> steps;
        {
            CommPort clean;
            if (!clean.board->isOpen())
                GTEST_SKIP() << "no pseudo-terminal on this machine";
            ASSERT_TRUE(clean.loader.clickFile(QStringLiteral("Board-0100.hex")));
            ASSERT_TRUE(clean.run(erase ? clean.loader.f().Command2 : clean.loader.f().Command1));
            ASSERT_EQ(clean.loader.status(), complete);
            steps = clean.board->model().commands();
        }
        ASSERT_EQ(steps.size(), erase ? 7u : 12u) << "d, two loader frames and their g, h, then d 04 or d 02, "
                                                     "four application frames and i";
        bool speedSwitched = false;
        for (std::size_t step = 0; step < steps.size(); ++step) {
            const Bytes &command = steps[step];
            // Loader frames are answered after "g"; "h" is not answered, and the application
            // blocks go out whether or not "d 02" was.
            const bool answerAwaited = !(command[0] == 'h' || (command[0] == 'f' && !speedSwitched) ||
                                         (command[0] == 'd' && command.size() == 2 && command[1] == 0x02));
            speedSwitched = speedSwitched || command[0] == 'h';
            const int watchdogMs = command[0] == 'd' && command.size() > 1 && command[1] != 0x02
                                       ? SerialLoader::EraseWatchdogMs
                                       : SerialLoader::ReplyWatchdogMs;
            for (const Fault fault : {Fault::Silent, Fault::Gone, Fault::Wrong, Fault::SecondStart, Fault::LeaveMode}) {
                SCOPED_TRACE(std::string(erase ? "erase" : "load") + ", " + names[static_cast<int>(fault)] +
                             " at command " + std::to_string(step));
                CommPort c;
                FlashUtilityForm &f = c.loader.f();
                QAbstractButton *const start = erase ? f.Command2 : f.Command1;
                ASSERT_TRUE(c.loader.clickFile(QStringLiteral("Board-0100.hex")));
                const QString device = c.board->slaveName();
                std::int64_t faultAt = -1;
                int beepsAtFault = 0;
                c.board->setInterference([&, step, fault](std::size_t taken) {
                    if (taken != step)
                        return PtyBoard::Answer::AsUsual;
                    faultAt = c.loader.bus.now();
                    beepsAtFault = Beep::count();
                    switch (fault) {
                    case Fault::Silent: return PtyBoard::Answer::Withheld;
                    case Fault::Gone: return PtyBoard::Answer::HangUp;
                    case Fault::Wrong: return PtyBoard::Answer::Wrong;
                    case Fault::SecondStart:
                        c.click(f.Command1);
                        c.click(f.Command2);
                        emit f.File1->itemDoubleClicked(f.File1->currentItem());
                        f.Option2->click();
                        break;
                    case Fault::LeaveMode: f.Check3->click(); break;
                    }
                    return PtyBoard::Answer::AsUsual;
                });
                QSignalSpy portErrors(f.MSComm1, &QSerialPort::errorOccurred);
                ASSERT_TRUE(c.run(start));
                ASSERT_GE(faultAt, 0);

                QString expected = QString::fromLatin1(complete);
                if (fault == Fault::Gone)
                    expected = QStringLiteral("Comm Port 1 Lost (") + device + QStringLiteral(") - Check Cable");
                else if ((fault == Fault::Silent || fault == Fault::Wrong) && answerAwaited)
                    expected = QStringLiteral("No Response From Device");
                EXPECT_EQ(c.loader.status(), expected);
                if (expected != QString::fromLatin1(complete)) {
                    EXPECT_LE(c.loader.bus.now() - faultAt, 3 * watchdogMs + 50) << "ended within the watchdog's time";
                }
                if (expected == QStringLiteral("No Response From Device")) {
                    EXPECT_EQ(Beep::count() - beepsAtFault, 2) << "the status beeps, and the give-up";
                }
                if (!erase && c.loader.status() == LoadComplete) {
                    EXPECT_EQ(c.flashLoadDifferences(), 0u);
                }
                EXPECT_FALSE(c.anyTimerRunning());
                EXPECT_FALSE(f.Check3->isChecked()) << "Comm Port mode stays while a run is in hand";
                EXPECT_TRUE(f.Option1->isChecked());
                if (fault == Fault::Gone) {
                    EXPECT_FALSE(f.MSComm1->isOpen());
                    c.runUntil([] { return false; }, 100);
                    const auto failures =
                        std::count_if(portErrors.begin(), portErrors.end(), [](const QList<QVariant> &e) {
                            return e.at(0).value<QSerialPort::SerialPortError>() != QSerialPort::NoError;
                        });
                    EXPECT_LE(failures, 2) << "a lost port stops signalling";
                }

                c.board = std::make_unique<PtyBoard>();
                ASSERT_TRUE(c.run(start));
                EXPECT_EQ(c.loader.status(), complete);
                if (!erase) {
                    EXPECT_EQ(c.flashLoadDifferences(), 0u);
                }
            }
        }
    }
}
