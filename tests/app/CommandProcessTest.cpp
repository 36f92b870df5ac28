// The program's commands run as a technician's script runs them: a process on the
// emulated bus, its standard output, standard error and exit status.
#include "FlashImages.h"
#include "ProcessRun.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "board/PtyBoard.h"
#include "terminal/Commands.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <csignal>
#include <memory>
#include <vector>

namespace {
// The built program's process made ready to start in folder; scenario, when given, is the
// emulated bus.
void prepare(QProcess &process, const QString &folder, const QString &scenario)
{
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"QT_QPA_PLATFORM"_s); // a command needs no display at all
    if (!scenario.isEmpty())
        environment.insert(u"QWILUSB_SCENARIO"_s, scenario);
    process.setProcessEnvironment(environment);
}

// The built program started in folder.
void startService(QProcess &process, const QStringList &arguments, const QString &folder, const QString &scenario = {})
{
    prepare(process, folder, scenario);
    process.start(QStringLiteral(QUILL_SERVICE_PROGRAM), arguments);
}

// Waits for the command's end with this process's events running (a serial board of the
// test lives on them); -1 for a command that crashed or never ended.
Ran finished(QProcess &process)
{
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// The words of a command line that holds no blanks within a word; a word "%1" is the first
// of the values given (a path that may hold blanks), "%2" the second.
QStringList words(const char *line, const QStringList &values = {})
{
    QStringList all = QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString &word : all) {
        for (qsizetype i = 0; i < values.size(); ++i)
            word.replace(u"%%1"_s.arg(i + 1), values[i]);
    }
    return all;
}

Ran service(const QStringList &arguments, const QString &folder, const QString &scenario = {})
{
    QProcess process;
    startService(process, arguments, folder, scenario);
    return finished(process);
}

// The command line as a script's shell runs it, redirections and all.
Ran shell(const char *line, const QString &folder, const QString &scenario)
{
    QProcess process;
    prepare(process, folder, scenario);
    process.start(u"/bin/sh"_s,
                  {u"-c"_s, u"exec \"$0\" "_s + QString::fromLatin1(line), QStringLiteral(QUILL_SERVICE_PROGRAM)});
    return finished(process);
}
} // namespace

