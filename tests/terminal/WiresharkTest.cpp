// Capture files and the extcap interface as Wireshark itself reads them: tshark with the
// built dissector, against the monitor's own rows.
#include "ProcessRun.h"
#include "QtPrinters.h"
#include "WorkingFolder.h"
#include "base/MessageDecoder.h"
#include "engines/monitor/MonitorRows.h"
#include "engines/monitor/PcapWriter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

// Without libwireshark-dev the compiled dissector is not built, and these tests skip.
#ifndef QUILL_WIRESHARK_PLUGIN
#define QUILL_WIRESHARK_PLUGIN ""
#define QUILL_WIRESHARK_PLUGIN_SUBDIR "plugins/none"
#endif

namespace {
const QString Program = QStringLiteral(QUILL_SERVICE_PROGRAM);
const QString LuaDissector = QStringLiteral(QUILL_WIRESHARK_DIR "/lua/quillbus.lua");
const QByteArray Traffic = "module mode word 0x1280\ndevice 2 type 2315\ndevice 3 type 4008\ntraffic 400 seed 7\n";

Ran run(const QString &program, const QStringList &arguments, const QMap<QString, QString> &environment = {})
{
    return runProgram(program, arguments, environment, 60000);
}

QString tshark()
{
    return QStandardPaths::findExecutable(u"tshark"_s);
}

enum class Dissector { Compiled, Lua };

// tshark's environment for the plugin of this build: with the sanitizers, their runtimes
// come first (the host program has none), and a fault in the plugin ends tshark with an error.
QMap<QString, QString> pluginEnvironment()
{
#ifdef QUILL_SANITIZER_PRELOAD
    return {{u"LD_PRELOAD"_s, QStringLiteral(QUILL_SANITIZER_PRELOAD)},
            {u"ASAN_OPTIONS"_s, u"detect_leaks=0:abort_on_error=1"_s},
            {u"UBSAN_OPTIONS"_s, u"halt_on_error=1:print_stacktrace=1"_s}};
#else
    return {};
#endif
}

// tshark as a user runs it, with this build's dissector. Wireshark reads neither the personal
// folders nor the environment for root, so as root it runs as nobody, from copies in a folder
// open to all.
class Tshark {
public:
    explicit Tshark(WorkingFolder &folder) : m_folder(folder)
    {
        ::chmod(qPrintable(folder.path(QString())), 0777);
        if (!compiledBuilt())
            return;
        const QString epan = folder.path(QStringLiteral(QUILL_WIRESHARK_PLUGIN_SUBDIR));
        EXPECT_TRUE(QDir().mkpath(epan) && QFile::copy(QStringLiteral(QUILL_WIRESHARK_PLUGIN), epan + "/quillbus.so"));
        EXPECT_TRUE(QDir().mkpath(folder.path(u"no-plugins"_s)));
        EXPECT_TRUE(QFile::copy(LuaDissector, folder.path(u"quillbus.lua"_s)));
        if (::geteuid() == 0)
            m_user = {u"setpriv"_s, u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s};
    }
    static bool compiledBuilt() { return QUILL_WIRESHARK_PLUGIN[0] != '\0'; }
    const QStringList &user() const { return m_user; }

    Ran run(QStringList arguments, Dissector dissector = Dissector::Compiled,
            QMap<QString, QString> environment = {}) const
    {
        run(u"chmod"_s, {u"-R"_s, u"a+rwX"_s, m_folder.path(QString())});
        if (dissector == Dissector::Lua)
            arguments = QStringList{u"-X"_s, u"lua_script:"_s + m_folder.path(u"quillbus.lua"_s)} + arguments;
        environment.insert(u"WIRESHARK_PLUGIN_DIR"_s,
                           m_folder.path(dissector == Dissector::Lua ? u"no-plugins"_s : u"plugins"_s));
        environment.insert(u"HOME"_s, m_folder.path(u"home"_s));
        environment.insert(pluginEnvironment());
        const QStringList command = m_user + QStringList{tshark()} + arguments;
        return ::run(command.first(), command.mid(1), environment);
    }

