#pragma once

#include "terminal/CommandLine.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Records of one kind (a device found by a scan, a device's load) listed as the command's
// --format asks: a table for people, or for scripts one CSV line or JSON object each, under
// the same field names. The one writer of every command's results.
class RecordList {
public:
    using Fields = std::vector<std::pair<QString, QJsonValue>>;

    // tableHeading is the table's first line (none when empty); the CSV heading is the
    // field names of the records.
    RecordList(ScanOptions::Format format, QString tableHeading, QStringList fieldNames);

    // A record: its line in the table, and its fields in the order of the field names.
    void add(const QString &tableLine, const Fields &fields);
    QString text() const;

private:
    ScanOptions::Format m_format;
    QStringList m_fieldNames;
    QString m_text;
    QJsonArray m_records;
};
