#include "terminal/TerminalOutput.h"

#include "terminal/CommandSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace TerminalOutput {
namespace {
bool s_outputClosed = false;
}

void holdClosedStreams()
{
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor is this one.
        if (::open("/dev/null", O_RDWR) == stream && stream == STDOUT_FILENO)
            s_outputClosed = true;
    }
}

bool write(const QString &text)
{
    const char *why = nullptr;
    if (s_outputClosed) {
        why = "standard output is closed";
    } else {
        const QByteArray bytes = text.toLocal8Bit();
        errno = 0;
        const bool written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) ==
                                 static_cast<std::size_t>(bytes.size()) &&
                             std::fflush(stdout) == 0 && !std::ferror(stdout);
        if (!written)
            why = errno ? std::strerror(errno) : "the output failed";
        if (!written && errno == EPIPE)
            InterruptCatcher::outputClosed();
    }
    if (why)
        std::fprintf(stderr, "Cannot write the results: %s\n", why);
    return !why;
}

} // namespace TerminalOutput
