#include "terminal/CommandLine.h"

#include "core/Versions.h"
#include "engines/flash/LookupTables.h"
#include "engines/flash/ScanRules.h"
#include "engines/monitor/MonitorRows.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

const QString Commands =
    QStringLiteral("\nCommands (each has its own --help):\n"
                   "  scan                  Scan the bus for devices and list those that answer.\n"
                   "  monitor               Show the bus monitor's rows; log them, or play a log back.\n"
                   "  load                  Load firmware into scanned devices, the module, or over a serial port.\n"
                   "  erase                 Erase a board's flash, or sectors of it, over a serial port.\n"
                   "  tables <dir>          Write the five lookup-table headers into dir.\n"
                   "  extcap                Wireshark's capture program for the bus (see extcap --help).\n"
                   "\nWithout a command the windows open, working in --working-folder (the launcher gives\n"
                   "~/Quillbus) or where the program was started. Commands work where they are started, or in\n"
                   "their --folder. Paths on the command line mean what they mean where it was typed.\n");

// What a blank filter value means: a mistake on a command line, no filter from Wireshark.
enum class Blank { Refused, NoFilter };

// The monitor's address and command filters read into m; why not, or nothing.
Problem readFilters(const QCommandLineParser &parser, const QCommandLineOption &address,
                    const QCommandLineOption &commands, MonitorOptions &m, Blank blank)
{
    for (const auto &[option, list] : {std::pair{&address, &m.addresses}, std::pair{&commands, &m.commands}}) {
        const QString value = blank == Blank::NoFilter ? parser.value(*option).trimmed() : parser.value(*option);
        if (!parser.isSet(*option) || (blank == Blank::NoFilter && value.isEmpty()))
            continue;
        const auto taken = MonitorRows::FilterList::wellFormed(value);
        if (!taken)
            return Problem(QStringLiteral("--") + option->names().first() +
                           QStringLiteral(" takes hexadecimal pairs from 01 to FF, one character between two "
                                          "(\"02 05\"), at most 25"));
        *list = *taken;
    }
    return {};
}

// Two paths name one file: the same path, or (through links) the same file on disk.
bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo first(a), second(b);
    if (first.absoluteFilePath() == second.absoluteFilePath())
        return true;
    return first.exists() && second.exists() && first.canonicalFilePath() == second.canonicalFilePath();
}

CommandLine refused(const QString &why, const QString &command = {})
{
    CommandLine line;
    line.action = CommandLine::Action::Refuse;
    const QString helpCommand = command.isEmpty() ? QString() : command + QLatin1Char(' ');
    line.text = why + QStringLiteral("\nTry quillbus-service ") + helpCommand + QStringLiteral("--help.\n");
    return line;
}

CommandLine shown(const QString &text)
{
    CommandLine line;
    line.action = CommandLine::Action::ShowText;
    line.text = text;
    return line;
}

// An option given twice would silently win over itself: the name of the first such one
// (--file names a file per device and is given once per device).
QString repeatedOption(const QCommandLineParser &parser)
{
    const QStringList names = parser.optionNames();
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i] != QLatin1String("file") && names.indexOf(names[i], i + 1) > i)
            return names[i];
    }
    return {};
}

// Parsed without an application object, the parser cannot name the program itself.
QString helpOf(const QCommandLineParser &parser, const QString &usage)
{
    QString text = parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: quillbus-service ") + usage);
    return text;
}

// One command's parser, with its own --help and usage line.
class CommandParser {
public:
    CommandParser(const QString &name, const QString &usage, const QString &description) : m_name(name), m_usage(usage)
    {
        parser.setApplicationDescription(description);
        parser.addOption(m_help);
    }

    // The answer to give at once (a refusal, or the help text), or nothing when the
    // options are there to be taken.
    std::optional<CommandLine> read(const QStringList &arguments, bool takesArguments = false)
    {
        if (!parser.parse(arguments))
            return refuse(parser.errorText());
        if (parser.isSet(m_help))
            return shown(helpOf(parser, m_usage));
        if (const QString twice = repeatedOption(parser); !twice.isEmpty())
            return refuse(QStringLiteral("--") + twice + QStringLiteral(" is given more than once"));
        if (!takesArguments && !parser.positionalArguments().isEmpty())
            return refuse(QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first());
        return std::nullopt;
    }
    CommandLine refuse(const QString &why) const { return refused(why, m_name); }

