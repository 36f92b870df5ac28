#pragma once

#include <QString>

#include <cstdio>

// Progress on a terminal: one line rewritten in place, a bar and the status text, when
// the stream is a terminal; otherwise a plain line each time the status text changes, so
// a log or a pipe reads cleanly.
class TerminalProgress {
public:
    explicit TerminalProgress(std::FILE *stream);
    ~TerminalProgress() { finish(); }
    TerminalProgress(const TerminalProgress &) = delete;
    TerminalProgress &operator=(const TerminalProgress &) = delete;

    void show(const QString &text, int value, int maximum);
    // Ends the line in place, if one is shown.
    void finish();

private:
    std::FILE *m_stream;
    bool m_terminal;
    bool m_lineOpen = false;
    QString m_lastText;
};
