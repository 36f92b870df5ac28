// The serial loader on its own, without a window: the loader on a pseudo-terminal with the
// emulated board behind it, on the manual clock.
#include "engines/flash/SerialLoader.h"
#include "FlashImages.h"
#include "QtPrinters.h"
#include "SerialBoardRun.h"
#include "WorkingFolder.h"
#include "board/PtyBoard.h"
#include "core/Beep.h"
#include "core/FormTimer.h"
#include "core/TimeSource.h"
#include "engines/flash/FirmwareChoice.h"
#include "engines/flash/LoadStatus.h"
#include "engines/flash/SerialLine.h"
#include "engines/flash/SerialProtocol.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <optional>

using emu::Bytes;

namespace {

// The serial run on its own: the loader on COM port 1, the emulated board on a
// pseudo-terminal behind it, and a face that keeps the last status, on the manual clock.
struct SerialRun final : LoadEvents {
    explicit SerialRun(const emu::BoardModel::Faults &faults = {})
    {
        board->model().setFaults(faults);
        folder.copyDemo(LoaderFiles);
        QObject::connect(&loader, &SerialLoader::ended, [this](const LoadOutcome &o) { outcome = o; });
        loader.choosePort(1);
    }
    void status(const QString &text, Tone t) override
    {
        said = text;
        tone = t;
    }
    void loadStatus(int code) override { status(LoadStatus::text(code), Tone::Failed); }

    // Starts the request and runs until it has ended; false when it never does.
    bool run(SerialLoader::Request request = SerialLoader::Request::Application)
    {
        outcome.reset();
        loader.start(u"./Board-0100.hex"_s, request);
        return runUntil(time, [&] { return outcome.has_value(); });
    }
    std::size_t differences(const emu::FlashMemory &held, const char *file)
    {
        return flashDifferences(held, expectedImages(folder.path(QString::fromLatin1(file)), 0, true));
    }
    bool anyTimerRunning()
    {
        const QList<FormTimer *> timers = owner.findChildren<FormTimer *>();
        return std::any_of(timers.begin(), timers.end(), [](const FormTimer *t) { return t->isEnabled(); });
    }
    QString path(const char *name) const { return folder.path(QString::fromLatin1(name)); }
    void write(const char *name, const QByteArray &text) { folder.write(QString::fromLatin1(name), text); }
    QByteArray read(const char *name) { return folder.read(QString::fromLatin1(name)); }

    TimeSource::ManualTimeScope time;
    WorkingFolder folder;
    std::unique_ptr<PtyBoard> board = std::make_unique<PtyBoard>();
    QObject owner;
    QSerialPort port;
    SerialPortLine line{&port, &owner};
    SerialLoader loader{line, *this, [this](int) { return board->slaveName(); }, &owner};
    QString said;
    Tone tone = Tone::Working;
    std::optional<LoadOutcome> outcome;
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

// The text with one line's last checksum digit changed, so that line no longer reads.
QByteArray spoilLine(QByteArray text, int line)
{
    QList<QByteArray> lines = text.split('\n');
    QByteArray &spoilt = lines[line];
    const qsizetype last = spoilt.endsWith('\r') ? spoilt.size() - 2 : spoilt.size() - 1;
    spoilt[last] = spoilt[last] == '0' ? '1' : '0';
    return lines.join('\n');
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

    const auto image = SerialProtocol::bootImage({u"S0030000FC"_s, u"S20800001001020304DD"_s});
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), 601u);
    Bytes expected(601, 0);
    for (int i = 0; i < 4; ++i)
        expected[static_cast<std::size_t>(16 + i)] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(*image, expected);
    QString why;
    EXPECT_FALSE(SerialProtocol::bootImage({u"S10702560102030496"_s}, &why)) << "bytes past 600";
    EXPECT_FALSE(why.isEmpty());

