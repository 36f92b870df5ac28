#include "engines/flash/LoadFileConversion.h"

#include "engines/flash/BlockSenders.h"
#include "engines/flash/SRecord.h"

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
// A firmware file cut into its three download files, or why it cannot be.
struct LoadFiles {
    Outcome outcome = Outcome::Written;
    QStringList a, b, c;
};

LoadFiles split(const QString &loadFileName)
{
    LoadFiles files;
    const auto input = RecordFile::readLines(loadFileName);
    if (!input) {
        files.outcome = Outcome::FileError;
        return files;
    }

    // Section 1 starts with the first line; every later S0 line opens the next section.
    QList<QStringList> sections;
    for (qsizetype i = 0; i < input->size(); ++i) {
        const QString line = field(input->at(i));
        if (i == 0 || SRecord::opensSection(line))
            sections.append(QStringList());
        sections.last().append(line);
    }

    if (sections.size() >= 2)
        files.a = sections[1];
    else if (!input->isEmpty())
        files.a = {field(input->last())}; // no second section: the last line read is all there is
    if (sections.size() < 4) {
        files.outcome = Outcome::ImproperFormat;
        return files;
    }
    files.b = sections[2] + QStringList{QStringLiteral("S8")};
    for (qsizetype s = 3; s < sections.size(); ++s)
        files.c += sections[s];
    files.c.append(QStringLiteral("S8"));
    // A firmware file whose images hold no data would load nothing and still verify.
    const bool textSent = files.b.size() >= MinimumTextFileLines;
    if (!SRecord::holdsData(files.a) && !(textSent && SRecord::holdsData(files.b)) && !SRecord::holdsData(files.c)) {
        files.outcome = Outcome::ImproperFormat;
        return files;
    }
    // Every file that will be sent goes out whole, or the device is not started at all.
    for (const QStringList *sent : {&files.a, textSent ? &files.b : nullptr, &files.c}) {
        if (sent && !DeviceBlockSender::sendsWhole(*sent)) {
            files.outcome = Outcome::InvalidRecords;
            return files;
        }
    }
    return files;
}

Outcome writeLoadFiles(const QString &loadFileName, const LoadFiles &files)
{
    const std::pair<char, const QStringList *> written[] = {{'a', &files.a}, {'b', &files.b}, {'c', &files.c}};
    for (const auto &[letter, lines] : written) {
        if (!writeLines(downloadFile(loadFileName, QLatin1Char(letter)), *lines))
            return Outcome::WriteError;
    }
    return Outcome::Written;
}
} // namespace

Outcome checkLoadFiles(const QString &loadFileName)
{
    const LoadFiles files = split(loadFileName);
    if (files.outcome != Outcome::Written)
        return files.outcome;
    const QFileInfo folder(QFileInfo(downloadFile(loadFileName, QLatin1Char('a'))).absolutePath());
    return folder.isDir() && folder.isWritable() ? Outcome::Written : Outcome::WriteError;
}

Outcome createLoadFiles(const QString &loadFileName)
{
    const LoadFiles files = split(loadFileName);
    const Outcome outcome = files.outcome == Outcome::Written ? writeLoadFiles(loadFileName, files) : files.outcome;
    // No download file of an earlier conversion is left to be taken for this one's.
    if (outcome != Outcome::Written) {
        for (const char letter : {'a', 'b', 'c'})
            QFile::remove(downloadFile(loadFileName, QLatin1Char(letter)));
    }
    return outcome;
}

} // namespace LoadFileConversion
