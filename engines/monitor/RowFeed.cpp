#include "engines/monitor/RowFeed.h"

#include "engines/monitor/CaptureCycle.h"
#include "engines/monitor/MonitorRows.h"

RowFeed::RowFeed(CaptureCycle &cycle, const QLocale &locale, QObject *parent) : QObject(parent), m_locale(locale)
{
    connect(&cycle, &CaptureCycle::captured, this, &RowFeed::take);
    connect(&cycle, &CaptureCycle::playedBack, this, &RowFeed::row);
}

void RowFeed::take(const ModuleRecord &record, const RecordTime &time)
{
    const QString text =
        MonitorRows::text(record.bytes, record.count, MonitorRows::timeText(time.rowSeconds, m_locale));
    emit row(text);
    if (m_log.isOpen() && !m_log.writeRow(text)) {
        const QString error = m_log.errorString();
        m_log.close();
        emit logWriteFailed(error);
    }
}
