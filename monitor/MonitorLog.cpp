#include "MonitorLog.h"

#include "RegularFile.h"
#include "TextFormat.h"

#include <QDate>

namespace MonitorLog {

QString defaultName(const QString &dateText, const QString &timeText, const QDate &today)
{
    QString date = dateText;
    const auto slashes = date.count(QLatin1Char('/'));
    if (slashes == 2) {
        date.remove(QLatin1Char('/'));
        date.chop(std::min<qsizetype>(6 - slashes, date.size()));
    } else {
        // A regional date without slashes: month and day, as the slash form gives them.
        date = today.toString(QStringLiteral("MMdd"));
    }
    QString time = timeText;
    time.remove(QLatin1Char(':'));
    // Drop what follows the digits ("AM", "PM", a zone) but keep every digit, so a
    // 24-hour clock keeps its seconds too and two logs of one minute get two names.
    while (!time.isEmpty() && !time.back().isDigit())
        time.chop(1);
    return QStringLiteral("DL") + date + QLatin1Char('_') + time + QStringLiteral(".mon");
}

QString aligned(const QString &field)
{
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    const qsizetype column = dot < 0 ? field.size() + 1 : dot + 1;
    return column < 4 ? QString(4 - column, QLatin1Char(' ')) + field : field;
}

} // namespace MonitorLog

bool LogWriter::create(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

bool LogWriter::writeRow(const QString &row)
{
    if (!m_file.isOpen())
        return false;
    const QByteArray line = row.toLatin1() + "\r\n";
    return m_file.write(line) == line.size() && m_file.flush();
}

bool LogReader::open(const QString &path)
{
    close();
    // A log plays a line every 25 ms: 64 MiB of rows of about 80 characters is some
    // 800 000 lines, over five hours of playback; anything larger is not a log.
    constexpr qint64 MaxLogBytes = 64 * 1024 * 1024;
    const RegularFile::Content content = RegularFile::read(path, MaxLogBytes);
    if (!content.bytes) {
        m_error = content.why;
        return false;
    }
    m_lines = TextFormat::lines(*content.bytes);
    m_open = true;
    return true;
}

void LogReader::close()
{
    m_lines.clear();
    m_next = 0;
    m_open = false;
}

QString LogReader::next()
{
    if (atEnd())
        return {};
    QString line = m_lines[m_next++];
    qsizetype blanks = 0;
    while (blanks < line.size() && line[blanks] == QLatin1Char(' '))
        ++blanks;
    return line.mid(blanks);
}
