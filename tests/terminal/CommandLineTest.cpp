#include "terminal/CommandLine.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "terminal/CommandSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {
CommandLine parse(const std::vector<const char *> &words)
{
    QStringList arguments{u"quillbus-service"_s};
    for (const char *w : words)
        arguments << QString::fromLatin1(w);
    return CommandLine::parse(arguments);
}
} // namespace

TEST(CommandLine, OptionsAndRefusals)
{
    const CommandLine plain = parse({});
    EXPECT_EQ(plain.action, CommandLine::Action::RunWindows);
    EXPECT_FALSE(plain.flash.engineering);

    const CommandLine engineering = parse({"--engineering", "--com1", "/dev/ttyUSB0", "--com2=/dev/pts/7"});
    EXPECT_TRUE(engineering.flash.engineering);
    EXPECT_EQ(engineering.flash.deviceOf(1), "/dev/ttyUSB0");
    EXPECT_EQ(engineering.flash.deviceOf(2), "/dev/pts/7");

    const CommandLine tables = parse({"--write-tables", "/tmp/t"});
    EXPECT_EQ(tables.action, CommandLine::Action::WriteTables);
    EXPECT_EQ(tables.tablesDirectory, "/tmp/t");

    EXPECT_EQ(parse({"--version"}).text, "quillbus-service 2.01\n");

    // Whatever the command line gets wrong is refused before the driver is asked anything,
    // with the reason.
    const std::pair<std::vector<const char *>, const char *> refusals[] = {
        {{"--bogus"}, "Unknown option 'bogus'"},
        {{"stray"}, "Unknown command: stray"},
        {{"--com1"}, "Missing value after '--com1'"},
        {{"--engineering", "scan"}, "scan is a command: it comes first"},
        {{"--engineering", "--engineering"}, "--engineering is given more than once"},
        {{"load", "--module", "m.hex", "--to", "3"}, "--to means nothing with --module"},
        {{"load", "--port", "/dev/ttyS0", "a.hex", "--latest"}, "--latest means nothing with --port"},
        {{"load", "20"}, "Address 20 is beyond the scan (--to 16)"},
        {{"load", "--to", "3", "--to", "4", "1"}, "--to is given more than once"},
        {{"monitor", "--address", "0"}, "--address takes hexadecimal pairs"},
        {{"monitor", "--command", "C0 00"}, "--command takes hexadecimal pairs"},
        {{"monitor", "--seconds", "nan"}, "--seconds takes a number of seconds"},
        {{"monitor", "--seconds", "0"}, "--seconds takes a number of seconds above 0"},
        {{"extcap"}, "extcap takes --extcap-interfaces, or --extcap-interface quillbus with"},
        {{"monitor", "--count", "0"}, "--count takes a number of rows above 0"},
        {{"monitor", "--play", "bus.mon", "--pcap", "./bus.mon"}, "--pcap names the same file as --play"},
        {{"monitor", "--log", "/tmp/bus.mon", "--pcap", "/tmp/../tmp/bus.mon"}, "--pcap names the same file as --log"},
        {{"monitor", "--seconds", "5", "--count", "3"}, "--seconds and --count cannot go together"},
        {{"monitor", "--pcap="}, "--pcap takes a file, or - for standard output"},
        {{"monitor", "--play", "a.mon", "--pcap", "a.pcap", "--count", "5"},
         "--play with --pcap converts the whole log"},
        {{"extcap", "--extcap-dlts", "--extcap-interface", "eth0"}, "--extcap-interface takes quillbus"},
        {{"extcap", "--capture", "--extcap-interface", "quillbus"}, "--capture takes --fifo"},
        {{"extcap", "--capture", "--extcap-interface", "quillbus", "--fifo", "f", "--address", "2"},
         "--address takes hexadecimal pairs"},
        {{"scan", "--to", "97"}, "--to takes an address from 1 to 96"},
        {{"scan", "--format", "xml"}, "--format takes table, csv or json"},
        {{"scan", "--bogus"}, "scan --help"},
        {{"tables"}, "tables takes one folder"},
        {{"load"}, "load takes --all, device addresses, or --module file"},
        {{"load", "--all", "3"}, "--all and addresses cannot go together"},
        {{"load", "x"}, "Not a device address: x"},
        {{"erase", "--port", "p", "--sectors", "22"}, "--sectors takes sectors 0-21"},
    };
    for (const auto &[arguments, reason] : refusals) {
        const CommandLine refused = parse(arguments);
        EXPECT_EQ(refused.action, CommandLine::Action::Refuse) << arguments.front();
        EXPECT_TRUE(refused.text.contains(QString::fromLatin1(reason))) << refused.text.toStdString();
    }
    EXPECT_EQ(parse({"monitor", "--address", "02 0a", "--command=C0"}).monitor.addresses, "02 0A");
    EXPECT_TRUE(parse({"load", "--port", "/dev/ttyS0", "a.hex", "--dry-run"}).serial.dryRun);
}

