#pragma once

#include "engines/monitor/MonitorLog.h"

#include <QLocale>
#include <QObject>
#include <QString>

class CaptureCycle;
struct ModuleRecord;
struct RecordTime;

// The monitor's rows as a face shows them: each record the capture tells of becomes its
// row, its time in the face's number format, and goes to the log when one is open; a line
// played back is shown as the log holds it.
class RowFeed final : public QObject {
    Q_OBJECT
public:
    RowFeed(CaptureCycle &cycle, const QLocale &locale, QObject *parent);

    // The log every row of the live runs is written to until it closes; false (with the
    // reason in logError) when it cannot be created.
    bool openLog(const QString &path) { return m_log.create(path); }
    QString logError() const { return m_log.errorString(); }
    void closeLog() { m_log.close(); }

signals:
    void row(const QString &text);
    // A row could not be written to the log; the log is closed, the capture goes on.
    void logWriteFailed(const QString &error);

private:
    void take(const ModuleRecord &record, const RecordTime &time);

    QLocale m_locale;
    LogWriter m_log;
};