// One situation, one outcome, each said once: what a command writes on standard output
// (exactly; "*" ends a beginning), the reason on standard error, and the status. A dry run
// says what the load says; a device that did not answer is "not loaded" wherever it stands;
// a module lost at any point is status 3, one that failed one address or answered a step
// with a status is not lost; results that cannot be written fail the command; a command
// with nothing to list still prints its empty list.
TEST(ServiceCommands, EachSituationHasItsOutputReasonAndStatus)
{
    WorkingFolder folder;
    const QString here = folder.path(QString());
    folder.copyDemo({u"F4008-0111.hex"_s, u"UsbModule-0103.hex"_s});
    folder.write(u"empty.hex"_s, "S0030000FC\r\n");
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) % 251);
    folder.write(u"noise.mon"_s, noise);
    folder.write(u"words.mon"_s, "   0.000   no row here\r\n");
    folder.write(u"escape.mon"_s, "   1.000   02 C0 \x1B]0;owned\x07\r\n");
    folder.write(u"played.mon"_s, "   0.000   01FA000101    83    Pan Stop\r\n");
    const char *const defaultBus = nullptr, *const folderAsBus = "@folder";
    const char *const hd = "device 1 type 2315 rev 0200\n";
    const char *const lost = "device 1 type 2315 rev 0200 name \"ONE\"\ndevice 3 type 4008 rev 0105 name \"PTZ\"\n"
                             "fault unplug-on GetConfigData 2\n";
    const char *const nak = "device 3 type 4008 rev 0110 name \"PTZ\" load-fault 68 nak 5\n";
    const char *const unplugged = "module unplugged\n";
    const int Completed = ExitStatus::Completed, Failed = ExitStatus::Failed, NoModule = ExitStatus::NoModule;
    struct Case {
        const char *command;
        const char *bus; // the scenario's text
        int status;
        const char *out;           // nullptr: not compared; JSON records as compact text
        const char *err = nullptr; // said once on standard error
    };
    const Case cases[] = {
        {"scan --to=3", defaultBus, Completed,
         "Addr  Name    Type  Rev\n   1  HDOME   2315  0200\n   2  HDOME   2315  0201\n   3  PTZ     4008  0105\n",
         "Scanning Network for Devices"},
        {"scan --to=3 --format json", defaultBus, Completed,
         R"([{"address":1,"name":"HDOME","revision":"0200","type":"2315"},)"
         R"({"address":2,"name":"HDOME","revision":"0201","type":"2315"},)"
         R"({"address":3,"name":"PTZ","revision":"0105","type":"4008"}])"},
        {"scan --to=4", lost, NoModule, "Addr  Name    Type  Rev\n   1  ONE     2315  0200\n",
         "The USB module was lost ("},
        {"load 1 --to=4 --latest", lost, NoModule,
         "Addr  Type  Before  After  Status\n   1  2315  0200    -      not loaded\n"},
        {"monitor --seconds=5", "traffic 400\nfault unplug-on GetData 30\n", NoModule, nullptr,
         "The USB module was lost (USB link error, driver answer 5). Connect the module and try again.\n"},
        {"scan --to=2 >/dev/full", defaultBus, Failed, nullptr, "Cannot write the results: No space left on device"},
        {"scan --to=2 >&-", defaultBus, Failed, nullptr, "Cannot write the results: standard output is closed"},
        {"monitor --play played.mon >/dev/full", defaultBus, Failed, nullptr,
         "Cannot write the results: No space left on device"},
        {"bogus", defaultBus, ExitStatus::Usage, "", "Unknown command: bogus"},
        {"tables missing", defaultBus, Failed, "", "no such folder"},
        {"monitor --play missing.mon", defaultBus, Failed, "", "Cannot open missing.mon: No such file or directory"},
        // Random bytes are not a log; the rule that refuses them is named.
        {"monitor --play noise.mon", defaultBus, Failed, "",
         "Cannot open noise.mon: not a monitor log: it holds binary data (a NUL byte)"},
        // The capture file made before the log failed is not left behind.
        {"monitor --log missing/bus.mon --pcap left.pcap", defaultBus, Failed, "", "Cannot create missing/bus.mon"},
        // A capture file on a full disk fails at its header, before any row.
        {"monitor --play words.mon --pcap /dev/full", defaultBus, Failed, "",
         "Cannot create /dev/full: No space left on device"},
        // A log's control characters never reach the terminal.
        {"monitor --play escape.mon", defaultBus, Completed, "  1.000   02 C0 \\x1B]0;owned\\x07\n"},
        // No command and no display: the windows cannot open, and say so.
        {"", defaultBus, ExitStatus::Usage, "", "quillbus-service: the windows cannot open: "},
        {"scan --help", defaultBus, Completed, "Usage: quillbus-service scan*"},
        {"scan", unplugged, NoModule, nullptr,
         "No USB module (none found, driver answer 8). Connect the module and try again."},
        {"scan", "device 1 type 2315 name \"D\xC3\xB6m\xC3\xA9\"\n", NoModule, nullptr,
         "line 1: name holds printable ASCII characters only"},
        {"scan", folderAsBus, NoModule, nullptr, ": Is a directory; the module is reported as not found"},
        {"load 3 --to=3", nak, Failed,
         "Addr  Type  Before  After  Status\n   3  4008  0110    0111   Checksum Error, Device Adr 3\n"},
        {"load 3 --to=3 --format json", nak, Failed,
         R"([{"address":3,"after":"0111","before":"0110","file":"F4008-0111.hex","outcome":"failed",)"
         R"("status":"Checksum Error, Device Adr 3","type":"4008"}])"},
        {"load 2 3 --to=3 --dry-run", nak, Failed,
         "   2        No answer to the scan: not loaded\n   3  4008  F4008-0111.hex\n"},
        {"load 2 3 --to=3 --dry-run --format=csv", nak, Failed,
         "address,type,file,before,after,status,outcome\n2,,,,-,No answer to the scan: not loaded,not loaded\n"
         "3,4008,F4008-0111.hex,0110,-,,would load\n"},
        // A file that holds no firmware is refused before anything is sent.
        {"load 3 --to=3 --file 3=empty.hex", nak, Failed,
         "Addr  Type  Before  After  Status\n   3  4008  0110    0110   Improper File Format\n"},
        {"load --module UsbModule-0103.hex --dry-run", defaultBus, Completed,
         "UsbModule-0103.hex: would be loaded into the module\n"},
        {"load --module UsbModule-0103.hex", defaultBus, Completed,
         "UsbModule-0103.hex: Load Complete - Recycle Power\n"},
        {"load --module UsbModule-0103.hex", "module load-fault 13 nak 8\n", Failed,
         "UsbModule-0103.hex: Unknown Error = 8*"},
        {"load --module empty.hex", defaultBus, Failed, nullptr, "empty.hex: Invalid Load File"},
        {"load 1 --to=1 --latest --dry-run --format=csv", hd, Failed,
         "address,type,file,before,after,status,outcome\n"
         "1,2315,,0200,-,\"No Loadfile for Device Type = 2315, Adr  1\",refused\n"},
        {"load 1 --to=1 --latest --format=csv", hd, Failed,
         "address,type,file,before,after,status,outcome\n"
         "1,2315,,0200,0200,\"No Loadfile for Device Type = 2315, Adr  1\",refused\n"},
        {"load 3 --to=3 --format=csv", "device 3 type 4008 rev 0105\nfault unplug-on GetConfigData 6\n", NoModule,
         "address,type,file,before,after,status,outcome\n3,4008,F4008-0111.hex,0105,-,Load Complete,loaded\n",
         "The USB module was lost"},
        {"scan --to=2 --format=csv", "device 1 type 2315 rev 0200\nfault result ConfigQwil 5 on 2\n", NoModule,
         "address,name,type,revision\n1,,2315,0200\n", "The USB module was lost"},
        {"monitor --seconds=1", "traffic 20\nfault result QwilAnalyzer 5 on 2\n", NoModule, nullptr,
         "The USB module was lost"},
        {"scan --to=3 --format=csv",
         "device 1 type 2315 rev 0200\ndevice 2 type 2315 rev 0200\ndevice 3 type 2315 rev 0200\n"
         "fault result GetConfigData 5 on 2\nfault result GetConfigData 5 on 3\n",
         Completed, "address,name,type,revision\n1,,2315,0200\n3,,2315,0200\n"},
        {"load 4 6 --to=6 --format=csv --dry-run", defaultBus, Failed,
         "address,type,file,before,after,status,outcome\n4,,,,-,No answer to the scan: not loaded,not loaded\n"
         "6,0147,,0103,-,\"No Loadfile for Device Type = 0147, Adr  6\",refused\n"},
        {"load --all --to=4 --format=csv", "", Failed, "address,type,file,before,after,status,outcome\n",
         "No Devices Selected"},
        {"load --all --to=4 --format=json", "", Failed, "[\n]\n"},
        {"scan --to=4 --format=json", unplugged, NoModule, "[\n]\n", "No USB module"},
        {"scan --to=4 --format=csv", unplugged, NoModule, "address,name,type,revision\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        QString scenario;
        if (c.bus && std::string_view(c.bus) == folderAsBus) {
            scenario = here;
        } else if (c.bus) {
            folder.write(u"row.scenario"_s, c.bus);
            scenario = folder.path(u"row.scenario"_s);
        }
        const Ran ran = shell(c.command, here, scenario);
        EXPECT_EQ(ran.status, c.status) << ran.err.toStdString();
        const QString out = QString::fromUtf8(c.out);
        if (out.startsWith(u"[{"_s)) { // JSON records, compared as compact text
            EXPECT_EQ(QJsonDocument::fromJson(ran.out.toUtf8()).toJson(QJsonDocument::Compact), c.out)
                << ran.out.toStdString();
        } else if (out.endsWith(QLatin1Char('*'))) {
            EXPECT_TRUE(ran.out.startsWith(out.chopped(1))) << ran.out.toStdString();
        } else if (c.out) {
            EXPECT_EQ(ran.out, out);
        }
        if (c.err) {
            EXPECT_EQ(ran.err.count(QString::fromUtf8(c.err)), 1) << ran.err.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(folder.path(u"left.pcap"_s)));
}

// A conversion interrupted halfway fails and leaves no capture file to pass for the log's.
// (The rows a capture prints, filtered, and its log are the Wireshark tests'.)
TEST(ServiceCommands, AnInterruptedConversionLeavesNoFile)
{
    WorkingFolder folder;
    folder.write(u"big.mon"_s, QByteArray("   0.040   05FA000101    A905\r\n").repeated(600000));
    QProcess converting;
    startService(converting, words("monitor --play big.mon --pcap big.pcap"), folder.path(QString()));
    const QFileInfo converted(folder.path(u"big.pcap"_s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(converted.filePath()).size() > 100000; }, 10000));
    ::kill(static_cast<pid_t>(converting.processId()), SIGINT);
    const Ran cut = finished(converting);
    EXPECT_EQ(cut.status, ExitStatus::Failed);
    EXPECT_TRUE(cut.err.contains(u"Interrupted: big.mon not converted"_s)) << cut.err.toStdString();
    EXPECT_FALSE(QFile::exists(converted.filePath()));
}

