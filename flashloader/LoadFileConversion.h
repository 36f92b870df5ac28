#pragma once

#include <QString>

// Splits a firmware file into the three download files the device loader sends:
// base + "a.dwn" (the second section), "b.dwn" (the third) and "c.dwn" (the fourth and
// every later one), where base is the first ten characters of the file's name and each
// section starts with an S0 line.
namespace LoadFileConversion {

enum class Outcome { Written, ImproperFormat, FileError };

QString base(const QString &loadFileName);
QString downloadFile(const QString &loadFileName, QChar letter);

Outcome createLoadFiles(const QString &loadFileName);

} // namespace LoadFileConversion
