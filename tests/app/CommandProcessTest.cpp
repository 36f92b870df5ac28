// The program's commands run as a technician's script runs them: a process on the
// emulated bus, its standard output, standard error and exit status.
#include "../windows/flash/FlashLoaderFixture.h"
#include "EmulatedBus.h"
#include "ProcessRun.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "board/PtyBoard.h"
#include "engines/monitor/CaptureCycle.h"
#include "engines/monitor/MonitorLog.h"
#include "engines/monitor/MonitorRows.h"
#include "terminal/Commands.h"
#include "windows/monitor/QwilMonWindow.h"

#include "engines/monitor/RowFeed.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <memory>
#include <vector>

namespace {
// The built program started in folder; scenario, when given, is the emulated bus.
void startService(QProcess &process, const QStringList &arguments, const QString &folder, const QString &scenario = {})
{
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // a command needs no display at all
    if (!scenario.isEmpty())
        environment.insert(QStringLiteral("QWILUSB_SCENARIO"), scenario);
    process.setProcessEnvironment(environment);
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

// The words of a command line that holds no blanks within a word.
QStringList words(const char *line)
{
    return QString::fromLatin1(line).split(QLatin1Char(' '));
}

Ran service(const QStringList &arguments, const QString &folder, const QString &scenario = {})
{
    QProcess process;
    startService(process, arguments, folder, scenario);
    return finished(process);
}
} // namespace

TEST(ServiceCommands, ScanListsTheDevicesThatAnswerInEachFormat)
{
    WorkingFolder folder;
    const Ran table = service(words("scan --to=3"), folder.path(QString()));
    ASSERT_EQ(table.status, ExitStatus::Completed) << table.err.toStdString();
    const QStringList rows = table.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], "Addr  Name    Type  Rev");
    EXPECT_EQ(rows[1], "   1  HDOME   2315  0200");
    EXPECT_EQ(rows[3], "   3  PTZ     4008  0105");
    EXPECT_TRUE(table.err.contains(QStringLiteral("Scanning Network for Devices")));

    const Ran json = service(words("scan --to=3 --format json"), folder.path(QString()));
    const QJsonArray devices = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(devices.size(), rows.size() - 1);
    EXPECT_EQ(devices[2].toObject().value(QStringLiteral("type")).toString(), "4008");
}

// A module lost mid-scan is status 3 with the reason, the devices found before it listed;
// a load does not go on without it. A name holding a comma is one CSV field; results that cannot be written
// (a full disk, a closed standard output) fail the command with the reason; a dry run of
// the module's upload checks the file and sends nothing.
TEST(ServiceCommands, ResultsAreWrittenWholeOrTheCommandFails)
{
    WorkingFolder folder;
    const QString here = folder.path(QString());
    folder.write(QStringLiteral("bus.scenario"), "device 1 type 2315 rev 0200 name \"A,B\"\n");
    const Ran csv = service(words("scan --to=1 --format=csv"), here, folder.path(QStringLiteral("bus.scenario")));
    EXPECT_EQ(csv.out, "address,name,type,revision\n1,\"A,B\",2315,0200\n") << csv.err.toStdString();

    folder.write(QStringLiteral("lost.scenario"), "device 1 type 2315 rev 0200 name \"ONE\"\n"
                                                  "device 3 type 4008 rev 0105 name \"PTZ\"\n"
                                                  "fault unplug-on GetConfigData 2\n");
    const QString lost = folder.path(QStringLiteral("lost.scenario"));
    const Ran scan = service(words("scan --to=4"), here, lost);
    EXPECT_EQ(scan.status, ExitStatus::NoModule);
    EXPECT_EQ(scan.out, "Addr  Name    Type  Rev\n   1  ONE     2315  0200\n");
    EXPECT_EQ(scan.err.count(QStringLiteral("The USB module was lost (")), 1) << scan.err.toStdString();
    const Ran load = service(words("load 1 --to=4 --latest"), here, lost);
    EXPECT_EQ(load.status, ExitStatus::NoModule);
    EXPECT_EQ(load.out, "Addr  Type  Before  After  Status\n   1  2315  0200    -      not loaded\n");
    EXPECT_FALSE(load.err.contains(QStringLiteral("Upload Complete"))) << load.err.toStdString();
    // Monitor: the loss is told once, in the same words, however many reads carried it.
    folder.write(QStringLiteral("traffic.scenario"), "traffic 400\nfault unplug-on GetData 30\n");
    const Ran monitor = service(words("monitor --seconds=5"), here, folder.path(QStringLiteral("traffic.scenario")));
    EXPECT_EQ(monitor.status, ExitStatus::NoModule);
    EXPECT_EQ(monitor.err, "The USB module was lost (USB link error, driver answer 5). Connect the module and "
                           "try again.\n");

    folder.write(QStringLiteral("played.mon"), "   0.000   01FA000101    83    Pan Stop\r\n"
                                               "   0.001   01FA000101    86    Tilt Stop\r\n");
    struct Case {
        const char *command;
        const char *reason;
    };
    for (const Case &c : {Case{"scan --to=2 >/dev/full", "No space left on device"},
                          Case{"scan --to=2 >&-", "standard output is closed"},
                          Case{"monitor --play played.mon >/dev/full", "No space left on device"}}) {
        QProcess shell;
        shell.setWorkingDirectory(here);
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("exec \"$0\" ") + QString::fromLatin1(c.command),
                     QStringLiteral(QUILL_SERVICE_PROGRAM)});
        const Ran ran = finished(shell);
        EXPECT_EQ(ran.status, ExitStatus::Failed) << c.command;
        EXPECT_EQ(ran.err.count(QStringLiteral("Cannot write the results: ") + QString::fromLatin1(c.reason)), 1)
            << ran.err.toStdString();
    }

    QFile::copy(QStringLiteral(QUILL_SOURCE_DIR "/demo/UsbModule-0103.hex"), folder.path(QStringLiteral("m.hex")));
    const Ran tried = service(words("load --module m.hex --dry-run"), here);
    EXPECT_EQ(tried.status, ExitStatus::Completed) << tried.err.toStdString();
    EXPECT_EQ(tried.out, "m.hex: would be loaded into the module\n");
    EXPECT_FALSE(tried.err.contains(QStringLiteral("Load Complete"))) << tried.err.toStdString();
}

