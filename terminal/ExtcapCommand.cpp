#include "terminal/Commands.h"

#include "core/Versions.h"
#include "engines/monitor/MonitorRows.h"
#include "engines/monitor/PcapWriter.h"
#include "terminal/TerminalOutput.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {
// How long a refused capture waits for Wireshark to open its end of the FIFO.
constexpr int FifoReaderWaitMs = 5000;
constexpr int FifoReaderPollMs = 20;

// The filter boxes' rule as a pattern: hexadecimal pairs from 01 to FF, one character
// between two, at most as many as the boxes hold, blanks around. The extcap grammar
// keeps braces for itself, so the pattern spells out its repeats as nested groups.
QString filterPattern()
{
    const QString pair = QStringLiteral("(0[1-9A-Fa-f]|[1-9A-Fa-f][0-9A-Fa-f])");
    QString more;
    for (int i = 1; i < MonitorRows::FilterList::Size - 1; ++i)
        more = QStringLiteral("(.") + pair + more + QStringLiteral(")?");
    return QStringLiteral("^ *(") + pair + more + QStringLiteral(")? *$");
}

// A filter box of the monitor as a Wireshark option.
QString filterArgument(int number, const QString &option, const QString &display, const QString &tooltip)
{
    return QStringLiteral("arg {number=%1}{call=--%2}{display=%3}{type=string}{tooltip=%4}"
                          "{validation=%5}{group=Filters}\n")
        .arg(number)
        .arg(option, display, tooltip, filterPattern());
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

void releaseWiresharkFifo(const QString &path)
{
    if (path.isEmpty())
        return;
    struct stat file {};
    if (::stat(QFile::encodeName(path).constData(), &file) != 0 || !S_ISFIFO(file.st_mode))
        return;
    // Opening for writing without waiting fails until the reader has opened its end.
    for (int waited = 0; waited < FifoReaderWaitMs; waited += FifoReaderPollMs) {
        const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) {
            ::close(writer);
            return;
        }
        if (errno != ENXIO)
            return;
        ::usleep(FifoReaderPollMs * 1000);
    }
}

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
    // Nothing said: the filter is valid; otherwise what is said is why it is not.
    case ExtcapOptions::Query::CheckFilter:
        text = options.filterProblem.isEmpty() ? QString() : options.filterProblem + QLatin1Char('\n');
        break;
    }
    return TerminalOutput::write(text) ? ExitStatus::Completed : ExitStatus::Failed;
}
