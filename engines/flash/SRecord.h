#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// Motorola S-record lines as the loaders read them.
namespace SRecord {

// One hexadecimal digit: "0"-"9" and upper-case "A"-"F" only; -1 for anything else.
int digit(QChar c);

struct Record {
    QChar type;       // '0' header, '1' or '2' data, '8' or '9' end
    long address = 0; // 16-bit (S1) or 24-bit (S2)
    std::vector<std::uint8_t> data;

    bool isHeader() const { return type == QLatin1Char('0'); }
    bool isData() const { return type == QLatin1Char('1') || type == QLatin1Char('2'); }
    bool isEnd() const { return type == QLatin1Char('8') || type == QLatin1Char('9'); }
    long count() const { return static_cast<long>(data.size()); }
};

// A line's record, or nothing (and why) when the line is malformed: not an S-record, a
// digit that is not upper-case hexadecimal, a count that does not match the line, or a
// wrong checksum. A bare "S8" (the end line the conversion appends) is an end record.
std::optional<Record> parse(const QString &line, QString *why = nullptr);

// True for an S0 line (the second character is "0").
bool opensSection(const QString &line);

// True when at least one line is a well-formed data record.
bool holdsData(const QStringList &lines);

// Whether a file can be sent as it is: every line blank or a record, at least one of
// them data. Blank lines are passed over wherever they stand.
struct FileCheck {
    int badLine = 0; // the first line, counted from 1, that is neither blank nor a record
    QString reason;  // what is wrong with it
    bool holdsData = false;
    bool sound() const { return badLine == 0 && holdsData; }
};
FileCheck check(const QStringList &lines);

// The addresses a file's data covers: from its first data record to the last byte of its
// last (the line after a leading header, the line before a trailing end record).
struct Range {
    long first = 0;
    long last = 0;
};
Range addressRange(const QStringList &lines);

// What a target holds once every data record is written, later records over earlier
// ones: its lowest and highest address and the sum of every byte between, unwritten
// bytes counting 0xFF (modulo 2^32).
struct Image {
    long first = 0;
    long last = -1;
    std::uint32_t checksum = 0;
    bool empty() const { return last < first; }
};
Image image(const QStringList &lines);

// The largest firmware file the loaders read. A board's whole 0xF0000-byte flash written
// one byte per S2 record, each line 16 characters with its CR LF, takes 15 MiB; twice
// that leaves room for headers, blank lines and long line ends, and stops a runaway file
// long before it fills memory.
constexpr qint64 MaxFileBytes = 32 * 1024 * 1024;

} // namespace SRecord

// A text file's lines, read one after another as the loaders' input channel does.
class RecordFile {
public:
    // Reads the whole file; CR LF, LF and CR line ends all work. False when it cannot be read.
    bool open(const QString &path);
    // Lines read before, to be gone through as a file's.
    void open(const QStringList &lines);
    void close();
    bool isOpen() const { return m_open; }

    // The line read last.
    const QString &current() const { return m_current; }
    bool atEnd() const { return m_next >= m_lines.size(); }
    // How many lines have been read.
    qsizetype position() const { return m_next; }
    // Reads the next line into current(); false at the end.
    bool readNext();
    // Takes the current record as used: reads the next line, or leaves nothing current.
    void consume();
    // No data record is left to send: none is current and none follows.
    bool exhausted() const;
    qsizetype lineCount() const { return m_lines.size(); }
    const QStringList &lines() const { return m_lines; }

    // The lines of a regular file of at most SRecord::MaxFileBytes; nothing (and why) otherwise.
    static std::optional<QStringList> readLines(const QString &path, QString *why = nullptr);

private:
    QStringList m_lines;
    qsizetype m_next = 0;
    QString m_current;
    bool m_open = false;
};
