#include "core/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace RegularFile {
namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why a file of this kind is not taken; empty for a regular file.
QString kindProblem(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return systemReason(EISDIR);
    if (S_ISFIFO(mode))
        return QStringLiteral("not a regular file (a pipe)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("not a regular file (a device)");
    if (S_ISSOCK(mode))
        return QStringLiteral("not a regular file (a socket)");
    return QStringLiteral("not a regular file");
}

QString tooLarge(qint64 maxBytes)
{
    return QStringLiteral("larger than ") + QString::number(maxBytes) + QStringLiteral(" bytes");
}

Content refused(const QString &why)
{
    return {std::nullopt, why};
}

} // namespace

int open(const QString &path, QString *why, qint64 maxBytes)
{
    const auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return -1;
    };
    if (path.isEmpty())
        return refuse(QStringLiteral("no file named"));
    const QByteArray name = path.toLocal8Bit();
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return refuse(systemReason(errno));
    if (QString problem = kindProblem(info.st_mode); !problem.isEmpty())
        return refuse(problem);
    if (maxBytes >= 0 && info.st_size > maxBytes)
        return refuse(tooLarge(maxBytes));

    // The name may have been replaced since it was examined: O_NONBLOCK keeps a pipe put
    // there from holding the open, and the open file is examined again.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return refuse(systemReason(errno));
    QString problem;
    if (::fstat(fd, &info) != 0)
        problem = systemReason(errno);
    else
        problem = kindProblem(info.st_mode);
    if (!problem.isEmpty()) {
        ::close(fd);
        return refuse(problem);
    }
    return fd;
}

Content read(const QString &path, qint64 maxBytes)
{
    QString why;
    const int fd = open(path, &why, maxBytes);
    if (fd < 0)
        return refused(why);
    Content content;
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            content = refused(systemReason(errno));
            break;
        }
        if (got == 0) {
            content.bytes = std::move(bytes);
            break;
        }
        if (bytes.size() + got > maxBytes) { // it grew while being read
            content = refused(tooLarge(maxBytes));
            break;
        }
        bytes.append(chunk, static_cast<qsizetype>(got));
    }
    ::close(fd);
    return content;
}

} // namespace RegularFile