TEST(ServiceCommands, EveryKindOfFailureHasItsOwnStatus)
{
    WorkingFolder folder;
    const QString here = folder.path(QString());
    struct Case {
        QStringList arguments;
        int status;
        const char *saying;
    };
    const Case cases[] = {
        {{QStringLiteral("bogus")}, ExitStatus::Usage, "Unknown command: bogus"},
        {words("tables missing"), ExitStatus::Failed, "no such folder"},
        {words("monitor --play missing.mon"), ExitStatus::Failed, "Cannot open missing.mon: No such file or directory"},
        // Random bytes are not a log; the rule that refuses them is named.
        {words("monitor --play noise.mon"), ExitStatus::Failed,
         "Cannot open noise.mon: not a monitor log: it holds binary data (a NUL byte)"},
        // The capture file made before the log failed is not left behind.
        {words("monitor --log missing/bus.mon --pcap left.pcap"), ExitStatus::Failed, "Cannot create missing/bus.mon"},
        // A capture file on a full disk fails at its header, before any row.
        {words("monitor --play words.mon --pcap /dev/full"), ExitStatus::Failed,
         "Cannot create /dev/full: No space left on device"},
        // No command and no display: the windows cannot open, and say so.
        {{}, ExitStatus::Usage, "quillbus-service: the windows cannot open: "},
    };
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919) % 251);
    folder.write(QStringLiteral("noise.mon"), noise);
    // A log's control characters never reach the terminal.
    folder.write(QStringLiteral("words.mon"), "   0.000   no row here\r\n");
    folder.write(QStringLiteral("escape.mon"), "   1.000   02 C0 \x1B]0;owned\x07\r\n");
    const Ran escaped = service(words("monitor --play escape.mon"), here);
    EXPECT_EQ(escaped.out, "  1.000   02 C0 \\x1B]0;owned\\x07\n") << escaped.err.toStdString();
    for (const Case &c : cases) {
        const Ran ran = service(c.arguments, here);
        EXPECT_EQ(ran.status, c.status) << c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(ran.err.contains(QString::fromLatin1(c.saying))) << ran.err.toStdString();
        EXPECT_TRUE(ran.out.isEmpty()) << ran.out.toStdString();
    }
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("left.pcap"))));
    // An unplugged module, a scenario path that is a folder, a scenario mistake: no module, and why.
    folder.write(QStringLiteral("silent.scenario"), "module unplugged\n");
    folder.write(QStringLiteral("utf8.scenario"), "device 1 type 2315 name \"D\xC3\xB6m\xC3\xA9\"\n");
    for (const auto &[scenario, saying] :
         {std::pair{folder.path(QStringLiteral("silent.scenario")),
                    QStringLiteral("No USB module (none found, driver answer 8). Connect the module and try again.")},
          std::pair{folder.path(QStringLiteral("utf8.scenario")),
                    QStringLiteral("utf8.scenario line 1: name holds printable ASCII characters only")},
          std::pair{here, QStringLiteral("QwilUSB emulator: cannot read scenario file ") + here +
                              QStringLiteral(": Is a directory; the module is reported as not found")}}) {
        const Ran noModule = service({QStringLiteral("scan")}, here, scenario);
        EXPECT_EQ(noModule.status, ExitStatus::NoModule) << noModule.err.toStdString();
        EXPECT_TRUE(noModule.err.contains(saying)) << noModule.err.toStdString();
    }

    const Ran help = service(words("scan --help"), here);
    EXPECT_EQ(help.status, ExitStatus::Completed);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: quillbus-service scan")));
}