    // The scan's highest address, 1 to 96 (16 unless given).
    static QCommandLineOption toOption()
    {
        return {QStringLiteral("to"), QStringLiteral("Highest address to scan, 1-96 (16)."), QStringLiteral("N"),
                QStringLiteral("16")};
    }
    std::optional<int> highest(const QCommandLineOption &to) const
    {
        bool number = false;
        const int value = parser.value(to).toInt(&number);
        return number && value >= 1 && value <= ScanRules::MaxScanAddress ? std::optional<int>(value) : std::nullopt;
    }

    QCommandLineParser parser;

private:
    QString m_name;
    QString m_usage;
    QCommandLineOption m_help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
};

// How a command's results are listed: table, csv or json (table).
QCommandLineOption formatOption()
{
    return {QStringLiteral("format"), QStringLiteral("How the results are listed: table, csv or json (table)."),
            QStringLiteral("format"), QStringLiteral("table")};
}

std::optional<ScanOptions::Format> formatNamed(const QString &name)
{
    if (name == QLatin1String("table"))
        return ScanOptions::Format::Table;
    if (name == QLatin1String("csv"))
        return ScanOptions::Format::Csv;
    if (name == QLatin1String("json"))
        return ScanOptions::Format::Json;
    return std::nullopt;
}

CommandLine parseScan(const QStringList &arguments)
{
    CommandParser command(
        QStringLiteral("scan"), QStringLiteral("scan [options]"),
        QStringLiteral("Scans the bus from address 1 up to N, as the flash loader's Scan Network does, "
                       "and lists the\ndevices that answer: address, name, type and revision."));
    const QCommandLineOption to = CommandParser::toOption();
    const QCommandLineOption format = formatOption();
    command.parser.addOptions({to, format});
    if (const auto answer = command.read(arguments))
        return *answer;
    CommandLine line;
    line.action = CommandLine::Action::Scan;
    const auto highest = command.highest(to);
    if (!highest)
        return command.refuse(QStringLiteral("--to takes an address from 1 to 96"));
    line.scan.highest = *highest;
    const auto chosen = formatNamed(command.parser.value(format));
    if (!chosen)
        return command.refuse(QStringLiteral("--format takes table, csv or json"));
    line.scan.format = *chosen;
    return line;
}

// How long a capture runs, and the files it reads and writes, taken together.
Problem readLimits(const QCommandLineParser &parser, const QCommandLineOption &seconds, const QCommandLineOption &count,
                   MonitorOptions &m)
{
    bool ok = true;
    if (parser.isSet(seconds))
        m.seconds = parser.value(seconds).toDouble(&ok);
    // A capture of no time or no rows would end at once, or (as 0 means no limit) never.
    if (!ok || !std::isfinite(m.seconds) || m.seconds < 0 || (parser.isSet(seconds) && m.seconds == 0))
        return Problem(QStringLiteral("--seconds takes a number of seconds above 0"));
    if (parser.isSet(seconds) && parser.isSet(count))
        return Problem(QStringLiteral("--seconds and --count cannot go together"));
    if (parser.isSet(count))
        m.count = parser.value(count).toLongLong(&ok);
    if (!ok || m.count < 0 || (parser.isSet(count) && m.count == 0))
        return Problem(QStringLiteral("--count takes a number of rows above 0"));
    if (!m.playPath.isEmpty() && !m.pcapPath.isEmpty() && (parser.isSet(seconds) || parser.isSet(count)))
        return Problem(QStringLiteral("--play with --pcap converts the whole log: no --seconds or --count"));
    if (!m.playPath.isEmpty() && !m.logPath.isEmpty())
        return Problem(QStringLiteral("--play and --log cannot go together"));
    // The capture file is created afresh: naming the log read or written would destroy it.
    for (const auto &[option, path] : {std::pair{"--play", m.playPath}, std::pair{"--log", m.logPath}}) {
        if (m.pcapPath != QLatin1String("-") && !path.isEmpty() && sameFile(m.pcapPath, path))
            return Problem(QStringLiteral("--pcap names the same file as ") + QLatin1String(option) +
                           QStringLiteral(": give the capture file a name of its own"));
    }
    return {};
}

