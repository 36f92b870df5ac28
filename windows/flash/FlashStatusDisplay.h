#pragma once

#include "engines/flash/LoadEvents.h"

class QLineEdit;
class QProgressBar;
class QString;

// The flash loader's status line and progress bar: what a load, a scan or the link says,
// on the background of what kind of news it is, and how far the work has come.
class FlashStatusDisplay {
public:
    // The line's background: information, an error, a success.
    enum class Colour { Information, Error, Success };
    // What a load's status text says decides its background.
    static Colour colourOf(LoadEvents::Tone tone);

    FlashStatusDisplay(QLineEdit *line, QProgressBar *bar) : m_line(line), m_bar(bar) {}

    void show(const QString &text, Colour colour);
    // The background alone, the text kept.
    void setColour(Colour colour);

    void setProgress(int value, int maximum);
    void clearProgress();
    // One step further, never past the end.
    void stepProgress();
    void completeProgress();

private:
    QLineEdit *m_line;
    QProgressBar *m_bar;
};
