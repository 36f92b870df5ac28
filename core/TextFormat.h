#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

// Text conversions that several windows share: numbers, hexadecimal dumps, hex pairs.
namespace TextFormat {

// A number as the windows write it: one blank stands where a minus sign would,
// so zero and positive numbers carry a leading blank (5 -> " 5", -5 -> "-5").
QString numberText(long long value);

// Two upper-case hexadecimal digits, with a leading "0" below 0x10.
QString hexByte(std::uint8_t value);

// Every byte as two upper-case hexadecimal digits, no separators.
QString hexBytes(std::span<const std::uint8_t> bytes);

// Upper-case hexadecimal of a whole number, no leading zeros (for result words).
QString hexNumber(long long value);

// The monitor's reading of a hex pair: characters with codes from "0" (48) to "F" (70)
// count, the seven between "9" and "A" included (each its code minus 55); anything else,
// lower case included, makes the pair read as 0x7F.
std::uint8_t monitorHexPairToByte(QChar high, QChar low);

// The dome window's reading of a hex pair: lower-case letters fold to upper case,
// nothing else is checked, so a non-hex character yields a value outside 0..255
// that the caller must reject.
int domeHexPairToByte(QChar high, QChar low);

// A text file's lines: CR LF, LF and CR alone all end a line; a last line end adds no
// empty line.
QStringList lines(const QByteArray &fileContent);

// A field of a comma-separated line: bare, or in double quotes (each quote doubled) where
// it holds a comma, a quote or a line end.
QString csvField(const QString &field);

} // namespace TextFormat