CommandLine parseMonitor(const QStringList &arguments)
{
    CommandParser command(
        QStringLiteral("monitor"), QStringLiteral("monitor [options]"),
        QStringLiteral("Captures the bus as the monitor window does and writes its rows on standard output, one a\n"
                       "line. Ctrl-C (SIGINT), SIGTERM or SIGHUP stops it, the log closed whole. Filters take\n"
                       "hexadecimal pairs, one character between two (\"02 05\"), as the window's boxes do; they\n"
                       "apply to a capture, not to a log played back."));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Hide the rows of these addresses (a message's first byte)."),
                                     QStringLiteral("list"));
    const QCommandLineOption commands(QStringLiteral("command"), QStringLiteral("Hide the rows of these commands."),
                                      QStringLiteral("list"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Write the rows into file as well."),
                                 QStringLiteral("file"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("Stop after this many seconds."),
                                     QStringLiteral("S"));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("Stop once N rows are shown (those read with the last are kept)."),
                                   QStringLiteral("N"));
    const QCommandLineOption play(QStringLiteral("play"),
                                  QStringLiteral("Play a log back instead of capturing (no module needed)."),
                                  QStringLiteral("file"));
    const QCommandLineOption absolute(
        QStringLiteral("absolute"),
        QStringLiteral("Times from the start rather than from the row before (with --play --pcap: the log's times "
                       "are so)."));
    const QCommandLineOption pcap(
        QStringLiteral("pcap"),
        QStringLiteral("Write the rows' messages into a capture file for Wireshark as well (\"-\": on standard "
                       "output, and no rows shown). With --play, converts the log at once."),
        QStringLiteral("file"));
    command.parser.addOptions({address, commands, log, seconds, count, play, absolute, pcap});
    if (const auto answer = command.read(arguments))
        return *answer;
    const QCommandLineParser &parser = command.parser;
    CommandLine line;
    line.action = CommandLine::Action::Monitor;
    MonitorOptions &m = line.monitor;
    if (const Problem why = readFilters(parser, address, commands, m, Blank::Refused))
        return command.refuse(why.why());
    m.logPath = parser.value(log);
    m.playPath = parser.value(play);
    m.pcapPath = parser.value(pcap);
    if (parser.isSet(pcap) && m.pcapPath.isEmpty())
        return command.refuse(QStringLiteral("--pcap takes a file, or - for standard output"));
    m.absoluteTime = parser.isSet(absolute);
    if (const Problem why = readLimits(parser, seconds, count, m))
        return command.refuse(why.why());
    return line;
}

// The devices a load names: addresses, files by address, or --all; why not, or nothing.
QString readDevices(const QStringList &words, const QStringList &files, LoadOptions &l)
{
    bool number = false;
    for (const QString &word : words) {
        const int address = word.toInt(&number);
        if (!number || address < 1 || address > 96)
            return QStringLiteral("Not a device address: ") + word;
        if (address > l.highest)
            return QStringLiteral("Address %1 is beyond the scan (--to %2)").arg(address).arg(l.highest);
        l.addresses << address;
    }
    for (const QString &named : files) {
        const qsizetype equals = named.indexOf(QLatin1Char('='));
        const int address = named.left(equals).toInt(&number);
        if (equals < 0 || !number || address < 1 || address > l.highest || named.size() == equals + 1)
            return QStringLiteral("--file takes address=file, the address from 1 to --to (%1): ").arg(l.highest) +
                   named;
        if (l.files.contains(address))
            return QStringLiteral("--file names address %1 more than once").arg(address);
        l.files.insert(address, named.mid(equals + 1));
        if (!l.addresses.contains(address))
            l.addresses << address;
    }
    std::sort(l.addresses.begin(), l.addresses.end());
    const bool devices = l.all || !l.addresses.isEmpty();
    if (devices == !l.moduleFile.isEmpty())
        return QStringLiteral("load takes --all, device addresses, or --module file");
    if (l.all && !l.addresses.isEmpty())
        return QStringLiteral("--all and addresses cannot go together");
    return {};
}

// The load command's options.
struct LoadCommandOptions {
    const QCommandLineOption to = CommandParser::toOption();
    const QCommandLineOption folder{
        QStringLiteral("folder"),
        QStringLiteral("Look for firmware (and BootLdr.dwn, FlshLdr.dwn) in dir, not in the current folder."),
        QStringLiteral("dir")};
    const QCommandLineOption all{
        QStringLiteral("all"),
        QStringLiteral("Load every device the scan lists; domes that cannot take a download are passed over.")};
    const QCommandLineOption file{
        QStringLiteral("file"),
        QStringLiteral("Load this file into the device at address, whatever the folder holds (once per device)."),
        QStringLiteral("address=file")};
    const QCommandLineOption dryRun{
        QStringLiteral("dry-run"),
        QStringLiteral("Check the files and print what each load would send where; send nothing.")};
    const QCommandLineOption latest{
        QStringLiteral("latest"),
        QStringLiteral("Where several files match, take the highest revision, as \"Upload latest Rev\" does.")};
    const QCommandLineOption onlyOlder{
        QStringLiteral("only-older"),
        QStringLiteral("Load only where the device (or the module) holds a lower revision than its file; "
                       "the others are listed as current and sent nothing.")};
    const QCommandLineOption module{QStringLiteral("module"), QStringLiteral("Load file into the module itself."),
                                    QStringLiteral("file")};
    const QCommandLineOption port{QStringLiteral("port"),
                                  QStringLiteral("Load file into the board on this serial device instead."),
                                  QStringLiteral("device")};
    const QCommandLineOption format = formatOption();
};

// A load of the file named into the module or a board on a port: no scan, no choice, so
// the options of a scan mean nothing there. Why not, or nothing.
QString singleFileProblem(const QCommandLineParser &parser, const LoadCommandOptions &o)
{
    const QString form = parser.isSet(o.port) ? QStringLiteral("--port") : QStringLiteral("--module");
    for (const QCommandLineOption *scanOnly : {&o.to, &o.latest, &o.format, &o.file}) {
        if (parser.isSet(*scanOnly))
            return QStringLiteral("--") + scanOnly->names().first() + QStringLiteral(" means nothing with ") + form;
    }
    if (parser.isSet(o.port) &&
        (parser.positionalArguments().size() != 1 || parser.isSet(o.all) || parser.isSet(o.module)))
        return QStringLiteral("load --port takes one file");
    if (parser.isSet(o.port) && parser.isSet(o.onlyOlder))
        return QStringLiteral("--only-older means nothing with --port: a board does not say its revision");
    return {};
}

// The devices' load: how far to scan, which devices, how to choose and list. Why not, or nothing.
QString readDeviceLoad(const QCommandLineParser &parser, const LoadCommandOptions &o, LoadOptions &l)
{
    bool number = false;
    l.highest = parser.value(o.to).toInt(&number);
    if (!number || l.highest < 1 || l.highest > 96)
        return QStringLiteral("--to takes an address from 1 to 96");
    l.all = parser.isSet(o.all);
    l.dryRun = parser.isSet(o.dryRun);
    l.takeLatestFile = parser.isSet(o.latest);
    l.onlyOlder = parser.isSet(o.onlyOlder);
    const auto chosen = formatNamed(parser.value(o.format));
    if (!chosen)
        return QStringLiteral("--format takes table, csv or json");
    l.format = *chosen;
    l.moduleFile = parser.value(o.module);
    l.folder = parser.value(o.folder);
    return readDevices(parser.positionalArguments(), parser.values(o.file), l);
}

CommandLine parseLoad(const QStringList &arguments)
{
    CommandParser command(
        QStringLiteral("load"),
        QStringLiteral("load [options] (--all | address...) | --module file | --port device file"),
        QStringLiteral("Scans the bus, chooses each selected device's firmware file (F<type>-*.hex in the folder)\n"
                       "as the flash loader does, loads the devices one after the other, scans again and lists,\n"
                       "per device, the revision before and after and the load's final status. With --module,\n"
                       "loads the module's own firmware instead; with --port, loads file into the board on that\n"
                       "serial port through its boot loader (BootLdr.dwn and FlshLdr.dwn of the folder).\n"
                       "Ctrl-C abandons the load in hand."));
    const LoadCommandOptions o;
    command.parser.addOptions(
        {o.to, o.folder, o.all, o.file, o.dryRun, o.latest, o.onlyOlder, o.module, o.port, o.format});
    command.parser.addPositionalArgument(QStringLiteral("address"),
                                         QStringLiteral("The devices to load (with --port: the file)."),
                                         QStringLiteral("[address...]"));
    if (const auto answer = command.read(arguments, true))
        return *answer;
    const QCommandLineParser &parser = command.parser;
    CommandLine line;
    line.folder = parser.value(o.folder);
    if (parser.isSet(o.port) || parser.isSet(o.module)) {
        if (const QString problem = singleFileProblem(parser, o); !problem.isEmpty())
            return command.refuse(problem);
    }
    if (parser.isSet(o.port)) {
        line.action = CommandLine::Action::Serial;
        line.serial.port = parser.value(o.port);
        line.serial.applicationFile = parser.positionalArguments().first();
        line.serial.dryRun = parser.isSet(o.dryRun);
        line.serial.folder = line.folder;
        return line;
    }
    line.action = CommandLine::Action::Load;
    if (const QString problem = readDeviceLoad(parser, o, line.load); !problem.isEmpty())
        return command.refuse(problem);
    return line;
}

// "0,3,5-7": sectors 0 to 21, one by one or as ranges.
std::optional<QList<int>> sectorList(const QString &text)
{
    QList<int> sectors;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        bool firstOk = false;
        bool lastOk = false;
        const int first = ends.value(0).trimmed().toInt(&firstOk);
        const int last = ends.size() == 2 ? ends[1].trimmed().toInt(&lastOk) : first;
        if (!firstOk || (ends.size() == 2 && !lastOk) || ends.size() > 2 || first < 0 || last > 21 || first > last)
            return std::nullopt;
        for (int sector = first; sector <= last; ++sector)
            sectors << sector;
    }
    return sectors;
}

