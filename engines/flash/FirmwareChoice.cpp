#include "engines/flash/FirmwareChoice.h"

#include "core/FolderFiles.h"
#include "core/TextFormat.h"
#include "engines/flash/BlockSenders.h"
#include "engines/flash/LoadFileConversion.h"
#include "engines/flash/LoadStatus.h"
#include "engines/flash/SRecord.h"

#include <algorithm>

namespace FirmwareChoice {

QString pattern(const QString &type)
{
    return QStringLiteral("F") + type + QStringLiteral("-*.hex");
}

QStringList candidates(const QString &type, const QString &folder)
{
    return FolderFiles::matching(pattern(type), folder);
}

QString revisionDigits(const QString &fileName)
{
    const qsizetype dash = fileName.indexOf(QLatin1Char('-'));
    const QString digits = fileName.mid(dash + 1, 4);
    if (dash < 0 || digits.size() != 4 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return {};
    return digits;
}

int revisionOf(const QString &fileName)
{
    const QString digits = revisionDigits(fileName);
    return digits.isEmpty() ? -1 : digits.toInt();
}

Choice choose(const QStringList &candidates, bool takeLatest)
{
    if (candidates.size() == 1)
        return {candidates.first(), false};
    if (!takeLatest)
        return {QString(), true};
    const auto latest = std::max_element(candidates.begin(), candidates.end(), [](const QString &a, const QString &b) {
        return revisionOf(a) < revisionOf(b);
    });
    return {latest == candidates.end() ? QString() : *latest, false};
}

Problem checkWholeFile(const QString &file, bool toDevice)
{
    if (file.isEmpty())
        return Problem(QStringLiteral(" Select File to Load!"));
    // A file without a data record would load nothing and still verify; one with a line
    // that cannot go out would stop the load midway.
    const auto lines = RecordFile::readLines(file);
    if (!lines || !SRecord::holdsData(*lines) ||
        !(toDevice ? DeviceBlockSender::sendsWhole(*lines) : SRecord::check(*lines).sound()))
        return Problem(LoadStatus::text(LoadStatus::InvalidLoadFile));
    return {};
}

namespace {
Problem problemOf(LoadFileConversion::Outcome outcome, const QString &firmwareFile, const QString &type, int address)
{
    switch (outcome) {
    case LoadFileConversion::Outcome::Written: return {};
    case LoadFileConversion::Outcome::InvalidRecords: return Problem(LoadStatus::text(LoadStatus::InvalidLoadFile));
    case LoadFileConversion::Outcome::ImproperFormat: return Problem(QStringLiteral("Improper File Format"));
    case LoadFileConversion::Outcome::FileError:
        return Problem(QStringLiteral("No Loadfile for Device Type = ") + type + QStringLiteral(", Adr ") +
                       TextFormat::numberText(address));
    case LoadFileConversion::Outcome::WriteError:
        return Problem(QStringLiteral("Cannot write the download files in ") +
                       LoadFileConversion::downloadFolder(firmwareFile));
    }
    return {};
}
} // namespace

Problem check(const QString &firmwareFile, const QString &type, int address)
{
    return problemOf(LoadFileConversion::checkLoadFiles(firmwareFile), firmwareFile, type, address);
}

Problem prepare(const QString &firmwareFile, const QString &type, int address)
{
    return problemOf(LoadFileConversion::createLoadFiles(firmwareFile), firmwareFile, type, address);
}

} // namespace FirmwareChoice
