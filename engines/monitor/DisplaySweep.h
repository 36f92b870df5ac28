#pragma once

#include <QString>

// The monitor's 25-line display: it fills from the top, then sweeps new lines from the
// top down over the old ones with one blank line between the newest and the oldest.
class DisplaySweep {
public:
    static constexpr int Lines = 25;

    // Shows a line unless paused.
    void show(const QString &line);
    // Empties the display; the next line is the first of a fresh fill.
    void clear();
    // The state right after the window opens.
    void reset();

    void setPaused(bool paused) { m_paused = paused; }
    bool paused() const { return m_paused; }
    // The display's text, lines ended by CR LF.
    const QString &text() const { return m_display; }
    void setText(const QString &text) { m_display = text; }

private:
    static QString withoutFirstLine(const QString &buffer);

    QString m_display;
    QString m_current;
    QString m_previous;
    int m_shown = 1;
    int m_sweep = 1;
    bool m_paused = false;
};