namespace {
QStringList tableRows(const QString &out)
{
    QStringList rows = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!rows.isEmpty())
        rows.removeFirst(); // the heading
    return rows;
}
} // namespace

namespace {
// Each device's outcome word from a load's JSON records, "address=outcome".
QStringList outcomes(const Ran &ran)
{
    QStringList words;
    for (const QJsonValue &record : QJsonDocument::fromJson(ran.out.toUtf8()).array())
        words << u"%1=%2"_s.arg(record[u"address"_s].toInt()).arg(record[u"outcome"_s].toString());
    return words;
}
} // namespace

// A bus that remembers (the scenario's state file) loaded with --only-older: a device newer
// than its file is current, a later scan shows the loaded revisions, two commands at once
// keep both their loads, and an unreadable state is said, leaves the scenario's revisions
// and is not overwritten. (A dry run and a second run are the Ansible tests'.)
TEST(ServiceCommands, OnlyOlderLoadsWhatIsBehindOnABusThatRemembers)
{
    WorkingFolder folder;
    // The demo firmware with one file per device type, in a folder of its own.
    folder.copyDemo({u"*.hex"_s}, u"firmware"_s);
    QFile::remove(folder.path(u"firmware/F2315-0201.hex"_s));
    const QString firmware = folder.path(u"firmware"_s);
    const QString trace = folder.path(u"trace.txt"_s);
    folder.write(u"bus.scenario"_s,
                 "device 1 type 2315 rev 0201\ndevice 2 type 2315 rev 0202\ndevice 3 type 4008 rev 0112\n"
                 "device 4 type 2315 rev 0200\nstate \"" +
                     QFile::encodeName(folder.path(u"bus.state"_s)) + "\"\ntrace \"" + QFile::encodeName(trace) +
                     "\"\n");
    const QString bus = folder.path(u"bus.scenario"_s);
    const auto load = [&](const QStringList &more) {
        QFile::remove(trace);
        return service(words("load --latest --only-older --format json --to 4 --folder %1", {firmware}) + more,
                       folder.path(QString()), bus);
    };
    const auto downloads = [&] { return QString::fromLatin1(folder.read(u"trace.txt"_s)).count(u"DevDownLoad("_s); };

    const Ran first = load(words("1 2 3"));
    EXPECT_EQ(first.status, ExitStatus::Completed) << first.err.toStdString();
    EXPECT_EQ(outcomes(first), (QStringList{"1=loaded", "2=current", "3=current"}));
    EXPECT_TRUE(first.out.contains(u"Current: holds 0112, the file has 0111"_s)) << first.out.toStdString();
    EXPECT_GT(downloads(), 0);

    // Two commands at once, each loading its own device: the state keeps both.
    QProcess one, other;
    const QStringList moduleLoad = words("load --module %1/UsbModule-0103.hex --only-older", {firmware});
    startService(one, words("load 4 --to 4 --latest --only-older --folder %1", {firmware}), folder.path(QString()),
                 bus);
    startService(other, moduleLoad, folder.path(QString()), bus);
    EXPECT_EQ(finished(one).status, ExitStatus::Completed);
    EXPECT_EQ(finished(other).status, ExitStatus::Completed);
    const Ran scan = service(words("scan --to 4"), folder.path(QString()), bus);
    EXPECT_EQ(tableRows(scan.out), (QStringList{"   1          2315  0202", "   2          2315  0202",
                                                "   3          4008  0112", "   4          2315  0202"}));
    const Ran module = service(moduleLoad, folder.path(QString()), bus);
    EXPECT_EQ(module.status, ExitStatus::Completed);
    EXPECT_TRUE(module.out.endsWith(u"UsbModule-0103.hex: Current: holds 0103, the file has 0103\n"_s))
        << module.out.toStdString();

    folder.write(u"bus.state"_s, "not a state\n");
    const Ran unreadable = service(words("scan --to 1"), folder.path(QString()), bus);
    EXPECT_TRUE(unreadable.err.contains(u"cannot read the bus state"_s)) << unreadable.err.toStdString();
    EXPECT_EQ(tableRows(unreadable.out), QStringList{"   1          2315  0201"});
    // A load over it is not remembered there: the file is left as it is, and that is said.
    const Ran over = load(words("1"));
    EXPECT_EQ(outcomes(over), QStringList{"1=loaded"});
    EXPECT_TRUE(over.err.contains(u"left as it is"_s)) << over.err.toStdString();
    EXPECT_EQ(folder.read(u"bus.state"_s), "not a state\n");
}