    EXPECT_EQ(SerialProtocol::blockFrame(0x12345, {0x01, 0x02, 0x03}),
              (Bytes{'f', 0x00, 0x01, 0x23, 0x45, 0x00, 0x03, 0x01, 0x02, 0x03, 0xFF, 0xFA}));
    EXPECT_EQ(SerialProtocol::checksumRequest(0x1000, 0x10FF), (Bytes{'i', 0, 0, 0x10, 0, 0, 0, 0x10, 0xFF}));
    EXPECT_EQ(*SerialProtocol::reportedChecksum({'i', 0x00, 0x00, 0xFF, 0x00}), 65280u);
    EXPECT_FALSE(SerialProtocol::reportedChecksum({'i', 0x00, 0x00}));
}

// Whatever lines that are not data stand between the records, the board ends up holding
// the boot image, the flash loader and the application as their files give them.
TEST(SerialLoad, TheBoardHoldsWhatTheFilesGive)
{
    struct Case {
        const char *what;
        const char *file;
        std::function<QByteArray(QByteArray)> edit;
    };
    const Case cases[] = {
        {"the files as shipped", "Board-0100.hex", [](const QByteArray &t) { return t; }},
        {"an application with one more line end", "Board-0100.hex", [](const QByteArray &t) { return t + "\r\n"; }},
        {"an application with a blank line in its middle", "Board-0100.hex",
         [](QByteArray t) { return t.insert(t.indexOf("\r\nS2", 4000) + 2, "\r\n"); }},
        {"two files joined", "Board-0100.hex",
         [](QByteArray t) { return t.insert(t.indexOf("\r\nS2", 4000) + 2, "S9030000FC\r\nS00600004844521B\r\n"); }},
        {"a flash loader with a blank line at its end", "FlshLdr.dwn", [](const QByteArray &t) { return t + "\r\n"; }},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        SerialRun r;
        if (!r.board->isOpen())
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        r.write(k.file, k.edit(r.read(k.file)));
        ASSERT_TRUE(r.run());
        EXPECT_EQ(r.said, LoadComplete);
        EXPECT_EQ(r.tone, LoadEvents::Tone::Completed);
        EXPECT_TRUE(r.outcome->completed());
        const auto boot = SerialProtocol::bootImage(*RecordFile::readLines(r.folder.path(u"BootLdr.dwn"_s)));
        EXPECT_EQ(r.board->model().bootImage(), Bytes(boot->begin(), boot->begin() + 581));
        EXPECT_EQ(r.differences(r.board->model().loaderMemory(), "FlshLdr.dwn"), 0u);
        EXPECT_EQ(r.differences(r.board->model().flash(), "Board-0100.hex"), 0u);
        for (const Bytes &command : r.board->model().commands())
            EXPECT_FALSE(command[0] == 'f' && command[5] == 0 && command[6] == 0) << "an empty frame went out";
    }
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
        SerialRun r;
        if (!r.board->isOpen())
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        QByteArray file = "S0030000FC\r\n";
        std::map<std::uint32_t, std::uint8_t> image;
        for (const auto &[address, data] : k.records) {
            file += s2(address, data);
            for (std::size_t i = 0; i < data.size(); ++i)
                image[static_cast<std::uint32_t>(address) + static_cast<std::uint32_t>(i)] = data[i];
        }
        r.write("Board-0100.hex", file + "S804000000FB\r\n");
        ASSERT_TRUE(r.run());
        EXPECT_EQ(r.said, LoadComplete);
        EXPECT_EQ(r.board->model().flash().written(), image);
        const std::uint32_t first = image.begin()->first, last = image.rbegin()->first;
        EXPECT_EQ(r.board->model().commands().back(), SerialProtocol::checksumRequest(first, last));
        EXPECT_EQ(static_cast<std::uint32_t>(r.loader.expectedChecksum()), r.board->model().flash().sum(first, last));
    }
}