    // One line per packet, the fields separated by tabs.
    QStringList packets(const QString &file, const QStringList &fields, const QString &filter = {},
                        Dissector dissector = Dissector::Compiled) const
    {
        QStringList arguments{u"-r"_s, file, u"-T"_s, u"fields"_s};
        for (const QString &field : fields)
            arguments << u"-e"_s << field;
        if (!filter.isEmpty())
            arguments << u"-Y"_s << filter;
        const Ran read = run(arguments, dissector);
        EXPECT_EQ(read.status, 0) << read.err.toStdString();
        QStringList lines = read.out.split(QLatin1Char('\n')); // a packet may have no field at all
        lines.removeLast();
        return lines;
    }

private:
    static Ran run(const QString &program, const QStringList &arguments) { return ::run(program, arguments); }

    WorkingFolder &m_folder;
    QStringList m_user;
};

// A monitor row as tshark's fields give it: address, command, description, data (command
// and parameters), in tshark's spelling.
QString asFields(const QString &row)
{
    const QString data = row.mid(26).section(QLatin1Char(' '), 0, 0);
    return u"0x%1\t%2\t%3\t%4"_s.arg(row.mid(12, 2).toLower(),
                                     data.isEmpty() ? QString() : u"0x"_s + data.left(2).toLower(),
                                     row.mid(26 + std::max<qsizetype>(data.size(), 53) + 2), data.toLower());
}

const QStringList RowFields{u"quillbus.address"_s, u"quillbus.command"_s, u"quillbus.name"_s, u"quillbus.data"_s};

#define NEED_TSHARK()                                                                                        \
    if (tshark().isEmpty() || !Tshark::compiledBuilt())                                                      \
    GTEST_SKIP() << "tshark or libwireshark-dev is not installed (scripts/setup.sh installs them): nothing " \
                    "reads the capture files here"
} // namespace

// A capture file holds exactly the rows the monitor shows, each decoded as the row words it;
// the dissector's filters pick what the monitor's filters leave, and a log converted later
// gives the capture's packets again, at the same times.
namespace {
// What Wireshark shows beside the rows: the mark on exactly the marked rows, sender and
// addressee in the columns, and the statistics tree counting as the rows count.
void expectMarksAddressesAndCounts(const Tshark &ts, const QString &capture, const QStringList &rows)
{
    QStringList marked;
    QMap<QString, int> addressees, senders;
    int invalid = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString &row = rows[i];
        if (row.mid(22, 4) == QLatin1String(" ** "))
            marked << QString::number(i + 1);
        ++addressees[row.mid(12, 2)];
        ++senders[row.mid(14, 2)];
        invalid += row.endsWith(QLatin1String(MessageDecoder::InvalidCommand));
    }
    ASSERT_FALSE(marked.isEmpty());
    EXPECT_EQ(ts.packets(capture, {u"frame.number"_s}, u"quillbus.marked"_s), marked);
    QStringList columns;
    for (const QString &row : rows)
        columns << row.mid(14, 2) + QLatin1Char('\t') + row.mid(12, 2);
    EXPECT_EQ(ts.packets(capture, {u"_ws.col.Source"_s, u"_ws.col.Destination"_s}), columns);
    // The filters Wireshark writes from a column or a conversation read the address as shown.
    for (auto it = senders.begin(); it != senders.end(); ++it)
        EXPECT_EQ(ts.packets(capture, {u"frame.number"_s}, u"quillbus.sender == "_s + it.key()).size(), it.value())
            << it.key().toStdString();

    const Ran tree = ts.run({u"-r"_s, capture, u"-q"_s, u"-z"_s, u"quillbus,tree"_s});
    ASSERT_EQ(tree.status, 0) << tree.err.toStdString();
    QMap<QString, int> counted; // "Messages per sender/FA" and the like, from the tree's lines
    QString heading;
    for (const QString &line : tree.out.split(QLatin1Char('\n'))) {
        const QStringList cells = line.split(QRegularExpression(u"\\s{2,}"_s), Qt::SkipEmptyParts);
        if (cells.size() < 2 || !cells[1].at(0).isDigit())
            continue;
        if (!line.startsWith(QLatin1Char(' ')))
            heading = cells[0];
        counted[line.startsWith(QLatin1Char(' ')) ? heading + QLatin1Char('/') + cells[0].trimmed() : cells[0]] =
            cells[1].toInt();
    }
    const auto expectCounts = [&](const QString &node, const QMap<QString, int> &expected) {
        EXPECT_EQ(counted.value(node), rows.size()) << node.toStdString();
        for (auto it = expected.begin(); it != expected.end(); ++it)
            EXPECT_EQ(counted.value(node + QLatin1Char('/') + it.key()), it.value()) << it.key().toStdString();
    };
    expectCounts(u"Messages per addressee"_s, addressees);
    expectCounts(u"Messages per sender"_s, senders);
    EXPECT_EQ(counted.value(u"Marked messages"_s), marked.size());
    EXPECT_EQ(counted.value(u"Invalid commands"_s), invalid);
}
} // namespace