// The serial boot loader and the sector erase from a terminal, on an emulated board behind
// a pseudo-terminal: the flash holds the file, the erase sends the sectors' mask, and a port
// or a file that cannot be used ends in its own status.
TEST(ServiceCommands, TheSerialLoaderAndTheEraseRunOnABoard)
{
    PtyBoard board;
    if (!board.isOpen())
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    WorkingFolder folder;
    folder.copyDemo({u"Board-0100.hex"_s, u"BootLdr.dwn"_s, u"FlshLdr.dwn"_s});
    const QString here = folder.path(QString());

    const QStringList port{board.slaveName()};
    const Ran tried = service(words("load --port %1 Board-0100.hex --dry-run", port), here);
    EXPECT_EQ(tried.status, ExitStatus::Completed) << tried.err.toStdString();
    EXPECT_EQ(tried.out, u"Board-0100.hex: would be loaded into the board on "_s + board.slaveName() +
                             u" after BootLdr.dwn and FlshLdr.dwn\n"_s);
    QTest::qWait(200);
    EXPECT_TRUE(board.model().bootImage().empty() && board.model().commands().empty()) << "a dry run sends nothing";

    const Ran loaded = service(words("load --port %1 Board-0100.hex", port), here);
    EXPECT_EQ(loaded.status, ExitStatus::Completed) << loaded.err.toStdString();
    EXPECT_EQ(loaded.out, "Flash Load Complete - Cycle Module Power\n");
    EXPECT_EQ(flashDifferences(board.model().flash(), expectedImages(folder.path(u"Board-0100.hex"_s), 0, true)), 0u);

    board.model().powerCycle();
    const Ran erased = service(words("erase --port %1 --sectors 0,9,21", port), here);
    EXPECT_EQ(erased.status, ExitStatus::Completed) << erased.err.toStdString();
    EXPECT_EQ(erased.out, "Sector Erase Complete\n");
    EXPECT_EQ(board.model().commands().back(), (emu::Bytes{'d', 0x01, 0x20, 0x02, 0x01}));

    board.model().powerCycle();
    // --folder is where the loader files are, not where the file named is looked up.
    folder.copyDemo({u"BootLdr.dwn"_s, u"FlshLdr.dwn"_s}, u"f5"_s);
    folder.write(u"f5/Board-0100.hex"_s, "S0030000FC\r\nnot a record\r\n");
    const Ran inFolder = service(words("load --port %1 --folder f5 Board-0100.hex --dry-run", port), here);
    EXPECT_EQ(inFolder.status, ExitStatus::Completed) << inFolder.err.toStdString();
    const Ran noLoaders = service(words("erase --port %1 --folder . --all", port), folder.path(u"f5"_s));
    EXPECT_EQ(noLoaders.status, ExitStatus::Completed) << noLoaders.err.toStdString();

    const Ran noPort = service(words("erase --port %1 --all", {folder.path(u"no-such-port"_s)}), here);
    EXPECT_EQ(noPort.status, ExitStatus::PortUnavailable);
    EXPECT_EQ(noPort.err.trimmed(),
              u"Cannot open the serial port "_s + folder.path(u"no-such-port"_s) + u": No such file or directory"_s);
}

