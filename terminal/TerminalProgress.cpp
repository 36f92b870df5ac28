#include "terminal/TerminalProgress.h"

#include "terminal/CommandSignals.h"

#include <cerrno>

#include <unistd.h>

#include <algorithm>

namespace {
constexpr int BarWidth = 30;

// Progress whose reader has gone (a pipe closed) ends the command as an interrupt does.
void told(int written)
{
    if (written < 0 && errno == EPIPE)
        InterruptCatcher::outputClosed();
}
} // namespace

TerminalProgress::TerminalProgress(std::FILE *stream) : m_stream(stream), m_terminal(isatty(fileno(stream)) == 1) {}

void TerminalProgress::show(const QString &text, int value, int maximum)
{
    if (!m_terminal) {
        if (text != m_lastText && !text.isEmpty())
            told(std::fprintf(m_stream, "%s\n", qPrintable(text)));
        m_lastText = text;
        return;
    }
    const int filled = maximum > 0 ? BarWidth * std::clamp(value, 0, maximum) / maximum : 0;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('.'));
    const int percent = maximum > 0 ? 100 * std::clamp(value, 0, maximum) / maximum : 0;
    told(std::fprintf(m_stream, "\r\033[K[%s] %3d%% %s", qPrintable(bar), percent, qPrintable(text)));
    std::fflush(m_stream);
    m_lineOpen = true;
    m_lastText = text;
}

void TerminalProgress::finish()
{
    if (m_lineOpen)
        std::fputc('\n', m_stream);
    m_lineOpen = false;
}
