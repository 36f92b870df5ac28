#pragma once

#include <QString>

// Splits a firmware file into the three download files the device loader sends:
// base + "a.dwn" (the second section), "b.dwn" (the third) and "c.dwn" (the fourth and
// every later one), where base is the first ten characters of the file's name and each
// section starts with an S0 line.
namespace LoadFileConversion {

enum class Outcome {
    Written,
    ImproperFormat, // fewer than four sections, or no data record in what would be sent
    FileError,      // the firmware file cannot be read
    WriteError,     // a download file cannot be written
    InvalidRecords, // a file that would be sent holds a line that cannot go out as it stands
};

// A "b" (text) download file of fewer lines than this is not sent.
constexpr qsizetype MinimumTextFileLines = 10;

QString base(const QString &loadFileName);
QString downloadFile(const QString &loadFileName, QChar letter);
// The folder the download files of loadFileName go to.
QString downloadFolder(const QString &loadFileName);
// A "b" download file is sent only when it holds enough lines to be a text image.
bool textFileIsSent(const QString &path);

// Everything createLoadFiles checks (the firmware read, cut into its download files,
// each file that would be sent gone through as it would be sent, the folder writable),
// with nothing written: Written when the load files can be made.
Outcome checkLoadFiles(const QString &loadFileName);
Outcome createLoadFiles(const QString &loadFileName);

} // namespace LoadFileConversion
