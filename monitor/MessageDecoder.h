#pragma once

#include <QString>

// Describes a captured bus message in words, from its data text (command code in
// characters 1-2, first parameter in 3-4, second in 5-6, blank-padded).
namespace MessageDecoder {

inline const QString InvalidCommand = QStringLiteral("*** Invalid Command ***");

struct Description {
    QString text; // empty when the command has no entry
    bool beepTwice = false;
};

Description describe(const QString &dataText);

// The wording of a command code, without parameters (for tables and tests).
QString commandName(int code);

} // namespace MessageDecoder
