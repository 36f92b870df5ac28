#include "LoadFileConversion.h"

#include "SRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace LoadFileConversion {
namespace {

// A line as the input channel reads one field: blanks around it dropped, cut at a comma.
QString field(const QString &line)
{
    return line.section(QLatin1Char(','), 0, 0).trimmed();
}

bool writeLines(const QString &path, const QStringList &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text;
    for (const QString &line : lines)
        text += line.toLatin1() + "\r\n";
    return file.write(text) == text.size() && file.flush();
}

} // namespace

QString base(const QString &loadFileName)
{
    const qsizetype slash = loadFileName.lastIndexOf(QLatin1Char('/'));
    return loadFileName.left(slash + 1) + loadFileName.mid(slash + 1, 10);
}

QString downloadFile(const QString &loadFileName, QChar letter)
{
    return base(loadFileName) + letter + QStringLiteral(".dwn");
}

QString downloadFolder(const QString &loadFileName)
{
    return QDir::toNativeSeparators(QFileInfo(downloadFile(loadFileName, QLatin1Char('a'))).absolutePath());
}

bool textFileIsSent(const QString &path)
{
    const auto lines = RecordFile::readLines(path);
    return lines && lines->size() >= MinimumTextFileLines;
}

namespace {
Outcome writeLoadFiles(const QString &loadFileName);
}

Outcome createLoadFiles(const QString &loadFileName)
{
    const Outcome outcome = writeLoadFiles(loadFileName);
    if (outcome != Outcome::Written) {
        for (const char letter : {'a', 'b', 'c'})
            QFile::remove(downloadFile(loadFileName, QLatin1Char(letter)));
    }
    return outcome;
}

namespace {
Outcome writeLoadFiles(const QString &loadFileName)
{
    const auto input = RecordFile::readLines(loadFileName);
    if (!input)
        return Outcome::FileError;

    // Section 1 starts with the first line; every later S0 line opens the next section.
    QList<QStringList> sections;
    for (qsizetype i = 0; i < input->size(); ++i) {
        const QString line = field(input->at(i));
        if (i == 0 || SRecord::opensSection(line))
            sections.append(QStringList());
        sections.last().append(line);
    }

    QStringList aLines;
    if (sections.size() >= 2)
        aLines = sections[1];
    else if (!input->isEmpty())
        aLines = {field(input->last())}; // no second section: the last line read is all there is
    if (!writeLines(downloadFile(loadFileName, QLatin1Char('a')), aLines))
        return Outcome::WriteError;
    const QStringList bLines = sections.size() >= 3 ? sections[2] + QStringList{QStringLiteral("S8")} : QStringList();
    if (sections.size() >= 3 && !writeLines(downloadFile(loadFileName, QLatin1Char('b')), bLines))
        return Outcome::WriteError;
    if (sections.size() < 4)
        return Outcome::ImproperFormat;

    QStringList cLines;
    for (qsizetype s = 3; s < sections.size(); ++s)
        cLines += sections[s];
    cLines.append(QStringLiteral("S8"));
    if (!writeLines(downloadFile(loadFileName, QLatin1Char('c')), cLines))
        return Outcome::WriteError;
    // A firmware file whose images hold no data would load nothing and still verify.
    const bool textSent = bLines.size() >= MinimumTextFileLines;
    if (!SRecord::holdsData(aLines) && !(textSent && SRecord::holdsData(bLines)) && !SRecord::holdsData(cLines))
        return Outcome::ImproperFormat;
    return Outcome::Written;
}
} // namespace

} // namespace LoadFileConversion
