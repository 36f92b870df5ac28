#include "engines/flash/LookupTables.h"

#include "core/TextFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>

namespace LookupTables {
namespace {

// The constant the firmware's tables were built with, not the full-precision pi.
constexpr double P = 3.14159265358979;
constexpr int EntriesPerLine = 10;
constexpr int SinPhiThresholds[] = {-32759, -32620, -30717, -10454};

double radius(int i)
{
    const float x = static_cast<float>(i & 255) / 181.0f;
    const int n = (i & 0x7F00) / 256;
    const float y = static_cast<float>(n) / 121.0f;
    const float xx = x * x;
    const float yy = y * y;
    const float sum = xx + yy;
    const float scaled = sum * 8192.0f;
    return scaled;
}

double z(int i)
{
    const float zi = static_cast<float>(i) / 16384.0f;
    const float plusOne = zi + 1.0f;
    const float quotient = 1.0f / plusOne;
    return std::sqrt(static_cast<double>(quotient)) * 4096.0;
}

double sinPhi(int i)
{
    const float x = static_cast<float>(i) / 32768.0f;
    float phi = 0;
    if (x == 0.0f) {
        phi = static_cast<float>(P / 2);
    } else if (x == -1.0f) {
        phi = 0;
    } else {
        const double dx = x;
        phi = static_cast<float>(std::atan(-dx / std::sqrt(-dx * dx + 1)) + 2 * std::atan(1.0));
    }
    double s = phi == 0.0f ? 0.0 : static_cast<double>(phi) / std::sin(static_cast<double>(phi));
    s *= 64;
    for (const int threshold : SinPhiThresholds) {
        if (i > threshold)
            s *= 4;
    }
    return s;
}

float quarterDegree(int i)
{
    return static_cast<float>(i * P / 720);
}

} // namespace

const Layout &layout(Table table)
{
    static const Layout layouts[] = {
        {"lut_R.h", "#pragma region(\"const = RTBL\")", "const INT Radius_Data[] = {", 0, 32767},
        {"lut_Z.h", "#pragma region(\"const = ZTBL\")", "const INT Z_Data[] = {", 0, 32767},
        {"lut_S.h", "#pragma region(\"const = SINPHI\")", "const INT S_Data[] = {", -32768, 32767},
        {"VStrSin.h", "#pragma region(\"const = STRSINTBL\")", "const INT StrSin_Data[] = {", 0, 4095},
        {"VStrCos.h", "#pragma region(\"const = STRCOSTBL\")", "const INT StrCos_Data[] = {", 0, 4095},
    };
    return layouts[static_cast<int>(table)];
}

double value(Table table, int index)
{
    switch (table) {
    case Table::Radius: return radius(index);
    case Table::Z: return z(index);
    case Table::SinPhi: return sinPhi(index);
    case Table::StretchSin: return std::sin(static_cast<double>(quarterDegree(index))) * 8192;
    case Table::StretchCos: return std::cos(static_cast<double>(quarterDegree(index))) * 8192;
    }
    return 0;
}

std::optional<std::int16_t> entry(Table table, int index)
{
    const double rounded = std::nearbyint(value(table, index)); // ties to even
    if (!(rounded >= -32768 && rounded <= 32767))
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::optional<QByteArray> fileText(Table table, int *overflowIndex)
{
    const Layout &l = layout(table);
    QByteArray text;
    text += QByteArray(l.firstLine) + "\r\n" + l.secondLine + "\r\n";
    int counter = 0;
    for (int i = l.firstIndex; i <= l.lastIndex; ++i) {
        const auto v = entry(table, i);
        if (!v) {
            if (overflowIndex)
                *overflowIndex = i;
            return std::nullopt;
        }
        text += TextFormat::numberText(*v).toLatin1();
        text += i < l.lastIndex ? QByteArray(",") : QByteArray("\r\n");
        if (++counter == EntriesPerLine) {
            text += "\r\n";
            counter = 0;
        }
    }
    text += "};\r\n";
    return text;
}

Problem write(Table table, const QString &directory)
{
    const QString name = QString::fromLatin1(layout(table).fileName);
    int overflow = 0;
    const auto text = fileText(table, &overflow);
    if (!text)
        return Problem(QStringLiteral("Overflow in ") + name + QStringLiteral(" at entry ") +
                       QString::number(overflow));
    // Whole or not at all where the folder takes a new file; an existing file in a folder
    // that does not is written in place.
    QSaveFile file(QDir(directory).filePath(name));
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(*text) != text->size() || !file.commit())
        return Problem(QStringLiteral("Cannot write ") + name + QStringLiteral(": ") + file.errorString());
    return {};
}

Problem folderProblem(const QString &directory)
{
    const QFileInfo folder(directory);
    if (!folder.exists())
        return Problem(QStringLiteral("Cannot write the tables in ") + directory + QStringLiteral(": no such folder"));
    if (!folder.isDir())
        return Problem(QStringLiteral("Cannot write the tables in ") + directory + QStringLiteral(": not a folder"));
    return {};
}

} // namespace LookupTables
