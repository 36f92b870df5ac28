#pragma once

#include "core/Problem.h"
#include <QString>
#include <QStringList>

// Which firmware file a scanned device gets, and its download files: the same rule for the
// flash loader window and the terminal's load command.
namespace FirmwareChoice {

// The firmware files for a device type: "F" + type + "-*.hex".
QString pattern(const QString &type);
// Those files of the folder (the current one unless named), in the list's order (by name).
QStringList candidates(const QString &type, const QString &folder = {});

struct Choice {
    QString file;     // the file taken, or empty
    bool ask = false; // several match: the technician picks one
};
// The revision a firmware file's name carries: the four digits after the type and its dash
// ("F2315-0202.hex" gives 202); -1 when they are not four digits.
int revisionOf(const QString &fileName);
// Those four digits as the name holds them; empty when the name holds none.
QString revisionDigits(const QString &fileName);
// The only match is taken; with "Upload latest Rev" the one of the highest revision, the
// first of the list among equals (empty when none matches); otherwise the technician is asked.
Choice choose(const QStringList &candidates, bool takeLatest);

// A file loaded as it is (the module's firmware, or a file chosen directly to a device):
// none when it can be sent whole, or the status text that says why not.
Problem checkWholeFile(const QString &file, bool toDevice);

// What prepare() checks, with nothing written: the status text that says why the device
// cannot be loaded, or none.
Problem check(const QString &firmwareFile, const QString &type, int address);
// Writes the device's download files from its firmware file: none when they are written,
// or the status text that says why the device cannot be loaded.
Problem prepare(const QString &firmwareFile, const QString &type, int address);

} // namespace FirmwareChoice