namespace {
// The driver calls of a trace file, as "Name(arguments)", the version queries left out.
QStringList tracedCalls(const QByteArray &trace)
{
    QStringList calls;
    for (const QByteArray &line : trace.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() >= 2 && fields[1] != "bus" && !fields[1].startsWith("GetQwilUsbVersion"))
            calls << QString::fromLatin1(line.mid(fields[0].size() + 1).split('=').first().trimmed());
    }
    return calls;
}
} // namespace

// However a command is ended from outside (Ctrl-C, Ctrl-C twice in a row, SIGTERM, a dropped
// session's SIGHUP, or a reader that closed its output), it ends one way: the device in hand gets the abort byte,
// the module is released as closing the matching window releases it, what was done is
// written, and the status says so. (A live capture's reader closing Wireshark's FIFO is in
// the Wireshark tests.)
TEST(ServiceCommands, EveryWayACommandIsEndedReleasesTheModule)
{
    WorkingFolder folder;
    const QStringList loaderReleased{u"ConfigQwil(1000, 1, 16)"_s, u"CloseUSBDriver()"_s};
    const QStringList monitorReleased{u"QwilAnalyzer(0, 5)"_s, u"CloseUSBDriver()"_s};
    const QStringList moduleReleased{u"CloseUSBDriver()"_s}, boardReleased{};
    struct Command {
        const char *line;
        const char *runningWhen; // what standard error says once the job is under way; none: a second
        int closedAfterLines;    // lines a closed output takes first; 0: not a way this command ends
        bool abortByte;          // the job in hand is a load
        QStringList released;    // how the trace ends
        int interruptedStatus;
        int closedStatus;
    };
    const int Failed = ExitStatus::Failed, Completed = ExitStatus::Completed;
    const Command commands[] = {
        {"scan --to=10", "Scanning", 1, false, loaderReleased, Failed, Failed},
        {"load 1 2 3 --to=3 --format=csv", "Loading Application File", 3, true, loaderReleased, Failed, Failed},
        {"load --module UsbModule-0103.hex", nullptr, 0, true, moduleReleased, Failed, 0},
        {"monitor --pcap bus.pcap", nullptr, 2, false, monitorReleased, Completed, Failed},
        {"extcap --capture --extcap-interface quillbus --fifo bus.pcap", nullptr, 0, false, monitorReleased, Completed,
         0},
        // The serial loader and the erase, on a board of their own (PORT): no module to release.
        {"load --port PORT Board-0100.hex", "Loading Boot Loader", 1, false, boardReleased, Failed, Failed},
        {"erase --port PORT --all", "Loading Boot Loader", 1, false, boardReleased, Failed, Failed},
    };
    constexpr int TwoInterrupts = 0; // SIGINT, and another before the first has ended the job
    const int endings[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, TwoInterrupts}; // SIGPIPE: the output closed
    for (const Command &c : commands) {
        // The endings of a command run side by side, each on a bus (and board) of its own.
        std::vector<std::unique_ptr<QProcess>> runs;
        std::vector<std::unique_ptr<PtyBoard>> boards;
        for (const int ending : endings) {
            const QString name = QString::number(ending);
            const QString here = folder.path(u"firmware/"_s + name);
            QFile::remove(here + u"/driver.trace"_s);
            folder.copyDemo(
                {u"F4008-0111.hex"_s, u"UsbModule-0103.hex"_s, u"Board-0100.hex"_s, u"BootLdr.dwn"_s, u"FlshLdr.dwn"_s},
                u"firmware/"_s + name);
            QString line = QString::fromLatin1(c.line);
            if (line.contains(u"PORT"_s)) {
                boards.push_back(std::make_unique<PtyBoard>());
                if (!boards.back()->isOpen())
                    GTEST_SKIP() << "no pseudo-terminal on this machine";
                line.replace(u"PORT"_s, boards.back()->slaveName());
            }
            folder.write(u"firmware/"_s + name + u"/bus.scenario"_s,
                         "device 1 type 4008 rev 0105\ndevice 2 type 4008 rev 0105\n"
                         "device 3 type 4008 rev 0105\ntraffic 50\ntrace driver.trace\n");
            auto &run = runs.emplace_back(std::make_unique<QProcess>());
            if (ending == SIGPIPE && c.closedAfterLines == 0)
                continue;
            if (ending != SIGPIPE) {
                startService(*run, line.split(QLatin1Char(' ')), here, here + u"/bus.scenario"_s);
                continue;
            }
            prepare(*run, here, here + u"/bus.scenario"_s);
            run->start(u"/bin/bash"_s,
                       {u"-c"_s,
                        u"set -o pipefail; \"$0\" %1 2>&1 | head -n %2 >/dev/null"_s.arg(line).arg(c.closedAfterLines),
                        QStringLiteral(QUILL_SERVICE_PROGRAM)});
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (endings[i] == SIGPIPE)
                continue;
            QProcess &run = *runs[i];
            QByteArray said;
            if (c.runningWhen) {
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return (said += run.readAllStandardError()).contains(c.runningWhen); }, 20000))
                    << c.line << ": " << said.toStdString();
            } else {
                QTest::qWait(i == 0 ? 1000 : 0);
            }
            const auto pid = static_cast<pid_t>(run.processId());
            ::kill(pid, endings[i] == TwoInterrupts ? SIGINT : endings[i]);
            if (endings[i] == TwoInterrupts)
                ::kill(pid, SIGINT);
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const int ending = endings[i];
            if (ending == SIGPIPE && c.closedAfterLines == 0)
                continue;
            SCOPED_TRACE(std::string(c.line) + ", ended by " +
                         (ending == SIGPIPE         ? "a closed output"
                          : ending == TwoInterrupts ? "two interrupts"
                                                    : strsignal(ending)));
            const Ran ran = finished(*runs[i]);
            if (ending == SIGPIPE) {
                EXPECT_EQ(ran.status, c.closedStatus);
            } else {
                EXPECT_EQ(ran.status, c.interruptedStatus) << ran.err.toStdString();
                if (c.interruptedStatus != ExitStatus::Completed) {
                    EXPECT_TRUE(ran.err.contains(u"Interrupted"_s)) << ran.err.toStdString();
                }
            }
            const QStringList calls =
                tracedCalls(folder.read(u"firmware/"_s + QString::number(ending) + u"/driver.trace"_s));
            ASSERT_GE(calls.size(), c.released.size());
            EXPECT_EQ(calls.mid(calls.size() - c.released.size()), c.released) << calls.join(' ').toStdString();
            if (c.abortByte) {
                const qsizetype abort = calls.lastIndexOf(u"SndModData(1, 27)"_s);
                EXPECT_GE(abort, 0) << "the device in hand gets the abort byte";
                EXPECT_TRUE(std::none_of(calls.begin() + std::max<qsizetype>(abort, 0), calls.end(),
                                         [](const QString &call) { return call.startsWith("DevDownLoad"); }));
            }
            if (QString::fromLatin1(c.line).contains(u"--format=csv"_s) && ending != SIGPIPE) {
                EXPECT_TRUE(ran.out.startsWith(u"address,type,file,before,after,status,outcome\n"_s));
                EXPECT_EQ(ran.out.count(QLatin1Char('\n')), 4) << "every device asked for has its row";
            }
        }
    }
}
