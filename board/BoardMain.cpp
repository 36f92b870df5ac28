// Serves an emulated board on a pseudo-terminal until stopped, for trying the flash
// loader's Comm Port mode: quillbus-board [--erase-ms N] [--erase-error 1-3]
// [--programming-error 4-9] [--wrong-checksum] [--silent-blocks] [--split-report]
#include "board/PtyBoard.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillbus-board"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("An emulated board on a pseudo-terminal; give the device it "
                                                    "prints to quillbus-service --com1."));
    parser.addHelpOption();
    const QCommandLineOption eraseMs(QStringLiteral("erase-ms"), QStringLiteral("How long an erase takes."),
                                     QStringLiteral("ms"), QStringLiteral("3000"));
    const QCommandLineOption eraseError(QStringLiteral("erase-error"), QStringLiteral("Answer erases with 1, 2 or 3."),
                                        QStringLiteral("code"));
    const QCommandLineOption programmingError(QStringLiteral("programming-error"),
                                              QStringLiteral("Answer the first application block with 4 to 9."),
                                              QStringLiteral("code"));
    const QCommandLineOption wrongChecksum(QStringLiteral("wrong-checksum"), QStringLiteral("Report a wrong sum."));
    const QCommandLineOption silentBlocks(QStringLiteral("silent-blocks"),
                                          QStringLiteral("Never answer application blocks."));
    const QCommandLineOption splitReport(QStringLiteral("split-report"),
                                         QStringLiteral("Send the checksum report in two pieces."));
    parser.addOptions({eraseMs, eraseError, programmingError, wrongChecksum, silentBlocks, splitReport});
    parser.process(app);

    PtyBoard board;
    if (!board.isOpen()) {
        std::fputs("quillbus-board: no pseudo-terminal available\n", stderr);
        return 1;
    }
    emu::BoardModel::Faults faults;
    faults.eraseMs = parser.value(eraseMs).toInt();
    const auto code = [&parser](const QCommandLineOption &option) {
        const QString value = parser.value(option);
        return value.size() == 1 ? value[0].toLatin1() : char(0);
    };
    faults.eraseError = code(eraseError);
    faults.programmingError = code(programmingError);
    faults.wrongChecksum = parser.isSet(wrongChecksum);
    faults.silentBlocks = parser.isSet(silentBlocks);
    faults.splitReport = parser.isSet(splitReport);
    board.model().setFaults(faults);
    std::printf("%s\n", qPrintable(board.slaveName()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
