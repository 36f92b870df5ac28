#include "FirmwareChoice.h"

#include "FolderFiles.h"
#include "LoadFileConversion.h"
#include "LoadStatus.h"
#include "SRecord.h"
#include "TextFormat.h"

namespace FirmwareChoice {

QString pattern(const QString &type)
{
    return QStringLiteral("F") + type + QStringLiteral("-*.hex");
}

QStringList candidates(const QString &type)
{
    return FolderFiles::matching(pattern(type));
}

Choice choose(const QStringList &candidates, bool takeFirst)
{
    if (candidates.size() == 1 || takeFirst)
        return {candidates.isEmpty() ? QString() : candidates.first(), false};
    return {QString(), true};
}

QString checkWholeFile(const QString &file)
{
    if (file.isEmpty())
        return QStringLiteral(" Select File to Load!");
    // A file without a data record would load nothing and still verify.
    const auto lines = RecordFile::readLines(file);
    if (!lines || !SRecord::holdsData(*lines))
        return LoadStatus::text(LoadStatus::InvalidLoadFile);
    return {};
}

QString prepare(const QString &firmwareFile, const QString &type, int address)
{
    switch (LoadFileConversion::createLoadFiles(firmwareFile)) {
    case LoadFileConversion::Outcome::Written: return {};
    case LoadFileConversion::Outcome::ImproperFormat: return QStringLiteral("Improper File Format");
    case LoadFileConversion::Outcome::FileError:
        return QStringLiteral("No Loadfile for Device Type = ") + type + QStringLiteral(", Adr ") +
               TextFormat::numberText(address);
    case LoadFileConversion::Outcome::WriteError:
        return QStringLiteral("Cannot write the download files in ") +
               LoadFileConversion::downloadFolder(firmwareFile);
    }
    return {};
}

} // namespace FirmwareChoice