namespace {
QStringList linesOf(const QString &text)
{
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    return plain.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList withoutTimes(const QStringList &rows)
{
    QStringList kept;
    for (const QString &row : rows)
        kept << row.mid(MonitorRows::TimeWidth);
    return kept;
}
} // namespace

// The rows the command prints are the window's rows of the same bus, its log holds them
// whole, an interrupt ends it cleanly, and the log plays back as the window plays it.
TEST(ServiceCommands, MonitorRowsAndLogAreTheWindowsAndAnInterruptClosesTheLogWhole)
{
    WorkingFolder folder;
    folder.write(QStringLiteral("bus.scenario"), "device 1 type 2315\ndevice 2 type 4008\ntraffic 50 seed 11\n");
    const QString scenario = folder.path(QStringLiteral("bus.scenario"));
    const Ran counted =
        service(words("monitor --count=20 --log counted.mon --address=02"), folder.path(QString()), scenario);
    ASSERT_EQ(counted.status, ExitStatus::Completed) << counted.err.toStdString();
    const QStringList rows = linesOf(counted.out);
    ASSERT_GE(rows.size(), 20);
    EXPECT_EQ(linesOf(QString::fromLatin1(folder.read(QStringLiteral("counted.mon")))), rows);
    for (const QString &row : rows)
        EXPECT_NE(row.mid(12, 2), "02") << "filtered: " << row.toStdString();

    // The window on the same bus shows the same rows, in the same order.
    QStringList windowRows;
    {
        EmulatedBus bus(scenarioFrom("device 1 type 2315\ndevice 2 type 4008\ntraffic 50 seed 11\n"));
        QwilMonWindow window(bus.driver);
        QObject::connect(&window.rows(), &RowFeed::row, [&](const QString &row) { windowRows << row; });
        window.Text8->setText(QStringLiteral("02"));
        window.Command9->click();
        bus.advance(3000);
        window.Command9->click();
    }
    const QStringList shown = withoutTimes(rows);
    const QStringList all = withoutTimes(windowRows);
    const qsizetype first = all.indexOf(shown.first());
    ASSERT_GE(first, 0);
    EXPECT_EQ(all.mid(first, shown.size()), shown);

    QProcess running;
    startService(running, words("monitor --log stopped.mon"), folder.path(QString()), scenario);
    ASSERT_TRUE(QTest::qWaitFor([&] { return running.bytesAvailable() > 400; }, 10000));
    ::kill(static_cast<pid_t>(running.processId()), SIGINT);
    const Ran stopped = finished(running);
    EXPECT_EQ(stopped.status, ExitStatus::Completed);
    const QStringList printed = linesOf(stopped.out);
    EXPECT_GE(printed.size(), 5);
    EXPECT_EQ(linesOf(QString::fromLatin1(folder.read(QStringLiteral("stopped.mon")))), printed);

    const Ran played = service(words("monitor --play counted.mon"), folder.path(QString()),
                               folder.path(QStringLiteral("no.scenario")));
    ASSERT_EQ(played.status, ExitStatus::Completed) << played.err.toStdString();
    QStringList aligned;
    for (const QString &row : rows)
        aligned << MonitorLog::aligned(row.trimmed());
    EXPECT_EQ(linesOf(played.out), aligned);

    // A conversion interrupted halfway fails and leaves no capture file to pass for the log's.
    folder.write(QStringLiteral("big.mon"), QByteArray("   0.040   05FA000101    A905\r\n").repeated(600000));
    QProcess converting;
    startService(converting, words("monitor --play big.mon --pcap big.pcap"), folder.path(QString()));
    const QFileInfo converted(folder.path(QStringLiteral("big.pcap")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(converted.filePath()).size() > 100000; }, 10000));
    ::kill(static_cast<pid_t>(converting.processId()), SIGINT);
    const Ran cut = finished(converting);
    EXPECT_EQ(cut.status, ExitStatus::Failed);
    EXPECT_TRUE(cut.err.contains(QStringLiteral("Interrupted: big.mon not converted"))) << cut.err.toStdString();
    EXPECT_FALSE(QFile::exists(converted.filePath()));
}

namespace {
// The demo firmware with one file per device type, in a folder of its own.
QString firmwareFolder(WorkingFolder &folder)
{
    const QString firmware = folder.path(QStringLiteral("firmware"));
    QDir().mkpath(firmware);
    const QDir demo(QStringLiteral(QUILL_SOURCE_DIR "/demo"));
    for (const QString &name : demo.entryList({QStringLiteral("*.hex")}, QDir::Files)) {
        if (name != QLatin1String("F2315-0201.hex"))
            QFile::copy(demo.filePath(name), firmware + QLatin1Char('/') + name);
    }
    return firmware;
}

QStringList tableRows(const QString &out)
{
    QStringList rows = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!rows.isEmpty())
        rows.removeFirst(); // the heading
    return rows;
}
} // namespace

// A load of every device of the default bus, started from another folder with --folder:
// each device gets its type's file, the download files are written beside the firmware,
// and the rescan shows the new revisions; a dome that cannot take a download is passed over.
TEST(ServiceCommands, LoadingEveryDeviceOfTheDefaultBusEndsWithTheNewRevisions)
{
    WorkingFolder folder;
    const QString firmware = firmwareFolder(folder);
    const Ran dry = service({QStringLiteral("load"), QStringLiteral("--all"), QStringLiteral("--dry-run"),
                             QStringLiteral("--folder"), firmware},
                            folder.path(QString()));
    ASSERT_EQ(dry.status, ExitStatus::Completed) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.startsWith(QStringLiteral("   1  2315  F2315-0202.hex\n   2  2315  F2315-0202.hex\n")))
        << dry.out.toStdString();
    EXPECT_FALSE(QFile::exists(firmware + QStringLiteral("/F2315-0202a.dwn"))) << "a dry run writes nothing";

    const Ran loaded = service({QStringLiteral("load"), QStringLiteral("--all"), QStringLiteral("--folder"), firmware},
                               folder.path(QString()));
    ASSERT_EQ(loaded.status, ExitStatus::Completed) << loaded.out.toStdString() << loaded.err.toStdString();
    EXPECT_EQ(tableRows(loaded.out),
              (QStringList{"   1  2315  0200    0202   Load Complete", "   2  2315  0201    0202   Load Complete",
                           "   3  4008  0105    0111   Load Complete",
                           "   5  0147  0101    0101   This dome rev does not support download, change chip!",
                           "   6  0147  0103    0104   Load Complete", "   9  2507  0100    0102   Load Complete",
                           "  10  4008  0110    0111   Load Complete", "  12  2315  0202    0202   Load Complete",
                           "  14  2507  0101    0102   Load Complete"}));
    for (const char *name : {"F2315-0202a.dwn", "F4008-0111b.dwn", "F2507-0102c.dwn"})
        EXPECT_TRUE(QFile::exists(firmware + QLatin1Char('/') + QString::fromLatin1(name))) << name;
    EXPECT_TRUE(loaded.err.contains(QStringLiteral("Loading Application File - Device Adr 14")));
}

