#include "Commands.h"

#include "PcapWriter.h"
#include "TerminalOutput.h"
#include "Versions.h"

namespace {

// A filter box of the monitor as a Wireshark option. The extcap grammar keeps braces for
// itself, so the pattern spells out its repeats.
QString filterArgument(int number, const QString &option, const QString &display, const QString &tooltip)
{
    return QStringLiteral("arg {number=%1}{call=--%2}{display=%3}{type=string}{tooltip=%4}"
                          "{validation=^ *([0-9A-Fa-f][0-9A-Fa-f](.[0-9A-Fa-f][0-9A-Fa-f])*)? *$}{group=Filters}\n")
        .arg(number)
        .arg(option, display, tooltip);
}

QString configuration(bool emulatorIsDriver)
{
    QString text =
        filterArgument(0, QStringLiteral("address"), QStringLiteral("Leave out addresses"),
                       QStringLiteral("Hexadecimal pairs such as 02 05, as the monitor's Addr box takes them")) +
        filterArgument(1, QStringLiteral("command"), QStringLiteral("Leave out commands"),
                       QStringLiteral("Hexadecimal pairs such as C0 A9, as the monitor's Cmds box takes them"));
    if (emulatorIsDriver)
        text += QStringLiteral("arg {number=2}{call=--scenario}{display=Emulator scenario}{type=fileselect}"
                               "{mustexist=true}{tooltip=The emulated bus; empty for the built-in one}"
                               "{group=Emulator}\n");
    return text;
}

} // namespace

int runExtcap(ModuleDriver &driver, const ExtcapOptions &options, bool emulatorIsDriver)
{
    QString text;
    switch (options.query) {
    case ExtcapOptions::Query::Interfaces:
        text = QStringLiteral("extcap {version=%1}{help=man:quillbus-service(1)}\n"
                              "interface {value=%2}{display=Quillbus bus monitor}\n")
                   .arg(Versions::Panel, ExtcapInterface);
        break;
    case ExtcapOptions::Query::Dlts:
        text = QStringLiteral("dlt {number=%1}{name=WIRESHARK_UPPER_PDU}{display=Quillbus messages}\n")
                   .arg(PcapWriter::LinkType);
        break;
    case ExtcapOptions::Query::Config: text = configuration(emulatorIsDriver); break;
    case ExtcapOptions::Query::Capture: return runMonitor(driver, options.capture);
    }
    return TerminalOutput::write(text) ? ExitStatus::Completed : ExitStatus::Failed;
}
