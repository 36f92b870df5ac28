#pragma once

#include <QString>

// Where a terminal command's results go: standard output, whose failures are failures of
// the command.
namespace TerminalOutput {

// Standard input, output or error closed when the program started would be taken by the
// next file it opens, and results written into that file: each is held by /dev/null, and
// a closed standard output is remembered.
void holdClosedStreams();

// Writes the results whole to standard output; false, with the reason on standard error,
// when they cannot be written (a full disk, a closed or broken output).
bool write(const QString &text);

} // namespace TerminalOutput