TEST(Wireshark, CaptureFilesHoldTheMonitorsRowsAndFilterAsItDoes)
{
    NEED_TSHARK();
    WorkingFolder folder;
    const Tshark ts(folder);
    folder.write(u"bus.scenario"_s, Traffic);
    const QMap<QString, QString> bus{{u"QWILUSB_SCENARIO"_s, folder.path(u"bus.scenario"_s)}};
    struct Case {
        QStringList hide;
        QString same; // the display filter that leaves what the monitor's filter leaves
    };
    const Case cases[] = {
        {{}, {}},
        {{u"--address=02"_s}, u"!(quillbus.address == 2)"_s},
        {{u"--command=C0 8C"_s}, u"!(quillbus.command == 0xc0 || quillbus.command == 0x8c)"_s},
    };
    for (const Case &c : cases) {
        const QString name = folder.path(u"bus%1.pcap"_s.arg(c.hide.join(QString())));
        const Ran captured =
            run(Program,
                QStringList{u"monitor"_s, u"--seconds=2"_s, u"--pcap"_s, name, u"--log"_s, folder.path(u"bus.mon"_s)} +
                    c.hide,
                bus);
        ASSERT_EQ(captured.status, 0) << captured.err.toStdString();
        const QStringList rows = captured.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_GE(rows.size(), 300);
        QStringList expected;
        for (const QString &row : rows)
            expected << asFields(row);
        EXPECT_EQ(ts.packets(name, RowFields), expected) << c.same.toStdString();
        QStringList words = ts.packets(name, {u"quillbus.module_word"_s});
        words.removeDuplicates();
        EXPECT_EQ(words, QStringList{u"0x00001280"_s}) << "the scenario's connection word";

        if (c.hide.isEmpty()) {
            const QStringList names{u"quillbus.name"_s};
            EXPECT_EQ(ts.packets(name, names, {}, Dissector::Lua), ts.packets(name, names)) << "Lua words them alike";
            // Converted from the log, the same messages at the same times.
            folder.write(u"extra.mon"_s, folder.read(u"bus.mon"_s) + "not a row\r\n");
            const QString converted = folder.path(u"converted.pcap"_s);
            const Ran conversion =
                run(Program, {u"monitor"_s, u"--play"_s, folder.path(u"extra.mon"_s), u"--pcap"_s, converted});
            EXPECT_EQ(conversion.status, 0);
            EXPECT_TRUE(conversion.err.contains(u"skipped 1 line that is not a row"_s)) << conversion.err.toStdString();
            const QStringList timed = RowFields + QStringList{u"frame.time_relative"_s};
            EXPECT_EQ(ts.packets(converted, timed), ts.packets(name, timed));
            expectMarksAddressesAndCounts(ts, name, rows);
            continue;
        }
        // The seeded traffic runs alike in both captures: the filtered one is the whole one
        // with the rows the display filter drops taken out.
        const QStringList kept = ts.packets(folder.path(u"bus.pcap"_s), RowFields, c.same);
        const qsizetype common = std::min(kept.size(), expected.size());
        EXPECT_EQ(expected.mid(0, common), kept.mid(0, common)) << c.same.toStdString();
        EXPECT_TRUE(ts.packets(name, RowFields, u"!("_s + c.same + QLatin1Char(')')).isEmpty());
    }
}