CommandLine parseErase(const QStringList &arguments)
{
    CommandParser command(
        QStringLiteral("erase"), QStringLiteral("erase --port device (--all | --sectors list)"),
        QStringLiteral("Erases the flash of the board on a serial port, or chosen sectors of it, through its boot\n"
                       "loader (BootLdr.dwn and FlshLdr.dwn of the folder), as Comm Port mode's erase buttons do."));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The board's serial device."),
                                  QStringLiteral("device"));
    const QCommandLineOption folder(
        QStringLiteral("folder"), QStringLiteral("Find BootLdr.dwn and FlshLdr.dwn in dir, not in the current folder."),
        QStringLiteral("dir"));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("Erase the whole flash."));
    const QCommandLineOption sectors(
        QStringLiteral("sectors"), QStringLiteral("Erase these sectors, 0-21, as in 0,3,5-7."), QStringLiteral("list"));
    command.parser.addOptions({port, folder, all, sectors});
    if (const auto answer = command.read(arguments))
        return *answer;
    const QCommandLineParser &parser = command.parser;
    if (!parser.isSet(port) || parser.isSet(all) == parser.isSet(sectors))
        return command.refuse(QStringLiteral("erase takes --port and either --all or --sectors"));
    CommandLine line;
    line.action = CommandLine::Action::Serial;
    line.folder = parser.value(folder);
    line.serial.folder = line.folder;
    line.serial.port = parser.value(port);
    line.serial.eraseAll = parser.isSet(all);
    if (parser.isSet(sectors)) {
        const auto list = sectorList(parser.value(sectors));
        if (!list)
            return command.refuse(QStringLiteral("--sectors takes sectors 0-21, as in 0,3,5-7"));
        line.serial.sectors = *list;
    }
    return line;
}