TEST(SerialLoad, BoardFaultsEndInTheirMessages)
{
    struct Case {
        const char *what;
        emu::BoardModel::Faults faults;
        SerialLoader::Request request;
        const char *message;
    };
    const auto faults = [](auto set) {
        emu::BoardModel::Faults f;
        set(f);
        return f;
    };
    using Request = SerialLoader::Request;
    const Case cases[] = {
        {"erase error", faults([](auto &f) { f.eraseError = '2'; }), Request::EraseAll, "Flash Erase Error!"},
        {"programming error", faults([](auto &f) { f.programmingError = '6'; }), Request::Application,
         "Programming Error!"},
        {"wrong checksum", faults([](auto &f) { f.wrongChecksum = true; }), Request::Application, "Checksum Error!"},
        {"split report", faults([](auto &f) { f.splitReport = true; }), Request::Application, LoadComplete},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        SerialRun r(k.faults);
        if (!r.board->isOpen())
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        r.loader.start(u"./Board-0100.hex"_s, k.request);
        ASSERT_TRUE(runUntil(r.time, [&] {
            if (r.said == u"Verifying Checksum"_s)
                QTest::qWait(5); // a report's second piece comes a little later
            return r.outcome.has_value();
        })) << r.said.toStdString();
        EXPECT_EQ(r.said, k.message);
        EXPECT_EQ(r.outcome->completed(), k.message == LoadComplete);
        r.time.clock().advance(60000);
        QCoreApplication::processEvents();
        EXPECT_EQ(r.said, k.message) << "nothing more happens";
        EXPECT_FALSE(r.loader.running());
    }
}

