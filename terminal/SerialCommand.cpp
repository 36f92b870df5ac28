#include "terminal/Commands.h"

#include "engines/flash/SerialLine.h"
#include "engines/flash/SerialLoader.h"
#include "terminal/CommandRun.h"
#include "terminal/TerminalLoad.h"
#include "terminal/TerminalOutput.h"

#include <QSerialPort>

#include <cstdio>

int runSerial(const SerialOptions &options)
{
    QObject owner;
    QSerialPort port;
    SerialPortLine line(&port, &owner);
    TerminalLoad host;
    SerialLoader loader(
        line, host, [&options](int) { return options.port; }, &owner);
    // Tried here first, so the reason is told once, in the command's own words.
    if (!line.open(options.port)) {
        std::fprintf(stderr, "Cannot open the serial port %s: %s\n", qPrintable(options.port),
                     qPrintable(line.openBusy() ? QStringLiteral("in use") : line.openFailure()));
        return ExitStatus::PortUnavailable;
    }
    if (options.dryRun) {
        line.close();
        const SerialLoader::Files files =
            SerialLoader::readFiles(options.applicationFile, SerialLoader::Request::Application, options.folder);
        if (files.problem) {
            std::fprintf(stderr, "%s\n", qPrintable(files.problem.why()));
            return ExitStatus::Failed;
        }
        return TerminalOutput::write(options.applicationFile + QStringLiteral(": would be loaded into the board on ") +
                                     options.port + QStringLiteral(" after ") + SerialLoader::BootLoaderFile +
                                     QStringLiteral(" and ") + SerialLoader::FlashLoaderFile + QLatin1Char('\n'))
                   ? ExitStatus::Completed
                   : ExitStatus::Failed;
    }
    loader.setLoaderFolder(options.folder);
    if (!loader.choosePort(1))
        return ExitStatus::PortUnavailable; // it went away since: the status said why
    for (const int sector : options.sectors)
        loader.sectorMask().set(sector, true);
    LoadOutcome outcome{LoadOutcome::Kind::Interrupted, QStringLiteral("Interrupted")};
    QObject::connect(&loader, &SerialLoader::ended, &owner, [&outcome](const LoadOutcome &o) { outcome = o; });
    const SerialLoader::Request request = !options.applicationFile.isEmpty() ? SerialLoader::Request::Application
                                          : options.eraseAll                 ? SerialLoader::Request::EraseAll
                                                                             : SerialLoader::Request::EraseSectors;
    // A start refused before the first byte has ended already: the status said why.
    runJob(loader, [&] {
        loader.start(options.applicationFile, request);
        return true; // a refusal ends it at once
    });
    if (outcome.kind == LoadOutcome::Kind::Interrupted) {
        host.endProgressLine();
        std::fprintf(stderr, "Interrupted\n");
        return ExitStatus::Failed;
    }
    // A failure is on standard error already, as the last status; a result goes to standard output.
    if (outcome.completed() && !TerminalOutput::write(outcome.text.trimmed() + QLatin1Char('\n')))
        return ExitStatus::Failed;
    return outcome.completed() ? ExitStatus::Completed : ExitStatus::Failed;
}