// What Wireshark asks about the interface: its link types, its options, or a capture.
Problem readQuery(const QCommandLineParser &parser, const QCommandLineOption &interface,
                  const std::array<const QCommandLineOption *, 4> &queries, ExtcapOptions::Query &query)
{
    if (!parser.isSet(interface))
        return Problem(QStringLiteral("extcap takes --extcap-interfaces, or --extcap-interface ") + ExtcapInterface +
                       QStringLiteral(" with --extcap-dlts, --extcap-config or --capture"));
    if (parser.value(interface) != ExtcapInterface)
        return Problem(QStringLiteral("--extcap-interface takes ") + ExtcapInterface);
    const auto &[dlts, config, capture, filter] = queries;
    // Wireshark checks a capture filter by asking with it alone.
    if (parser.isSet(*filter) && parser.isSet(*dlts) + parser.isSet(*config) + parser.isSet(*capture) == 0) {
        query = ExtcapOptions::Query::CheckFilter;
        return {};
    }
    if (parser.isSet(*dlts) + parser.isSet(*config) + parser.isSet(*capture) != 1)
        return Problem(QStringLiteral("extcap takes one of --extcap-dlts, --extcap-config and --capture"));
    query = parser.isSet(*dlts)     ? ExtcapOptions::Query::Dlts
            : parser.isSet(*config) ? ExtcapOptions::Query::Config
                                    : ExtcapOptions::Query::Capture;
    return {};
}

