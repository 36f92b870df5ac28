#pragma once

#include "engines/flash/LoadEvents.h"
#include "terminal/TerminalProgress.h"

// What a load (the download engine, the serial loader) tells, shown on a terminal: the
// status texts with a progress bar on standard error. Results come from the loads'
// outcomes, not from here.
class TerminalLoad final : public LoadEvents {
public:
    void status(const QString &text, Tone) override
    {
        m_status = text;
        m_progress.show(text, m_done, m_total);
    }
    void loadStatus(int code) override;
    void progress(int done, int total) override
    {
        m_done = done;
        m_total = total;
        m_progress.show(m_status, m_done, m_total);
    }
    void finished() override { m_progress.finish(); }
    // Ends the progress line, so that what follows starts on a line of its own.
    void endProgressLine() { m_progress.finish(); }

private:
    int m_done = 0;
    int m_total = 100;
    QString m_status;
    TerminalProgress m_progress{stderr};
};
