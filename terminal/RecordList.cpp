#include "terminal/RecordList.h"

#include "core/TextFormat.h"

#include <QJsonDocument>
#include <QJsonObject>

RecordList::RecordList(ScanOptions::Format format, QString tableHeading, QStringList fieldNames)
    : m_format(format), m_fieldNames(std::move(fieldNames))
{
    if (m_format == ScanOptions::Format::Table)
        m_text = std::move(tableHeading);
    else if (m_format == ScanOptions::Format::Csv)
        m_text = m_fieldNames.join(QLatin1Char(',')) + QLatin1Char('\n');
}

void RecordList::add(const QString &tableLine, const Fields &fields)
{
    switch (m_format) {
    case ScanOptions::Format::Table: m_text += tableLine; break;
    case ScanOptions::Format::Csv: {
        QStringList line;
        for (const QJsonValue &value : fields)
            line << (value.isDouble() ? QString::number(value.toInt()) : TextFormat::csvField(value.toString()));
        m_text += line.join(QLatin1Char(',')) + QLatin1Char('\n');
        break;
    }
    case ScanOptions::Format::Json: {
        QJsonObject record;
        for (qsizetype i = 0; i < m_fieldNames.size() && i < static_cast<qsizetype>(fields.size()); ++i)
            record.insert(m_fieldNames[i], fields[static_cast<std::size_t>(i)]);
        m_records.append(record);
        break;
    }
    }
}

QString RecordList::text() const
{
    if (m_format == ScanOptions::Format::Json)
        return QString::fromUtf8(QJsonDocument(m_records).toJson(QJsonDocument::Indented));
    return m_text;
}
