#include "CommandLine.h"

#include "LookupTables.h"
#include "Versions.h"

#include <QCommandLineParser>

namespace {

const QString Commands = QStringLiteral(
    "\nCommands (each has its own --help):\n"
    "  scan                  Scan the bus for devices and list those that answer.\n"
    "  tables <dir>          Write the five lookup-table headers into dir.\n"
    "\nWithout a command the windows open.\n");

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

// Parsed without an application object, the parser cannot name the program itself.
QString helpOf(const QCommandLineParser &parser, const QString &usage)
{
    QString text = parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: quillbus-service ") + usage);
    return text;
}

CommandLine parseScan(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Scans the bus from address 1 up to N, as the flash loader's Scan Network does, and lists the\n"
        "devices that answer: address, name, type and revision."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Highest address to scan, 1-96 (16)."),
                                QStringLiteral("N"), QStringLiteral("16"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("How the devices are listed: table, csv or json (table)."),
                                    QStringLiteral("format"), QStringLiteral("table"));
    parser.addOptions({help, to, format});
    if (!parser.parse(arguments))
        return refused(parser.errorText(), QStringLiteral("scan"));
    if (parser.isSet(help))
        return shown(helpOf(parser, QStringLiteral("scan [options]")));
    if (!parser.positionalArguments().isEmpty())
        return refused(QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first(),
                       QStringLiteral("scan"));
    CommandLine line;
    line.action = CommandLine::Action::Scan;
    bool number = false;
    line.scan.highest = parser.value(to).toInt(&number);
    if (!number || line.scan.highest < 1 || line.scan.highest > 96)
        return refused(QStringLiteral("--to takes an address from 1 to 96"), QStringLiteral("scan"));
    const QString chosen = parser.value(format);
    if (chosen == QLatin1String("table"))
        line.scan.format = ScanOptions::Format::Table;
    else if (chosen == QLatin1String("csv"))
        line.scan.format = ScanOptions::Format::Csv;
    else if (chosen == QLatin1String("json"))
        line.scan.format = ScanOptions::Format::Json;
    else
        return refused(QStringLiteral("--format takes table, csv or json"), QStringLiteral("scan"));
    return line;
}

CommandLine parseTables(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes lut_R.h, lut_Z.h, lut_S.h, VStrSin.h and VStrCos.h into dir, as --write-tables does."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    parser.addOption(help);
    parser.addPositionalArgument(QStringLiteral("dir"), QStringLiteral("The folder the headers go into."));
    if (!parser.parse(arguments))
        return refused(parser.errorText(), QStringLiteral("tables"));
    if (parser.isSet(help))
        return shown(helpOf(parser, QStringLiteral("tables [options] dir")));
    if (parser.positionalArguments().size() != 1)
        return refused(QStringLiteral("tables takes one folder"), QStringLiteral("tables"));
    CommandLine line;
    line.action = CommandLine::Action::WriteTables;
    line.tablesDirectory = parser.positionalArguments().first();
    return line;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    // A command is the first argument; what follows is its own.
    const QString command = arguments.value(1);
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("scan"))
        return parseScan(rest);
    if (command == QLatin1String("tables"))
        return parseTables(rest);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Service tool for Quillbus domes and devices on the USB module."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the program's version."));
    const QCommandLineOption com1(QStringLiteral("com1"), QStringLiteral("Serial device for COM port 1."),
                                  QStringLiteral("device"));
    const QCommandLineOption com2(QStringLiteral("com2"), QStringLiteral("Serial device for COM port 2."),
                                  QStringLiteral("device"));
    const QCommandLineOption engineering(
        QStringLiteral("engineering"),
        QStringLiteral("Show the flash loader's USB and H File Generator check boxes (Comm Port mode, tables)."));
    const QCommandLineOption tables(QStringLiteral("write-tables"),
                                    QStringLiteral("Write the five lookup-table headers into dir and exit."),
                                    QStringLiteral("dir"));
    parser.addOptions({help, version, com1, com2, engineering, tables});

    CommandLine line;
    if (!parser.parse(arguments)) {
        line.action = Action::Refuse;
        line.text = parser.errorText() + QStringLiteral("\nTry --help.\n");
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.action = Action::Refuse;
        line.text = QStringLiteral("Unknown command: ") + parser.positionalArguments().first() +
                    QStringLiteral("\nTry --help.\n");
        return line;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        line.action = Action::ShowText;
        // Parsed without an application object, the parser cannot name the program itself.
        line.text = parser.isSet(help) ? helpOf(parser, QStringLiteral("[options] | <command> [options]")) + Commands
                                       : QStringLiteral("quillbus-service ") + Versions::Panel + QLatin1Char('\n');
        return line;
    }
    line.flash.engineering = parser.isSet(engineering);
    line.flash.com1 = parser.value(com1);
    line.flash.com2 = parser.value(com2);
    if (parser.isSet(tables)) {
        line.action = Action::WriteTables;
        line.tablesDirectory = parser.value(tables);
    }
    return line;
}

QString writeAllTables(const QString &directory)
{
    const QString problem = LookupTables::folderProblem(directory);
    if (!problem.isEmpty())
        return problem + QLatin1Char('\n');
    QString failures;
    for (const LookupTables::Table table : LookupTables::All) {
        const QString failure = LookupTables::write(table, directory);
        if (!failure.isEmpty())
            failures += failure + QLatin1Char('\n');
    }
    return failures;
}
