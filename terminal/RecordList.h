#pragma once

#include "terminal/CommandLine.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <vector>

// Records of one kind (a device found by a scan, a device's load) listed as the command's
// --format asks: a table for people, or for scripts one CSV line or JSON object each, under
// the same field names. The one writer of every command's results.
class RecordList {
public:
    using Fields = std::vector<QJsonValue>;

    // tableHeading is the table's first line (none when empty); the field names head the
    // CSV and name each record's fields in JSON.
    RecordList(ScanOptions::Format format, QString tableHeading, QStringList fieldNames);

    // A record: its line in the table, and its fields' values in the order of the names.
    void add(const QString &tableLine, const Fields &fields);
    QString text() const;

private:
    ScanOptions::Format m_format;
    QStringList m_fieldNames;
    QString m_text;
    QJsonArray m_records;
};