// A message cut short anywhere before its command ends in malformed marks in both
// dissectors, never in a Lua error; one without its parameter keeps the monitor's name.
TEST(Wireshark, MessagesCutShortAreMarkedNeverAnError)
{
    NEED_TSHARK();
    WorkingFolder folder;
    const QString name = folder.path(u"cut.pcap"_s);
    PcapWriter writer;
    ASSERT_TRUE(writer.open(name));
    const std::vector<std::uint8_t> gotoTarget{0x02, 0xF0, 0x00, 0x02, 0x01, 0xA9};
    for (long length = 0; length <= 6; ++length)
        ASSERT_TRUE(writer.write({1000, 2, 0, 0, {gotoTarget.begin(), gotoTarget.begin() + length}}));
    ASSERT_TRUE(writer.close());
    const Tshark ts(folder);
    EXPECT_EQ(ts.packets(name, {u"frame.number"_s}, u"quillbus.cut_short"_s).size(), 6);
    EXPECT_EQ(ts.packets(name, {u"quillbus.name"_s}, u"quillbus.parameter_missing"_s),
              QStringList{u"Goto Target 128"_s});
    for (const Dissector dissector : {Dissector::Compiled, Dissector::Lua}) {
        const Ran verbose = ts.run({u"-r"_s, name, u"-V"_s}, dissector);
        EXPECT_EQ(verbose.status, 0);
        EXPECT_FALSE(verbose.out.contains(u"Lua Error"_s) || verbose.err.contains(u"Lua"_s))
            << verbose.err.toStdString();
        EXPECT_GE(verbose.out.count(u"[Expert Info (Error/Malformed)"_s), 6);
    }
}

namespace {
// The trace ends with capture switched off and the module closed, as the monitor leaves it.
void expectReleased(const QByteArray &trace)
{
    EXPECT_TRUE(trace.endsWith("CloseUSBDriver() = 0\n")) << trace.right(200).toStdString();
    EXPECT_GT(trace.lastIndexOf("QwilAnalyzer(0, 5) = 0"), trace.lastIndexOf("GetData"));
}
} // namespace

// Wireshark finds the interface through its extcap folder and captures decoded messages;
// stopping it (SIGTERM), or closing the FIFO, releases the module. Wireshark reads the
// extcap folder from the environment only for an unprivileged user, so as root tshark runs
// as nobody.
TEST(Wireshark, TheExtcapInterfaceCapturesUntilWiresharkStopsIt)
{
    NEED_TSHARK();
    WorkingFolder folder;
    const Tshark ts(folder);
    folder.write(u"bus.scenario"_s, Traffic + "trace \"" + QFile::encodeName(folder.path(u"trace.txt"_s)) + "\"\n");

    const QStringList &user = ts.user();
    QString extcap = QStringLiteral(QUILL_WIRESHARK_DIR "/extcap");
    if (!user.isEmpty() && run(user.first(), user.mid(1) + QStringList{u"test"_s, u"-x"_s, Program}).status != 0) {
        // The build is out of nobody's reach (a checkout under /root): a copy of the program
        // and of the emulator beside it stands in, with the same two-line script.
        const QString bin = folder.path(u"bin"_s);
        extcap = folder.path(u"extcap"_s);
        ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(extcap));
        const QDir built = QFileInfo(Program).dir();
        ASSERT_TRUE(QFile::copy(Program, bin + u"/quillbus-service"_s));
        ASSERT_TRUE(QFile::copy(built.filePath(u"libQwilUSB.so"_s), bin + u"/libQwilUSB.so"_s));
        folder.write(u"extcap/quillbus"_s,
                     "#!/bin/sh\nexec '" + QFile::encodeName(bin) + "/quillbus-service' extcap \"$@\"\n");
        run(u"chmod"_s, {u"-R"_s, u"a+rx"_s, bin, extcap});
    }
    const auto tsharkAs = [&](const QStringList &arguments) {
        return ts.run(arguments, Dissector::Compiled, {{u"WIRESHARK_EXTCAP_DIR"_s, extcap}});
    };
    EXPECT_TRUE(tsharkAs({u"-D"_s}).out.contains(u"quillbus (Quillbus bus monitor)"_s));

    const Ran live = tsharkAs(
        {u"-i"_s, u"quillbus"_s, u"-o"_s, u"extcap.quillbus.scenario:"_s + folder.path(u"bus.scenario"_s), u"-a"_s,
         u"duration:3"_s, u"-T"_s, u"fields"_s, u"-e"_s, u"quillbus.address"_s, u"-e"_s, u"quillbus.name"_s});
    EXPECT_EQ(live.status, 0) << live.err.toStdString();
    const QStringList decoded = live.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_GE(decoded.size(), 300) << live.err.toStdString();
    EXPECT_GE(decoded.filter(u" Deg/Sec"_s).size(), 10);
    expectReleased(folder.read(u"trace.txt"_s));

    // Wireshark closing the FIFO ends the capture as cleanly.
    const QString fifo = folder.path(u"fifo"_s);
    ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
    QFile::remove(folder.path(u"trace.txt"_s));
    QProcess capture;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QWILUSB_SCENARIO"_s, folder.path(u"bus.scenario"_s));
    capture.setProcessEnvironment(env);
    capture.start(Program, {u"extcap"_s, u"--capture"_s, u"--extcap-interface"_s, u"quillbus"_s, u"--fifo"_s, fifo});
    const int reader = ::open(qPrintable(fifo), O_RDONLY);
    ASSERT_GE(reader, 0);
    char buffer[4096];
    std::size_t read = 0;
    ssize_t got = 0;
    while (read < 2000 && (got = ::read(reader, buffer, sizeof buffer)) > 0)
        read += static_cast<std::size_t>(got);
    ::close(reader);
    EXPECT_GE(read, 2000u);
    ASSERT_TRUE(capture.waitForFinished(10000));
    EXPECT_EQ(capture.exitCode(), 0) << capture.readAllStandardError().toStdString();
    expectReleased(folder.read(u"trace.txt"_s));
}

