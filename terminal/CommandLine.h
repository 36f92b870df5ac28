#pragma once

#include "core/Problem.h"
#include "engines/flash/FlashLoaderOptions.h"
#include "terminal/Commands.h"

#include <QString>
#include <QStringList>

// The program's command line: what it asks for, read without a window or display.
struct CommandLine {
    enum class Action { RunWindows, WriteTables, ShowText, Refuse, Scan, Monitor, Load, Serial, Extcap };

    Action action = Action::RunWindows;
    FlashLoaderOptions flash;
    QString tablesDirectory;
    ScanOptions scan;
    MonitorOptions monitor;
    LoadOptions load;
    SerialOptions serial;
    ExtcapOptions extcap;
    QString folder;        // where a command works; empty: where it was started
    QString workingFolder; // where the windows work; empty: where the program was started
    QString warnings;      // said on standard error when the program starts
    QString text;          // help or version text, or why the command line is refused

    static CommandLine parse(const QStringList &arguments);

    // The windows go to work in the working folder. Paths on the command line keep meaning
    // what they meant where the program was started. None, or why they cannot.
    Problem enterWorkingFolder();

private:
    static CommandLine parseArguments(const QStringList &arguments);
};

// Writes the five lookup-table headers into directory; the failures, one a line.
Problem writeAllTables(const QString &directory);