CommandLine parseExtcap(const QStringList &arguments)
{
    CommandParser command(
        QStringLiteral("extcap"), QStringLiteral("extcap --extcap-interfaces | --extcap-interface quillbus ..."),
        QStringLiteral("Wireshark's capture program for the bus, called by Wireshark through the two-line script\n"
                       "quillbus in its extcap folder (exec quillbus-service extcap \"$@\"). It names the interface\n"
                       "quillbus, its link type and options, and with --capture writes the monitor's messages into\n"
                       "Wireshark's FIFO until Wireshark stops it (SIGTERM) or closes the FIFO; the module is\n"
                       "released as the monitor releases it."));
    const QCommandLineOption interfaces(QStringLiteral("extcap-interfaces"), QStringLiteral("List the interface."));
    const QCommandLineOption interface(QStringLiteral("extcap-interface"),
                                       QStringLiteral("The interface asked about: quillbus."), QStringLiteral("name"));
    const QCommandLineOption dlts(QStringLiteral("extcap-dlts"), QStringLiteral("Name the interface's link type."));
    const QCommandLineOption config(QStringLiteral("extcap-config"), QStringLiteral("List the capture's options."));
    const QCommandLineOption capture(QStringLiteral("capture"), QStringLiteral("Capture into the FIFO."));
    const QCommandLineOption fifo(QStringLiteral("fifo"), QStringLiteral("Wireshark's FIFO."), QStringLiteral("path"));
    const QCommandLineOption version(QStringLiteral("extcap-version"), QStringLiteral("Wireshark's version."),
                                     QStringLiteral("version"));
    const QCommandLineOption filter(QStringLiteral("extcap-capture-filter"),
                                    QStringLiteral("Checked: none is taken, the address and command options choose."),
                                    QStringLiteral("filter"));
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("Leave out these addresses."),
                                     QStringLiteral("list"));
    const QCommandLineOption commands(QStringLiteral("command"), QStringLiteral("Leave out these commands."),
                                      QStringLiteral("list"));
    const QCommandLineOption scenario(QStringLiteral("scenario"),
                                      QStringLiteral("The emulator's scenario file, when the emulator is the driver."),
                                      QStringLiteral("file"));
    command.parser.addOptions(
        {interfaces, interface, dlts, config, capture, fifo, version, filter, address, commands, scenario});
    if (const auto answer = command.read(arguments))
        return *answer;
    const QCommandLineParser &parser = command.parser;
    // A capture refused still lets Wireshark's FIFO go, so that Wireshark is not left
    // waiting for a writer and shows the reason at once.
    const auto refuse = [&](const QString &why) {
        CommandLine refusal = command.refuse(why);
        if (parser.isSet(capture)) {
            refusal.extcap.query = ExtcapOptions::Query::Capture;
            refusal.extcap.capture.pcapPath = parser.value(fifo);
        }
        return refusal;
    };
    CommandLine line;
    line.action = CommandLine::Action::Extcap;
    ExtcapOptions &x = line.extcap;
    if (parser.isSet(interfaces))
        return line;
    if (const Problem why = readQuery(parser, interface, {&dlts, &config, &capture, &filter}, x.query))
        return refuse(why.why());
    // The module delivers every message; what a capture leaves out is chosen by the
    // interface's address and command options, so a capture filter is refused, not ignored.
    if (!parser.value(filter).trimmed().isEmpty())
        x.filterProblem = QStringLiteral("The Quillbus interface takes no capture filter: use its options \"Leave "
                                         "out addresses\" and \"Leave out commands\", or a display filter");
    if (x.query == ExtcapOptions::Query::Capture && !x.filterProblem.isEmpty())
        return refuse(x.filterProblem);
    MonitorOptions &m = x.capture;
    // Wireshark hands an option left empty over as an empty value: no filter.
    if (const Problem why = readFilters(parser, address, commands, m, Blank::NoFilter))
        return refuse(why.why());
    x.scenario = parser.value(scenario);
    m.pcapPath = parser.value(fifo);
    m.forWireshark = true;
    if (x.query == ExtcapOptions::Query::Capture && m.pcapPath.isEmpty())
        return refuse(QStringLiteral("--capture takes --fifo"));
    return line;
}

