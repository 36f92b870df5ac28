#pragma once

#include <QDate>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

// ".mon" log files: rows written one per CR LF line, and played back line by line
// (CR LF, LF or CR alone ending a line).
namespace MonitorLog {

inline const QString DirectoryPrefix = QStringLiteral("./");

// "DL" + date part + "_" + time part + ".mon", the parts taken from the regional short
// date and time texts with their separators removed (12/05/2004 gives 1205, 10:23:45 AM
// gives 102345).
QString defaultName(const QString &dateText, const QString &timeText, const QDate &today);

// A played-back line with its "." moved to column 4 (blanks put in front).
QString aligned(const QString &field);

} // namespace MonitorLog

// The log being written during a capture.
class LogWriter {
public:
    bool create(const QString &path);
    // False when the row could not be written (no log open, a full disk, a failing device).
    bool writeRow(const QString &row);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

private:
    QFile m_file;
};

// A log being played back.
class LogReader {
public:
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_open; }
    // Why the last open failed.
    QString errorString() const { return m_error; }
    bool atEnd() const { return m_next >= m_lines.size(); }
    // The next line, leading blanks skipped.
    QString next();

private:
    QStringList m_lines;
    QString m_error;
    qsizetype m_next = 0;
    bool m_open = false;
};
