#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reads a file whole only when it is a regular file of bounded size, so that a pipe, a
// device or a runaway file is refused at once instead of blocking or filling memory.
namespace RegularFile {

struct Content {
    std::optional<QByteArray> bytes; // nothing when the file was refused
    QString why;                     // the reason it was refused
};

// A regular file opened for reading (its descriptor, to be closed by the caller), checked
// as read() checks it; -1 and the reason when it cannot be taken. A negative maxBytes sets
// no limit, for a file read a piece at a time.
int open(const QString &path, QString *why, qint64 maxBytes = -1);

// The whole file, or the reason it cannot be taken. Never blocks: the file is examined
// before it is opened, and opened without waiting for a writer.
Content read(const QString &path, qint64 maxBytes);

} // namespace RegularFile