CommandLine parseTables(const QStringList &arguments)
{
    CommandParser command(
        QStringLiteral("tables"), QStringLiteral("tables [options] dir"),
        QStringLiteral("Writes lut_R.h, lut_Z.h, lut_S.h, VStrSin.h and VStrCos.h into dir, as --write-tables does."));
    command.parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("The folder the headers go into."));
    if (const auto answer = command.read(arguments, true))
        return *answer;
    if (command.parser.positionalArguments().size() != 1)
        return command.refuse(QStringLiteral("tables takes one folder"));
    CommandLine line;
    line.action = CommandLine::Action::WriteTables;
    line.tablesDirectory = command.parser.positionalArguments().first();
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &given)
{
    // "--working-folder DIR" may lead (the launcher puts it there); it concerns the windows.
    QStringList arguments = given;
    QString workingFolder;
    if (arguments.value(1) == QLatin1String("--working-folder") && arguments.size() > 2) {
        workingFolder = arguments[2];
        arguments.remove(1, 2);
    } else if (arguments.value(1).startsWith(QLatin1String("--working-folder="))) {
        workingFolder = arguments[1].mid(QStringLiteral("--working-folder=").size());
        arguments.remove(1);
    }
    CommandLine line = parseArguments(arguments);
    if (!workingFolder.isEmpty())
        line.workingFolder = workingFolder;
    return line;
}

// The options of the program without a command: the windows' and the tables'.
struct WindowOptions {
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the program's version.")};
    const QCommandLineOption com1{QStringLiteral("com1"),
                                  QStringLiteral("Serial device for COM port 1 (Comm Port mode: needs --engineering)."),
                                  QStringLiteral("device")};
    const QCommandLineOption com2{QStringLiteral("com2"),
                                  QStringLiteral("Serial device for COM port 2 (Comm Port mode: needs --engineering)."),
                                  QStringLiteral("device")};
    const QCommandLineOption working{QStringLiteral("working-folder"),
                                     QStringLiteral("The folder the windows work in (firmware, download files, logs); "
                                                    "by default where the program was started."),
                                     QStringLiteral("dir")};
    const QCommandLineOption engineering{
        QStringLiteral("engineering"),
        QStringLiteral("Show the flash loader's USB and H File Generator check boxes (Comm Port mode, tables).")};
    const QCommandLineOption tables{QStringLiteral("write-tables"),
                                    QStringLiteral("Write the five lookup-table headers into dir and exit."),
                                    QStringLiteral("dir")};
};