// The interface's options are checked by Wireshark with the pattern the interface gives,
// and by the program when the capture starts: the two agree on every filter. A capture the
// program refuses lets go of Wireshark's FIFO at once (as dumpcap opens it, a reader
// waiting for a writer), so Wireshark ends with the reason instead of waiting.
TEST(Wireshark, TheInterfacesOptionsAreCheckedOneWayAndARefusalEndsTheCapture)
{
    const Ran config = run(Program, {u"extcap"_s, u"--extcap-interface"_s, u"quillbus"_s, u"--extcap-config"_s});
    const qsizetype at = config.out.indexOf(u"{validation="_s);
    ASSERT_GE(at, 0) << config.out.toStdString();
    const QString pattern = config.out.mid(at + 12, config.out.indexOf(QLatin1Char('}'), at) - at - 12);
    const QRegularExpression validation(pattern);
    ASSERT_TRUE(validation.isValid());
    QStringList pairs;
    for (int i = 1; i <= 26; ++i)
        pairs << u"%1"_s.arg(i, 2, 16, QLatin1Char('0')).toUpper();
    // clang-format off
    const QString filters[] = {QString(), u"05"_s, u" 05 F0 "_s, u"00"_s, u"05 00"_s, u"5"_s, u"05  F0"_s, u"0g"_s,
                               u"ff,c0"_s, pairs.mid(0, 25).join(QLatin1Char(' ')), pairs.join(QLatin1Char(' '))};
    // clang-format on
    for (const QString &filter : filters) {
        const bool taken = filter.trimmed().isEmpty() || MonitorRows::FilterList::wellFormed(filter.trimmed());
        EXPECT_EQ(validation.match(filter).hasMatch(), taken) << filter.toStdString();
    }

    WorkingFolder folder;
    const QString fifo = folder.path(u"fifo"_s);
    ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
    QProcess reader; // dumpcap's side: waits in its open until a writer comes
    reader.start(u"cat"_s, {fifo});
    const Ran refused = run(Program, {u"extcap"_s, u"--capture"_s, u"--extcap-interface"_s, u"quillbus"_s, u"--fifo"_s,
                                      fifo, u"--address"_s, u"00"_s});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains(u"--address takes hexadecimal pairs"_s)) << refused.err.toStdString();
    EXPECT_TRUE(reader.waitForFinished(5000)) << "the reader was let go";
    reader.kill();
    reader.waitForFinished();
}