namespace {
// Each device's outcome word from a load's JSON records, "address=outcome".
QStringList outcomes(const Ran &ran)
{
    QStringList words;
    for (const QJsonValue &record : QJsonDocument::fromJson(ran.out.toUtf8()).array())
        words << QStringLiteral("%1=%2").arg(record[QStringLiteral("address")].toInt()).arg(
            record[QStringLiteral("outcome")].toString());
    return words;
}
} // namespace

// A bus that remembers (the scenario's state file) loaded with --only-older, as a fleet's
// schedule runs it: the dry run and the first run touch only what is behind, the second
// sends nothing at all, a later scan shows the loaded revisions, two commands at once keep
// both their loads, and an unreadable state is said, leaves the scenario's revisions and is
// not overwritten.
TEST(ServiceCommands, OnlyOlderLoadsWhatIsBehindOnABusThatRemembers)
{
    WorkingFolder folder;
    const QString firmware = firmwareFolder(folder);
    const QString trace = folder.path(QStringLiteral("trace.txt"));
    folder.write(QStringLiteral("bus.scenario"),
                 "device 1 type 2315 rev 0201\ndevice 2 type 2315 rev 0202\ndevice 3 type 4008 rev 0112\n"
                 "device 4 type 2315 rev 0200\nstate \"" +
                     QFile::encodeName(folder.path(QStringLiteral("bus.state"))) + "\"\ntrace \"" +
                     QFile::encodeName(trace) + "\"\n");
    const QString bus = folder.path(QStringLiteral("bus.scenario"));
    const auto load = [&](const QStringList &more) {
        QFile::remove(trace);
        return service(QStringList{QStringLiteral("load"), QStringLiteral("--latest"), QStringLiteral("--only-older"),
                                   QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("--to"),
                                   QStringLiteral("4"), QStringLiteral("--folder"), firmware} +
                           more,
                       folder.path(QString()), bus);
    };
    const auto downloads = [&] { return QString::fromLatin1(folder.read(QStringLiteral("trace.txt"))).count(QStringLiteral("DevDownLoad(")); };

    const Ran dry = load({QStringLiteral("--all"), QStringLiteral("--dry-run")});
    EXPECT_EQ(dry.status, ExitStatus::Completed) << dry.err.toStdString();
    EXPECT_EQ(outcomes(dry), (QStringList{"1=would load", "2=current", "3=current", "4=would load"}));
    EXPECT_EQ(downloads(), 0);

    const Ran first = load({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    EXPECT_EQ(first.status, ExitStatus::Completed) << first.err.toStdString();
    EXPECT_EQ(outcomes(first), (QStringList{"1=loaded", "2=current", "3=current"}));
    EXPECT_TRUE(first.out.contains(QStringLiteral("Current: holds 0112, the file has 0111"))) << first.out.toStdString();
    EXPECT_GT(downloads(), 0);

    const Ran second = load({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    EXPECT_EQ(second.status, ExitStatus::Completed) << second.err.toStdString();
    EXPECT_EQ(outcomes(second), (QStringList{"1=current", "2=current", "3=current"}));
    EXPECT_EQ(downloads(), 0) << "nothing is sent to a bus that is up to date";

    // Two commands at once, each loading its own device: the state keeps both.
    QProcess one, other;
    startService(one, {QStringLiteral("load"), QStringLiteral("4"), QStringLiteral("--to"), QStringLiteral("4"),
                       QStringLiteral("--latest"), QStringLiteral("--only-older"), QStringLiteral("--folder"), firmware},
                 folder.path(QString()), bus);
    startService(other, {QStringLiteral("load"), QStringLiteral("--module"),
                         firmware + QStringLiteral("/UsbModule-0103.hex"), QStringLiteral("--only-older")},
                 folder.path(QString()), bus);
    EXPECT_EQ(finished(one).status, ExitStatus::Completed);
    EXPECT_EQ(finished(other).status, ExitStatus::Completed);
    const Ran scan = service({QStringLiteral("scan"), QStringLiteral("--to"), QStringLiteral("4")},
                             folder.path(QString()), bus);
    EXPECT_EQ(tableRows(scan.out), (QStringList{"   1          2315  0202", "   2          2315  0202",
                                                "   3          4008  0112", "   4          2315  0202"}));
    const Ran module = service({QStringLiteral("load"), QStringLiteral("--module"),
                                firmware + QStringLiteral("/UsbModule-0103.hex"), QStringLiteral("--only-older")},
                               folder.path(QString()), bus);
    EXPECT_EQ(module.status, ExitStatus::Completed);
    EXPECT_TRUE(module.out.endsWith(QStringLiteral("UsbModule-0103.hex: Current: holds 0103, the file has 0103\n")))
        << module.out.toStdString();

    folder.write(QStringLiteral("bus.state"), "not a state\n");
    const Ran unreadable = service({QStringLiteral("scan"), QStringLiteral("--to"), QStringLiteral("1")},
                                   folder.path(QString()), bus);
    EXPECT_TRUE(unreadable.err.contains(QStringLiteral("cannot read the bus state"))) << unreadable.err.toStdString();
    EXPECT_EQ(tableRows(unreadable.out), QStringList{"   1          2315  0201"});
    // A load over it is not remembered there: the file is left as it is, and that is said.
    const Ran over = load({QStringLiteral("1")});
    EXPECT_EQ(outcomes(over), QStringList{"1=loaded"});
    EXPECT_TRUE(over.err.contains(QStringLiteral("left as it is"))) << over.err.toStdString();
    EXPECT_EQ(folder.read(QStringLiteral("bus.state")), "not a state\n");
}

TEST(ServiceCommands, AFailedLoadNamesItsStatusAndEndsAsFailed)
{
    WorkingFolder folder;
    const QString firmware = firmwareFolder(folder);
    folder.write(QStringLiteral("nak.scenario"), "device 3 type 4008 rev 0110 name \"PTZ\" load-fault 68 nak 5\n"
                                                 "trace driver.trace\n");
    const Ran failed = service(words("load 3 --to=3"), firmware, folder.path(QStringLiteral("nak.scenario")));
    EXPECT_EQ(failed.status, ExitStatus::Failed);
    EXPECT_EQ(tableRows(failed.out), QStringList{"   3  4008  0110    0111   Checksum Error, Device Adr 3"});

    // An address asked for that does not answer has its row, and the command fails; a dry
    // run sends nothing to the device.
    QFile::remove(firmware + QStringLiteral("/driver.trace"));
    const Ran silent =
        service(words("load 2 3 --to=3 --dry-run"), firmware, folder.path(QStringLiteral("nak.scenario")));
    EXPECT_EQ(silent.status, ExitStatus::Failed);
    EXPECT_EQ(silent.out, "   2        No answer to the scan: not loaded\n   3  4008  F4008-0111.hex\n");
    const QByteArray trace = folder.read(QStringLiteral("firmware/driver.trace"));
    EXPECT_TRUE(trace.contains("GetConfigData"));
    EXPECT_FALSE(trace.contains("DevDownLoad")) << "a dry run sends nothing";
    const Ran csv =
        service(words("load 2 3 --to=3 --dry-run --format=csv"), firmware, folder.path(QStringLiteral("nak.scenario")));
    EXPECT_EQ(csv.out, "address,type,file,before,after,status,outcome\n"
                       "2,,,,-,No answer to the scan: not loaded,not loaded\n"
                       "3,4008,F4008-0111.hex,0110,-,,would load\n");
    const Ran json =
        service(words("load 3 --to=3 --format json"), firmware, folder.path(QStringLiteral("nak.scenario")));
    EXPECT_EQ(json.status, ExitStatus::Failed);
    const QJsonArray records = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(records.size(), 1) << json.out.toStdString();
    EXPECT_EQ(records[0].toObject(),
              (QJsonObject{{QStringLiteral("address"), 3},
                           {QStringLiteral("type"), QStringLiteral("4008")},
                           {QStringLiteral("file"), QStringLiteral("F4008-0111.hex")},
                           {QStringLiteral("before"), QStringLiteral("0110")},
                           {QStringLiteral("after"), QStringLiteral("0111")},
                           {QStringLiteral("status"), QStringLiteral("Checksum Error, Device Adr 3")},
                           {QStringLiteral("outcome"), QStringLiteral("failed")}}));

    // Interrupted while it scans, the load ends with nothing sent to a device.
    QFile::remove(firmware + QStringLiteral("/driver.trace"));
    QProcess interrupted;
    startService(interrupted, words("load 3 --to=3"), firmware, folder.path(QStringLiteral("nak.scenario")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return interrupted.readAllStandardError().contains("Scanning"); }, 10000));
    ::kill(static_cast<pid_t>(interrupted.processId()), SIGINT);
    const Ran stopped = finished(interrupted);
    EXPECT_EQ(stopped.status, ExitStatus::Failed);
    EXPECT_TRUE(stopped.err.contains(QStringLiteral("Interrupted"))) << stopped.err.toStdString();
    EXPECT_TRUE(stopped.out.startsWith(QStringLiteral("Addr  Type  Before  After  Status\n   3  ")) &&
                stopped.out.endsWith(QStringLiteral("not loaded\n")))
        << "every device asked for has its row: " << stopped.out.toStdString();
    EXPECT_FALSE(folder.read(QStringLiteral("firmware/driver.trace")).contains("DevDownLoad"));

    const Ran module = service(words("load --module UsbModule-0103.hex"), firmware);
    EXPECT_EQ(module.status, ExitStatus::Completed) << module.err.toStdString();
    EXPECT_EQ(module.out, "UsbModule-0103.hex: Load Complete - Recycle Power\n");
    // A module that answers a step with status 8 has answered: its load failed, the module
    // was not lost.
    folder.write(QStringLiteral("nak8.scenario"), "module load-fault 13 nak 8\n");
    const Ran answered =
        service(words("load --module UsbModule-0103.hex"), firmware, folder.path(QStringLiteral("nak8.scenario")));
    EXPECT_EQ(answered.status, ExitStatus::Failed) << answered.err.toStdString();
    EXPECT_TRUE(answered.out.startsWith(QStringLiteral("UsbModule-0103.hex: Unknown Error = 8")))
        << answered.out.toStdString();
    folder.write(QStringLiteral("firmware/empty.hex"), "S0030000FC\r\n");
    // A device's file named on the command line, where it was typed; one that holds no
    // firmware is refused before anything is sent, says nothing complete and leaves nothing.
    const Ran named = service(words("load 3 --to=3 --file 3=firmware/empty.hex"), folder.path(QString()),
                              folder.path(QStringLiteral("nak.scenario")));
    EXPECT_EQ(named.status, ExitStatus::Failed);
    EXPECT_EQ(tableRows(named.out), QStringList{"   3  4008  0110    0110   Improper File Format"});
    EXPECT_FALSE(named.err.contains(QStringLiteral("Upload Complete"))) << named.err.toStdString();
    EXPECT_FALSE(QFile::exists(firmware + QStringLiteral("/empty.hexa.dwn")));
    const Ran empty = service(words("load --module empty.hex"), firmware);
    EXPECT_EQ(empty.status, ExitStatus::Failed);
    EXPECT_TRUE(empty.err.contains(QStringLiteral("empty.hex: Invalid Load File"))) << empty.err.toStdString();
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
    const QDir demo(QStringLiteral(QUILL_SOURCE_DIR "/demo"));
    for (const char *name : {"Board-0100.hex", "BootLdr.dwn", "FlshLdr.dwn"})
        QFile::copy(demo.filePath(QString::fromLatin1(name)), folder.path(QString::fromLatin1(name)));
    const QString here = folder.path(QString());

    const Ran tried = service({QStringLiteral("load"), QStringLiteral("--port"), board.slaveName(),
                               QStringLiteral("Board-0100.hex"), QStringLiteral("--dry-run")},
                              here);
    EXPECT_EQ(tried.status, ExitStatus::Completed) << tried.err.toStdString();
    EXPECT_EQ(tried.out, QStringLiteral("Board-0100.hex: would be loaded into the board on ") + board.slaveName() +
                             QStringLiteral(" after BootLdr.dwn and FlshLdr.dwn\n"));
    QTest::qWait(200);
    EXPECT_TRUE(board.model().bootImage().empty() && board.model().commands().empty()) << "a dry run sends nothing";

    const Ran loaded = service(
        {QStringLiteral("load"), QStringLiteral("--port"), board.slaveName(), QStringLiteral("Board-0100.hex")}, here);
    EXPECT_EQ(loaded.status, ExitStatus::Completed) << loaded.err.toStdString();
    EXPECT_EQ(loaded.out, "Flash Load Complete - Cycle Module Power\n");
    EXPECT_EQ(
        flashDifferences(board.model().flash(), expectedImages(folder.path(QStringLiteral("Board-0100.hex")), 0, true)),
        0u);

    board.model().powerCycle();
    const Ran erased = service({QStringLiteral("erase"), QStringLiteral("--port"), board.slaveName(),
                                QStringLiteral("--sectors"), QStringLiteral("0,9,21")},
                               here);
    EXPECT_EQ(erased.status, ExitStatus::Completed) << erased.err.toStdString();
    EXPECT_EQ(erased.out, "Sector Erase Complete\n");
    EXPECT_EQ(board.model().commands().back(), (emu::Bytes{'d', 0x01, 0x20, 0x02, 0x01}));

    board.model().powerCycle();
    // --folder is where the loader files are, not where the file named is looked up.
    QDir(here).mkdir(QStringLiteral("f5"));
    for (const char *name : {"BootLdr.dwn", "FlshLdr.dwn"})
        QFile::copy(demo.filePath(QString::fromLatin1(name)),
                    folder.path(QStringLiteral("f5/") + QString::fromLatin1(name)));
    folder.write(QStringLiteral("f5/Board-0100.hex"), "S0030000FC\r\nnot a record\r\n");
    const Ran inFolder =
        service({QStringLiteral("load"), QStringLiteral("--port"), board.slaveName(), QStringLiteral("--folder"),
                 QStringLiteral("f5"), QStringLiteral("Board-0100.hex"), QStringLiteral("--dry-run")},
                here);
    EXPECT_EQ(inFolder.status, ExitStatus::Completed) << inFolder.err.toStdString();
    const Ran noLoaders = service({QStringLiteral("erase"), QStringLiteral("--port"), board.slaveName(),
                                   QStringLiteral("--folder"), QStringLiteral("."), QStringLiteral("--all")},
                                  folder.path(QStringLiteral("f5")));
    EXPECT_EQ(noLoaders.status, ExitStatus::Completed) << noLoaders.err.toStdString();

    const Ran noPort = service({QStringLiteral("erase"), QStringLiteral("--port"),
                                folder.path(QStringLiteral("no-such-port")), QStringLiteral("--all")},
                               here);
    EXPECT_EQ(noPort.status, ExitStatus::PortUnavailable);
    EXPECT_EQ(noPort.err.trimmed(), QStringLiteral("Cannot open the serial port ") +
                                        folder.path(QStringLiteral("no-such-port")) +
                                        QStringLiteral(": No such file or directory"));
}

// Started from a folder, with the windows' working folder elsewhere (as the launcher
// starts it), the tables go where the user typed: the started folder, or a path below it.
TEST(ServiceCommands, TablesGoWhereTheCommandWasStarted)
{
    WorkingFolder folder;
    QDir().mkpath(folder.path(QStringLiteral("elsewhere")));
    QDir().mkpath(folder.path(QStringLiteral("build/include")));
    const QString elsewhere = folder.path(QStringLiteral("elsewhere"));
    const QString started = folder.path(QStringLiteral("build"));
    const Ran dot =
        service({QStringLiteral("--working-folder"), elsewhere, QStringLiteral("--write-tables"), QStringLiteral(".")},
                started);
    EXPECT_EQ(dot.status, ExitStatus::Completed) << dot.err.toStdString();
    const Ran below = service(
        {QStringLiteral("--working-folder"), elsewhere, QStringLiteral("tables"), QStringLiteral("include")}, started);
    EXPECT_EQ(below.status, ExitStatus::Completed) << below.err.toStdString();
    for (const char *name : {"lut_R.h", "lut_Z.h", "lut_S.h", "VStrSin.h", "VStrCos.h"}) {
        EXPECT_TRUE(QFile::exists(started + QLatin1Char('/') + QString::fromLatin1(name))) << name;
        EXPECT_TRUE(QFile::exists(started + QStringLiteral("/include/") + QString::fromLatin1(name))) << name;
    }
    EXPECT_TRUE(QDir(elsewhere).isEmpty());

    // The windows are not opened: the warning comes first, then the folder they cannot use.
    const Ran windows = service({QStringLiteral("--com1"), QStringLiteral("./ttyX"), QStringLiteral("--working-folder"),
                                 folder.path(QStringLiteral("missing"))},
                                started);
    EXPECT_EQ(windows.status, ExitStatus::Failed);
    EXPECT_TRUE(windows.err.startsWith(QStringLiteral("quillbus-service: --com1 and --com2 take effect")))
        << windows.err.toStdString();
    EXPECT_TRUE(windows.err.contains(QStringLiteral("cannot work in"))) << windows.err.toStdString();
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
    const QString firmware = firmwareFolder(folder);
    const QStringList loaderReleased{QStringLiteral("ConfigQwil(1000, 1, 16)"), QStringLiteral("CloseUSBDriver()")};
    const QStringList monitorReleased{QStringLiteral("QwilAnalyzer(0, 5)"), QStringLiteral("CloseUSBDriver()")};
    const QStringList moduleReleased{QStringLiteral("CloseUSBDriver()")}, boardReleased{};
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
            QDir(firmware).mkdir(name);
            const QString here = firmware + QLatin1Char('/') + name;
            QFile::remove(here + QStringLiteral("/driver.trace"));
            for (const char *file : {"F4008-0111.hex", "UsbModule-0103.hex", "Board-0100.hex"})
                QFile::copy(firmware + QLatin1Char('/') + QString::fromLatin1(file),
                            here + QLatin1Char('/') + QString::fromLatin1(file));
            for (const char *file : {"BootLdr.dwn", "FlshLdr.dwn"})
                QFile::copy(QStringLiteral(QUILL_SOURCE_DIR "/demo/") + QString::fromLatin1(file),
                            here + QLatin1Char('/') + QString::fromLatin1(file));
            QString line = QString::fromLatin1(c.line);
            if (line.contains(QStringLiteral("PORT"))) {
                boards.push_back(std::make_unique<PtyBoard>());
                if (!boards.back()->isOpen())
                    GTEST_SKIP() << "no pseudo-terminal on this machine";
                line.replace(QStringLiteral("PORT"), boards.back()->slaveName());
            }
            folder.write(QStringLiteral("firmware/") + name + QStringLiteral("/bus.scenario"),
                         "device 1 type 4008 rev 0105\ndevice 2 type 4008 rev 0105\n"
                         "device 3 type 4008 rev 0105\ntraffic 50\ntrace driver.trace\n");
            auto &run = runs.emplace_back(std::make_unique<QProcess>());
            if (ending == SIGPIPE && c.closedAfterLines == 0)
                continue;
            if (ending != SIGPIPE) {
                startService(*run, line.split(QLatin1Char(' ')), here, here + QStringLiteral("/bus.scenario"));
                continue;
            }
            run->setWorkingDirectory(here);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QWILUSB_SCENARIO"), here + QStringLiteral("/bus.scenario"));
            run->setProcessEnvironment(environment);
            run->start(QStringLiteral("/bin/bash"),
                       {QStringLiteral("-c"),
                        QStringLiteral("set -o pipefail; \"$0\" %1 2>&1 | head -n %2 >/dev/null")
                            .arg(line)
                            .arg(c.closedAfterLines),
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
                    EXPECT_TRUE(ran.err.contains(QStringLiteral("Interrupted"))) << ran.err.toStdString();
                }
            }
            const QStringList calls = tracedCalls(
                folder.read(QStringLiteral("firmware/") + QString::number(ending) + QStringLiteral("/driver.trace")));
            ASSERT_GE(calls.size(), c.released.size());
            EXPECT_EQ(calls.mid(calls.size() - c.released.size()), c.released) << calls.join(' ').toStdString();
            if (c.abortByte) {
                const qsizetype abort = calls.lastIndexOf(QStringLiteral("SndModData(1, 27)"));
                EXPECT_GE(abort, 0) << "the device in hand gets the abort byte";
                EXPECT_TRUE(std::none_of(calls.begin() + std::max<qsizetype>(abort, 0), calls.end(),
                                         [](const QString &call) { return call.startsWith("DevDownLoad"); }));
            }
            if (QString::fromLatin1(c.line).contains(QStringLiteral("--format=csv")) && ending != SIGPIPE) {
                EXPECT_TRUE(ran.out.startsWith(QStringLiteral("address,type,file,before,after,status,outcome\n")));
                EXPECT_EQ(ran.out.count(QLatin1Char('\n')), 4) << "every device asked for has its row";
            }
        }
    }
}

// One situation, one outcome: a dry run says what the load says; a device that did not
// answer is "not loaded" wherever it stands; a module lost at any point (the check after
// the loads, a scan's setting back, the monitor's stop) is status 3 and one that failed
// one address is not lost; a command with nothing to list still prints its empty list.
TEST(ServiceCommands, OneSituationHasOneOutcome)
{
    WorkingFolder folder;
    const QString here = folder.path(QString());
    QFile::copy(QStringLiteral(QUILL_SOURCE_DIR "/demo/F4008-0111.hex"), folder.path(QStringLiteral("F4008-0111.hex")));
    const auto bus = [&folder](const char *name, const QByteArray &text) {
        folder.write(QString::fromLatin1(name), text);
        return folder.path(QString::fromLatin1(name));
    };
    const QString hd = bus("hd.scenario", "device 1 type 2315 rev 0200\n");
    const QString lostAfter =
        bus("lost-after.scenario", "device 3 type 4008 rev 0105\nfault unplug-on GetConfigData 6\n");
    const QString setBack = bus("set-back.scenario", "device 1 type 2315 rev 0200\nfault result ConfigQwil 5 on 2\n");
    const QString stopCall = bus("stop.scenario", "traffic 20\nfault result QwilAnalyzer 5 on 2\n");
    const QString transient =
        bus("transient.scenario", "device 1 type 2315 rev 0200\ndevice 2 type 2315 rev 0200\n"
                                  "device 3 type 2315 rev 0200\nfault result GetConfigData 5 on 2\n"
                                  "fault result GetConfigData 5 on 3\n");
    const QString empty = bus("empty.scenario", "");
    const QString unplugged = bus("unplugged.scenario", "module unplugged\n"), defaultBus;
    struct Case {
        const char *command;
        QString scenario;
        int status;
        QString out; // empty: not compared
        const char *err = nullptr;
    };
    const Case cases[] = {
        {"load 1 --to=1 --latest --dry-run --format=csv", hd, ExitStatus::Failed,
         "address,type,file,before,after,status,outcome\n"
         "1,2315,,0200,-,\"No Loadfile for Device Type = 2315, Adr  1\",refused\n"},
        {"load 1 --to=1 --latest --format=csv", hd, ExitStatus::Failed,
         "address,type,file,before,after,status,outcome\n"
         "1,2315,,0200,0200,\"No Loadfile for Device Type = 2315, Adr  1\",refused\n"},
        {"load 3 --to=3 --format=csv", lostAfter, ExitStatus::NoModule,
         "address,type,file,before,after,status,outcome\n3,4008,F4008-0111.hex,0105,-,Load Complete,loaded\n",
         "The USB module was lost"},
        {"scan --to=2 --format=csv", setBack, ExitStatus::NoModule, "address,name,type,revision\n1,,2315,0200\n",
         "The USB module was lost"},
        {"monitor --seconds=1", stopCall, ExitStatus::NoModule, {}, "The USB module was lost"},
        {"scan --to=3 --format=csv", transient, ExitStatus::Completed,
         "address,name,type,revision\n1,,2315,0200\n3,,2315,0200\n"},
        {"load 4 6 --to=6 --format=csv --dry-run", defaultBus, ExitStatus::Failed,
         "address,type,file,before,after,status,outcome\n4,,,,-,No answer to the scan: not loaded,not loaded\n"
         "6,0147,,0103,-,\"No Loadfile for Device Type = 0147, Adr  6\",refused\n"},
        {"load --all --to=4 --format=csv", empty, ExitStatus::Failed, "address,type,file,before,after,status,outcome\n",
         "No Devices Selected"},
        {"load --all --to=4 --format=json", empty, ExitStatus::Failed, "[\n]\n"},
        {"scan --to=4 --format=json", unplugged, ExitStatus::NoModule, "[\n]\n", "No USB module"},
        {"scan --to=4 --format=csv", unplugged, ExitStatus::NoModule, "address,name,type,revision\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        const Ran ran = service(words(c.command), here, c.scenario);
        EXPECT_EQ(ran.status, c.status) << ran.err.toStdString();
        if (!c.out.isEmpty()) {
            EXPECT_EQ(ran.out, c.out);
        }
        if (c.err) {
            EXPECT_TRUE(ran.err.contains(QString::fromLatin1(c.err))) << ran.err.toStdString();
        }
    }
}
