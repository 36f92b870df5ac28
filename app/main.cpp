#include "core/Beep.h"
#include "driver/DriverThread.h"
#include "driver/LibraryDriver.h"
#include "terminal/CommandLine.h"
#include "terminal/CommandSignals.h"
#include "terminal/Commands.h"
#include "terminal/TerminalOutput.h"
#include "windows/panel/PanelWindow.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {
QtMessageHandler s_qtMessages = nullptr;
struct HeldMessage {
    QtMsgType type;
    QString text;
};
std::vector<HeldMessage> s_held;

// A driver library that cannot be used is said on standard error, where its user reads it.
void sayUnusable(const std::string &why)
{
    std::fprintf(stderr, "driver library unusable: %s\n", why.c_str());
}

// Without a display Qt gives up inside the application's constructor. What Qt says while
// the windows start is held back: when they cannot start, the program says why in its own
// words, once, and ends as a usage error; when they do, Qt's messages follow as they were.
void holdWhileWindowsStart(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtFatalMsg) {
        s_held.push_back({type, message});
        return;
    }
    const QString reason = s_held.empty() ? message.section(QLatin1Char('\n'), 0, 0) : s_held.front().text;
    std::fprintf(stderr,
                 "quillbus-service: the windows cannot open: %s\n"
                 "The terminal commands need no display (quillbus-service --help).\n",
                 qPrintable(reason.trimmed()));
    std::_Exit(ExitStatus::Usage);
}

// A terminal command on the driver library, in a core application with the user's
// interrupts caught.
template <typename Command> int onDriver(int argc, char **argv, Command command)
{
    QCoreApplication app(argc, argv);
    const InterruptCatcher interrupts;
    LibraryDriver library;
    library.setUnusableReport(sayUnusable);
    return command(library);
}

// Wireshark's capture program: the emulator, when it is the driver, takes the scenario given.
int runExtcapOn(LibraryDriver &library, const ExtcapOptions &extcap)
{
    // Only the options and the capture concern the driver; the other queries load nothing.
    const bool emulated =
        (extcap.query == ExtcapOptions::Query::Config || extcap.query == ExtcapOptions::Query::Capture) &&
        library.exports("QwilEmulatorScenarioVariable");
    // The emulator reads its scenario at the first driver call, which comes later.
    if (emulated && !extcap.scenario.isEmpty())
        qputenv("QWILUSB_SCENARIO", QFile::encodeName(extcap.scenario));
    DriverThread driver(library);
    return runExtcap(driver, extcap, emulated);
}

// The command the line names, run without a window; nothing when the windows are asked for.
std::optional<int> runCommand(const CommandLine &line, int argc, char **argv)
{
    switch (line.action) {
    case CommandLine::Action::ShowText: std::fputs(qPrintable(line.text), stdout); return 0;
    case CommandLine::Action::Refuse:
        std::fputs(qPrintable(line.text), stderr);
        if (line.extcap.query == ExtcapOptions::Query::Capture)
            releaseWiresharkFifo(line.extcap.capture.pcapPath);
        return ExitStatus::Usage;
    case CommandLine::Action::WriteTables: return runTables(line.tablesDirectory);
    case CommandLine::Action::Scan:
        return onDriver(argc, argv, [&](LibraryDriver &library) {
            DriverThread driver(library);
            return runScan(driver, line.scan);
        });
    case CommandLine::Action::Monitor:
        return onDriver(argc, argv, [&](LibraryDriver &library) {
            DriverThread driver(library);
            return runMonitor(driver, line.monitor);
        });
    case CommandLine::Action::Extcap:
        return onDriver(argc, argv, [&](LibraryDriver &library) { return runExtcapOn(library, line.extcap); });
    case CommandLine::Action::Load:
    case CommandLine::Action::Serial:
        if (!line.folder.isEmpty() && !QFileInfo(line.folder).isDir()) {
            std::fprintf(stderr, "Cannot look in %s: no such folder\n", qPrintable(line.folder));
            return ExitStatus::Usage;
        }
        return onDriver(argc, argv, [&](LibraryDriver &library) {
            if (line.action == CommandLine::Action::Serial)
                return runSerial(line.serial);
            DriverThread driver(library);
            return runLoad(driver, line.load);
        });
    case CommandLine::Action::RunWindows: break;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    TerminalOutput::holdClosedStreams();
    // Read before any window exists, so the tables can be written where there is no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine line = CommandLine::parse(arguments);
    if (const std::optional<int> status = runCommand(line, argc, argv))
        return *status;
    std::fputs(qPrintable(line.warnings), stderr);
    if (const Problem folderProblem = line.enterWorkingFolder()) {
        std::fputs(qPrintable(folderProblem.why()), stderr);
        return ExitStatus::Failed;
    }

    s_qtMessages = qInstallMessageHandler(holdWhileWindowsStart);
    QApplication app(argc, argv);
    qInstallMessageHandler(s_qtMessages);
    for (const HeldMessage &held : s_held)
        qt_message_output(held.type, QMessageLogContext(), held.text);
    QApplication::setApplicationName(QStringLiteral("Quillbus Service Tool"));
    Beep::setSound([] { QApplication::beep(); });

    // Every driver call goes through the driver thread, so the windows never wait on the bus.
    LibraryDriver library;
    library.setUnusableReport(sayUnusable);
    DriverThread driver(library);
    PanelWindow panel(driver, line.flash);
    panel.show();
    return QApplication::exec();
}