// Whatever is not sound, or not a regular file of sane size, is refused at once with the
// reason, before a byte goes out: nothing waits for a pipe's writer or reads a device forever.
TEST(SerialLoad, FilesThatAreNotSoundAreRefusedBeforeAnyByteGoesOut)
{
    using Prepare = std::function<void(SerialRun &, const char *file)>;
    const auto edit = [](std::function<QByteArray(const QByteArray &)> change) -> Prepare {
        return [change](SerialRun &r, const char *file) { r.write(file, change(r.read(file))); };
    };
    const auto text = [&](const char *t) { return edit([t](const QByteArray &) { return QByteArray(t); }); };
    const auto spoil = [&](int line) { return edit([line](const QByteArray &demo) { return spoilLine(demo, line); }); };
    const auto ahead = [&](const char *t) { return edit([t](const QByteArray &demo) { return t + demo; }); };
    const Prepare removed = [](SerialRun &r, const char *file) { QFile::remove(r.path(file)); };
    const Prepare pipe = [](SerialRun &r, const char *file) {
        QFile::remove(r.path(file));
        ASSERT_EQ(::mkfifo(QFile::encodeName(r.path(file)).constData(), 0600), 0);
    };
    const Prepare folder = [](SerialRun &r, const char *file) { QDir().mkdir(r.path(file)); };
    const Prepare loop = [](SerialRun &r, const char *file) {
        QFile::link(r.path("loop2.hex"), r.path(file));
        QFile::link(r.path(file), r.path("loop2.hex"));
    };
    const Prepare big = [](SerialRun &r, const char *file) {
        QFile f(r.path(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(32 * 1024 * 1024 + 1));
    };
    const Prepare none = [](SerialRun &, const char *) {};
    struct Case {
        const char *file;
        Prepare prepare;
        SerialLoader::Request request;
        const char *message;
        const char *application = "./Board-0100.hex";
    };
    const auto load = SerialLoader::Request::Application, erase = SerialLoader::Request::EraseAll;
    const Case cases[] = {
        {"Board-0100.hex", text(""), load, "Invalid Load File Board-0100.hex - No Data"},
        {"Board-0100.hex", text("\r\n"), load, "Invalid Load File Board-0100.hex - No Data"},
        {"Board-0100.hex", text("S9030000FC\r\n"), load, "Invalid Load File Board-0100.hex - No Data"},
        {"Board-0100.hex", spoil(200), load, "Invalid Load File Board-0100.hex - Line 201: wrong checksum"},
        {"Board-0100.hex", removed, load, "Cannot read Board-0100.hex: No such file or directory"},
        {"Board-0100.hex", ahead("S0030000fc\r\n"), load,
         "Invalid Load File Board-0100.hex - Line 1: lower-case hexadecimal digit"},
        {"Board-0100.hex", ahead("\xEF\xBB\xBF"), load,
         "Invalid Load File Board-0100.hex - Line 1: begins with a byte-order mark"},
        {"Board-0100.hex", ahead("S30900010000010203EF\r\n"), load,
         "Invalid Load File Board-0100.hex - Line 1: S3 and S7 records (32-bit addresses) are not taken"},
        {"Board-0100.hex",
         edit([](const QByteArray &demo) { return demo.left(demo.lastIndexOf("\r\nS8") + 2) + "S80400"; }), load,
         "Invalid Load File Board-0100.hex - Line 258: cut short: fewer bytes than its count"},
        {"Board-0100.hex", edit([](const QByteArray &demo) {
             return demo + s2(0xF00000, {1, 2});
         }),
         load, "Invalid Load File Board-0100.hex - Line 259: address F00000 beyond the flash (0-EFFFF)"},
        {"Board-0100.hex",
         edit([](const QByteArray &demo) { return s2(0, Bytes(16, 0)) + s2(0xEFFF8, Bytes(16, 0)) + demo; }), load,
         "Invalid Load File Board-0100.hex - Line 2: address EFFF8 beyond the flash (0-EFFFF)"},
        {"BootLdr.dwn", spoil(1), load, "Invalid Load File BootLdr.dwn - Line 2: wrong checksum"},
        {"BootLdr.dwn", text(""), erase, "Invalid Load File BootLdr.dwn - No Data"},
        {"BootLdr.dwn", text("garbage\r\n"), erase, "Invalid Load File BootLdr.dwn - Line 1: not an S-record"},
        {"FlshLdr.dwn", spoil(4), erase, "Invalid Load File FlshLdr.dwn - Line 5: wrong checksum"},
        {"FlshLdr.dwn", removed, load, "Cannot read FlshLdr.dwn: No such file or directory"},
        {"FlshLdr.dwn", pipe, erase, "Cannot read FlshLdr.dwn: not a regular file (a pipe)"},
        {"pipe.hex", pipe, load, "Cannot read pipe.hex: not a regular file (a pipe)", "./pipe.hex"},
        {"dir.hex", folder, load, "Cannot read dir.hex: Is a directory", "./dir.hex"},
        {"loop.hex", loop, load, "Cannot read loop.hex: Too many levels of symbolic links", "./loop.hex"},
        {"big.hex", big, load, "Cannot read big.hex: larger than 33554432 bytes", "./big.hex"},
        {"zero", none, load, "Cannot read /dev/zero: not a regular file (a device)", "/dev/zero"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(std::string(k.file) + " -> " + k.message);
        SerialRun r;
        if (!r.board->isOpen())
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        k.prepare(r, k.file);
        r.loader.start(QString::fromLatin1(k.application), k.request);
        runUntil(
            r.time, [] { return false; }, 10000);
        EXPECT_EQ(r.said, k.message);
        EXPECT_EQ(r.tone, LoadEvents::Tone::Failed);
        ASSERT_TRUE(r.outcome);
        EXPECT_EQ(r.outcome->kind, LoadOutcome::Kind::Refused);
        EXPECT_TRUE(r.board->model().bootImage().empty()) << "nothing reached the board";
        EXPECT_TRUE(r.board->model().commands().empty());
        EXPECT_FALSE(r.loader.running());
    }
    EXPECT_EQ(FirmwareChoice::checkWholeFile(u"/dev/zero"_s, false).why(), "Invalid Load File");
}

// Every step of a serial load and of an erase, with the board silent, the board gone, a
// wrong reply or a second start: each ends in its own message within the watchdog's time,
// never "complete" over a flash that differs from the file, with no timer left running; a
// run started afterwards on a fresh board completes.
TEST(SerialFaults, EveryStepOfALoadAndAnEraseEndsInItsOwnMessage)
{
    enum class Fault { Silent, Gone, Wrong, SecondStart };
    const char *const names[] = {"board silent", "board gone", "wrong reply", "second start"};
    using Request = SerialLoader::Request;
    for (const Request request : {Request::Application, Request::EraseAll}) {
        const bool erase = request == Request::EraseAll;
        const QString complete = QString::fromLatin1(erase ? "Flash Erase Complete" : LoadComplete);
        std::vector<Bytes> steps;
        {
            SerialRun clean;
            if (!clean.board->isOpen())
                GTEST_SKIP() << "no pseudo-terminal on this machine";
            ASSERT_TRUE(clean.run(request));
            ASSERT_EQ(clean.said, complete);
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
            for (const Fault fault : {Fault::Silent, Fault::Gone, Fault::Wrong, Fault::SecondStart}) {
                SCOPED_TRACE(std::string(erase ? "erase" : "load") + ", " + names[static_cast<int>(fault)] +
                             " at command " + std::to_string(step));
                SerialRun r;
                const QString device = r.board->slaveName();
                std::int64_t faultAt = -1;
                int beepsAtFault = 0;
                r.board->setInterference([&, step, fault](std::size_t taken) {
                    if (taken != step)
                        return PtyBoard::Answer::AsUsual;
                    faultAt = r.time.clock().nowMs();
                    beepsAtFault = Beep::count();
                    switch (fault) {
                    case Fault::Silent: return PtyBoard::Answer::Withheld;
                    case Fault::Gone: return PtyBoard::Answer::HangUp;
                    case Fault::Wrong: return PtyBoard::Answer::Wrong;
                    case Fault::SecondStart:
                        r.loader.start(u"./Board-0100.hex"_s, Request::Application);
                        r.loader.start(u"./Board-0100.hex"_s, Request::EraseAll);
                        break;
                    }
                    return PtyBoard::Answer::AsUsual;
                });
                QSignalSpy portErrors(&r.port, &QSerialPort::errorOccurred);
                ASSERT_TRUE(r.run(request));
                ASSERT_GE(faultAt, 0);

                QString expected = complete;
                if (fault == Fault::Gone)
                    expected = u"Comm Port 1 Lost ("_s + device + u") - Check Cable"_s;
                else if ((fault == Fault::Silent || fault == Fault::Wrong) && answerAwaited)
                    expected = u"No Response From Device"_s;
                EXPECT_EQ(r.said, expected);
                EXPECT_EQ(r.outcome->completed(), expected == complete);
                if (expected != complete) {
                    EXPECT_LE(r.time.clock().nowMs() - faultAt, 3 * watchdogMs + 50)
                        << "ended within the watchdog's time";
                }
                if (expected == u"No Response From Device"_s) {
                    EXPECT_EQ(Beep::count() - beepsAtFault, 1) << "the give-up beeps";
                }
                if (!erase && r.said == LoadComplete) {
                    EXPECT_EQ(r.differences(r.board->model().flash(), "Board-0100.hex"), 0u);
                }
                EXPECT_FALSE(r.anyTimerRunning());
                if (fault == Fault::Gone) {
                    EXPECT_FALSE(r.port.isOpen());
                    runUntil(
                        r.time, [] { return false; }, 100);
                    const auto failures =
                        std::count_if(portErrors.begin(), portErrors.end(), [](const QList<QVariant> &e) {
                            return e.at(0).value<QSerialPort::SerialPortError>() != QSerialPort::NoError;
                        });
                    EXPECT_LE(failures, 2) << "a lost port stops signalling";
                }

                r.board = std::make_unique<PtyBoard>();
                ASSERT_TRUE(r.run(request));
                EXPECT_EQ(r.said, complete);
                if (!erase) {
                    EXPECT_EQ(r.differences(r.board->model().flash(), "Board-0100.hex"), 0u);
                }
            }
        }
    }
}