// A word where the windows' options are read: a command that came after an option, or none.
static CommandLine refusedWord(const QString &word)
{
    const bool isCommand = QStringList{QStringLiteral("scan"),  QStringLiteral("monitor"), QStringLiteral("load"),
                                       QStringLiteral("erase"), QStringLiteral("tables"),  QStringLiteral("extcap")}
                               .contains(word);
    CommandLine line;
    line.action = CommandLine::Action::Refuse;
    line.text =
        (isCommand ? word + QStringLiteral(" is a command: it comes first, before its options (quillbus-service ") +
                         word + QStringLiteral(" ...)")
                   : QStringLiteral("Unknown command: ") + word) +
        QStringLiteral("\nTry --help.\n");
    return line;
}

CommandLine CommandLine::parseArguments(const QStringList &arguments)
{
    // A command is the first argument; what follows is its own.
    const QString command = arguments.value(1);
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("scan"))
        return parseScan(rest);
    if (command == QLatin1String("tables"))
        return parseTables(rest);
    if (command == QLatin1String("monitor"))
        return parseMonitor(rest);
    if (command == QLatin1String("load"))
        return parseLoad(rest);
    if (command == QLatin1String("erase"))
        return parseErase(rest);
    if (command == QLatin1String("extcap"))
        return parseExtcap(rest);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Service tool for Quillbus domes and devices on the USB module."));
    const WindowOptions o;
    parser.addOptions({o.help, o.version, o.com1, o.com2, o.engineering, o.tables, o.working});

    CommandLine line;
    if (!parser.parse(arguments)) {
        line.action = Action::Refuse;
        line.text = parser.errorText() + QStringLiteral("\nTry --help.\n");
        return line;
    }
    if (!parser.positionalArguments().isEmpty())
        return refusedWord(parser.positionalArguments().first());
    if (const QString twice = repeatedOption(parser); !twice.isEmpty()) {
        line.action = Action::Refuse;
        line.text = QStringLiteral("--") + twice + QStringLiteral(" is given more than once\nTry --help.\n");
        return line;
    }
    if (parser.isSet(o.help) || parser.isSet(o.version)) {
        line.action = Action::ShowText;
        // Parsed without an application object, the parser cannot name the program itself.
        line.text = parser.isSet(o.help) ? helpOf(parser, QStringLiteral("[options] | <command> [options]")) + Commands
                                         : QStringLiteral("quillbus-service ") + Versions::Panel + QLatin1Char('\n');
        return line;
    }
    line.flash.engineering = parser.isSet(o.engineering);
    line.flash.com1 = parser.value(o.com1);
    line.flash.com2 = parser.value(o.com2);
    line.workingFolder = parser.value(o.working);
    if ((parser.isSet(o.com1) || parser.isSet(o.com2)) && !line.flash.engineering)
        line.warnings = QStringLiteral("quillbus-service: --com1 and --com2 take effect in the flash loader's Comm "
                                       "Port mode, which only --engineering shows\n");
    if (parser.isSet(o.tables)) {
        line.action = Action::WriteTables;
        line.tablesDirectory = parser.value(o.tables);
    }
    return line;
}

// A serial device named by a relative path ("./ttyX") means the one in the folder the
// program was started in; a bare name ("ttyS0") is the system's port name as it stands.
static QString startedFrom(const QString &device)
{
    if (device.contains(QLatin1Char('/')) && QFileInfo(device).isRelative())
        return QFileInfo(device).absoluteFilePath();
    return device;
}

Problem CommandLine::enterWorkingFolder()
{
    flash.com1 = startedFrom(flash.com1);
    flash.com2 = startedFrom(flash.com2);
    if (workingFolder.isEmpty() || QDir::setCurrent(workingFolder))
        return {};
    return Problem(QStringLiteral("quillbus-service: cannot work in ") + workingFolder +
                   QStringLiteral(": no such folder\n"));
}

Problem writeAllTables(const QString &directory)
{
    if (const Problem problem = LookupTables::folderProblem(directory))
        return Problem(problem.why() + QLatin1Char('\n'));
    QString failures;
    for (const LookupTables::Table table : LookupTables::All) {
        if (const Problem failure = LookupTables::write(table, directory))
            failures += failure.why() + QLatin1Char('\n');
    }
    return failures.isEmpty() ? Problem() : Problem(failures);
}
