#pragma once

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

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

// What a row of a log still tells of its message: the time it shows and the bytes from
// the address to the last parameter (the check byte is not in the row).
struct LoggedRow {
    double seconds = 0;
    std::vector<std::uint8_t> bytes;
};

// A row's time field, read as written whatever the reader's locale ("0.003", "0,003",
// "1.234,500"); nothing when it is not a time.
std::optional<double> rowSeconds(const QString &field);
// A log line read back as a row; nothing when the line is not a row.
std::optional<LoggedRow> readRow(const QString &line);

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

// A log being played back, read a piece at a time, so memory does not grow with the file.
// What is not a monitor log is refused at the open: a file holding binary data (a NUL byte
// in its first piece) or whose first line does not start with a row's time ("0.000").
// Control characters in a line are shown escaped ("\x1B"); a line longer than
// MaxLineLength is cut there.
class LogReader {
public:
    static constexpr qsizetype MaxLineLength = 4096;

    LogReader() = default;
    ~LogReader();
    LogReader(const LogReader &) = delete;
    LogReader &operator=(const LogReader &) = delete;

    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // Why the last open failed, or why the file stopped reading.
    QString errorString() const { return m_error; }
    bool atEnd() const { return !m_pending.has_value(); }
    // The next line, leading blanks skipped.
    QString next();

private:
    std::optional<QByteArray> readLine();
    bool fill();
    void readAhead();

    int m_fd = -1;
    QByteArray m_buffer;
    qsizetype m_at = 0;
    bool m_eof = false;
    std::optional<QString> m_pending;
    QString m_error;
};
