#include "Beep.h"
#include "CommandLine.h"
#include "Commands.h"
#include "DriverThread.h"
#include "LibraryDriver.h"
#include "PanelWindow.h"
#include "TerminalOutput.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    TerminalOutput::holdClosedStreams();
    // Read before any window exists, so the tables can be written where there is no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine line = CommandLine::parse(arguments);
    switch (line.action) {
    case CommandLine::Action::ShowText: std::fputs(qPrintable(line.text), stdout); return 0;
    case CommandLine::Action::Refuse: std::fputs(qPrintable(line.text), stderr); return 2;
    case CommandLine::Action::WriteTables: return runTables(line.tablesDirectory);
    case CommandLine::Action::Scan: {
        QCoreApplication app(argc, argv);
        LibraryDriver library;
        DriverThread driver(library);
        return runScan(driver, line.scan);
    }
    case CommandLine::Action::Monitor: {
        QCoreApplication app(argc, argv);
        LibraryDriver library;
        DriverThread driver(library);
        return runMonitor(driver, line.monitor);
    }
    case CommandLine::Action::Load:
    case CommandLine::Action::Serial: {
        QCoreApplication app(argc, argv);
        if (!line.folder.isEmpty() && !QFileInfo(line.folder).isDir()) {
            std::fprintf(stderr, "Cannot look in %s: no such folder\n", qPrintable(line.folder));
            return ExitStatus::Usage;
        }
        if (line.action == CommandLine::Action::Serial)
            return runSerial(line.serial);
        LibraryDriver library;
        DriverThread driver(library);
        return runLoad(driver, line.load);
    }
    case CommandLine::Action::RunWindows: break;
    }
    std::fputs(qPrintable(line.warnings), stderr);
    const QString folderProblem = line.enterWorkingFolder();
    if (!folderProblem.isEmpty()) {
        std::fputs(qPrintable(folderProblem), stderr);
        return ExitStatus::Failed;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbus Service Tool"));
    Beep::setSound([] { QApplication::beep(); });

    // Every driver call goes through the driver thread, so the windows never wait on the bus.
    LibraryDriver library;
    DriverThread driver(library);
    PanelWindow panel(driver, line.flash);
    panel.show();
    return QApplication::exec();
}
