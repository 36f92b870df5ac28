#include "CommandLine.h"

#include "LookupTables.h"
#include "Versions.h"

#include <QCommandLineParser>

CommandLine CommandLine::parse(const QStringList &arguments)
{
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
        line.text = QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first() +
                    QStringLiteral("\nTry --help.\n");
        return line;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        line.action = Action::ShowText;
        // Parsed without an application object, the parser cannot name the program itself.
        QString helpText = parser.helpText();
        helpText.replace(0, helpText.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: quillbus-service [options]"));
        line.text =
            parser.isSet(help) ? helpText : QStringLiteral("quillbus-service ") + Versions::Panel + QLatin1Char('\n');
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