TEST(CommandLine, FoldersThatCannotTakeTheTablesAreNamedOnce)
{
    WorkingFolder folder;
    const QString missing = folder.path(u"missing"_s);
    EXPECT_EQ(writeAllTables(missing).why(), u"Cannot write the tables in "_s + missing + u": no such folder\n"_s);
    const QString file = folder.path(u"lut_R.h"_s);
    folder.write(u"lut_R.h"_s, "old");
    EXPECT_EQ(writeAllTables(file).why(), u"Cannot write the tables in "_s + file + u": not a folder\n"_s);
}

// Every command and option the program's help names is in the manual page and the README,
// and so is every exit status.
TEST(CommandLine, TheManualPageAndTheReadmeNameEveryCommandOptionAndStatus)
{
    QFile page(QStringLiteral(QUILL_SOURCE_DIR "/packaging/quillbus-service.1"));
    QFile readme(QStringLiteral(QUILL_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly) && readme.open(QIODevice::ReadOnly));
    const QString manual = QString::fromUtf8(page.readAll()).replace(u"\\-"_s, u"-"_s);
    const QString guide = QString::fromUtf8(readme.readAll());
    const QRegularExpression option(u"--[a-z-]+"_s);
    for (const char *command : {"", "scan", "monitor", "load", "erase", "tables", "extcap"}) {
        const CommandLine help = *command ? parse({command, "--help"}) : parse({"--help"});
        ASSERT_EQ(help.action, CommandLine::Action::ShowText) << command;
        if (*command) {
            EXPECT_TRUE(manual.contains(u".B "_s + QString::fromLatin1(command)) ||
                        manual.contains(u".BI "_s + QString::fromLatin1(command)))
                << command;
            EXPECT_TRUE(guide.contains(u"`quillbus-service "_s + QString::fromLatin1(command))) << command;
        }
        for (const QRegularExpressionMatch &m : option.globalMatch(help.text)) {
            EXPECT_TRUE(manual.contains(m.captured())) << command << " " << m.captured().toStdString();
            EXPECT_TRUE(guide.contains(m.captured())) << command << " " << m.captured().toStdString();
        }
    }
    for (const int status : {ExitStatus::Completed, ExitStatus::Failed, ExitStatus::Usage, ExitStatus::NoModule,
                             ExitStatus::PortUnavailable}) {
        EXPECT_TRUE(manual.contains(u".B %1\n"_s.arg(status))) << status;
        EXPECT_TRUE(guide.contains(u"| %1 |"_s.arg(status))) << status;
    }
}

// Paths on the command line mean what they mean where the program was started, whatever
// folder the windows then work in; --com1 and --com2 without --engineering are said to do
// nothing.
TEST(CommandLine, PathsMeanWhereTheProgramWasStartedAndComPortsNeedEngineering)
{
    WorkingFolder started;
    ASSERT_TRUE(QDir().mkpath(started.path(u"windows"_s)));
    CommandLine line = parse({"--working-folder", "windows", "--engineering", "--com1", "./ttyX", "--com2", "ttyS1"});
    EXPECT_EQ(line.action, CommandLine::Action::RunWindows);
    EXPECT_TRUE(line.warnings.isEmpty());
    EXPECT_FALSE(line.enterWorkingFolder());
    EXPECT_EQ(QDir::currentPath(), QDir(started.path(u"windows"_s)).canonicalPath());
    EXPECT_EQ(line.flash.com1, QDir(started.path(QString())).canonicalPath() + u"/ttyX"_s);
    EXPECT_EQ(line.flash.com2, "ttyS1") << "a port's own name stays as it is";

    for (const auto &unseen : {parse({"--com1", "/dev/ttyUSB0"}), parse({"--com2=/dev/ttyS1"})})
        EXPECT_EQ(unseen.warnings, "quillbus-service: --com1 and --com2 take effect in the flash loader's Comm Port "
                                   "mode, which only --engineering shows\n");
    EXPECT_TRUE(parse({"--help"}).text.simplified().contains(u"(Comm Port mode: needs --engineering)"_s));
    EXPECT_EQ(parse({"--working-folder", "missing"}).enterWorkingFolder().why(),
              "quillbus-service: cannot work in missing: no such folder\n");
}

// An interrupt that comes once the command has ended (a second Ctrl-C as it exits) leaves
// the status the command chose: it does not end the process by a signal.
TEST(InterruptCatcher, AnInterruptAfterTheCommandHasEndedIsIgnored)
{
    {
        const InterruptCatcher whileTheCommandRuns;
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::raise(signal);
}
