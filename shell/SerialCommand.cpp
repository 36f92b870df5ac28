#include "Commands.h"

#include "FormTimer.h"
#include "SerialLine.h"
#include "SerialLoader.h"
#include "TerminalLoad.h"
#include "TerminalOutput.h"

#include <QSerialPort>

#include <cstdio>

int runSerial(const SerialOptions &options)
{
    const InterruptCatcher catcher;
    QObject owner;
    QSerialPort port;
    SerialPortLine line(&port, &owner);
    TerminalLoad host(false);
    SerialLoader loader(line, host, new FormTimer(QStringLiteral("Timer1"), SerialLoader::StepMs, &owner),
                        new FormTimer(QStringLiteral("Timer6"), SerialLoader::NextBlockMs, &owner),
                        [&options](int) { return options.port; }, &owner);
    // Tried here first, so the reason is told once, in the command's own words.
    if (!line.open(options.port)) {
        std::fprintf(stderr, "Cannot open the serial port %s: %s\n", qPrintable(options.port),
                     qPrintable(line.openBusy() ? QStringLiteral("in use") : line.openFailure()));
        return ExitStatus::PortUnavailable;
    }
    if (options.dryRun) {
        line.close();
        const SerialLoader::Files files =
            SerialLoader::readFiles(options.applicationFile, SerialLoader::Request::Application);
        if (!files.problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(files.problem));
            return ExitStatus::Failed;
        }
        return TerminalOutput::write(options.applicationFile + QStringLiteral(": would be loaded into the board on ") +
                                     options.port + QStringLiteral(" after ") +
                                     SerialLoader::BootLoaderFile.mid(2) + QStringLiteral(" and ") +
                                     SerialLoader::FlashLoaderFile.mid(2) + QLatin1Char('\n'))
                   ? ExitStatus::Completed
                   : ExitStatus::Failed;
    }
    if (!loader.choosePort(1))
        return ExitStatus::PortUnavailable; // it went away since: the status said why
    for (const int sector : options.sectors)
        loader.sectorMask().set(sector, true);
    bool done = false;
    host.ended = [&done] { done = true; };
    const SerialLoader::Request request = !options.applicationFile.isEmpty() ? SerialLoader::Request::Application
                                          : options.eraseAll                 ? SerialLoader::Request::EraseAll
                                                                             : SerialLoader::Request::EraseSectors;
    loader.start(options.applicationFile, request);
    if (!done && !loader.running()) { // refused before the first byte: the status said why
        host.enableLoadButtons();
        return ExitStatus::Failed;
    }
    const bool finished = waitUntilDone(done);
    if (!finished) {
        loader.stop();
        std::fprintf(stderr, "Interrupted\n");
        return ExitStatus::Failed;
    }
    // A failure is on standard error already, as the last status; a result goes to standard output.
    const bool completed = host.lastColour == LoadHost::Colour::Success;
    if (completed && !TerminalOutput::write(host.lastStatus.trimmed() + QLatin1Char('\n')))
        return ExitStatus::Failed;
    return completed ? ExitStatus::Completed : ExitStatus::Failed;
}
