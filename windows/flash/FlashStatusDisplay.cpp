#include "windows/flash/FlashStatusDisplay.h"

#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>

#include <algorithm>

namespace {
// The status line's background for information, errors and success.
QColor background(FlashStatusDisplay::Colour colour)
{
    switch (colour) {
    case FlashStatusDisplay::Colour::Information: return QColor(0xC0, 0xFF, 0xFF);
    case FlashStatusDisplay::Colour::Error: return QColor(0xFF, 0xC0, 0xC0);
    case FlashStatusDisplay::Colour::Success: break;
    }
    return QColor(0xC0, 0xFF, 0xC0);
}
} // namespace

FlashStatusDisplay::Colour FlashStatusDisplay::colourOf(LoadEvents::Tone tone)
{
    switch (tone) {
    case LoadEvents::Tone::Working: return Colour::Information;
    case LoadEvents::Tone::Failed: return Colour::Error;
    case LoadEvents::Tone::Completed: break;
    }
    return Colour::Success;
}

void FlashStatusDisplay::show(const QString &text, Colour colour)
{
    setColour(colour);
    m_line->setText(text);
}

void FlashStatusDisplay::setColour(Colour colour)
{
    QPalette palette = m_line->palette();
    palette.setColor(QPalette::Base, background(colour));
    m_line->setPalette(palette);
}

void FlashStatusDisplay::setProgress(int value, int maximum)
{
    m_bar->setRange(0, std::max(maximum, 0));
    m_bar->setValue(value);
}

void FlashStatusDisplay::clearProgress()
{
    m_bar->setValue(0);
}

void FlashStatusDisplay::stepProgress()
{
    m_bar->setValue(std::min(m_bar->value() + 1, m_bar->maximum()));
}

void FlashStatusDisplay::completeProgress()
{
    m_bar->setValue(m_bar->maximum());
}
