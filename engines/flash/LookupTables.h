#pragma once

#include "core/Problem.h"
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The firmware's lookup tables as C headers: a radius table, a Z table, phi / sin phi over
// the cosine range, and a quarter-degree sine and cosine. The arithmetic keeps the number
// types and roundings the firmware was built with, so every entry is bit for bit the same.
namespace LookupTables {

enum class Table { Radius, Z, SinPhi, StretchSin, StretchCos };
constexpr std::array<Table, 5> All{Table::Radius, Table::Z, Table::SinPhi, Table::StretchSin, Table::StretchCos};

struct Layout {
    const char *fileName;
    const char *firstLine;
    const char *secondLine;
    int firstIndex;
    int lastIndex;
};
const Layout &layout(Table table);

// The entry before its conversion to 16 bits.
double value(Table table, int index);
// The entry as written: rounded to the nearest integer, ties to even; nothing when it
// does not fit 16 bits.
std::optional<std::int16_t> entry(Table table, int index);

// The whole file text, CR LF line ends; nothing when an entry overflows (overflowIndex
// then names it).
std::optional<QByteArray> fileText(Table table, int *overflowIndex = nullptr);

// Writes the table's file into directory, whole or not at all; none, or what went wrong.
Problem write(Table table, const QString &directory);

// Why no table can be written into directory (it does not exist, or is no folder); none
// when it is a folder.
Problem folderProblem(const QString &directory);

} // namespace LookupTables
