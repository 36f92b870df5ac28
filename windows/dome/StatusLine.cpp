#include "windows/dome/StatusLine.h"

#include "core/FormTimer.h"
#include "engines/dome/DomeTexts.h"

#include <QLineEdit>

StatusLine::StatusLine(QLineEdit *line, FormTimer *timer, std::function<int()> camera, QObject *parent)
    : QObject(parent), m_line(line), m_timer(timer), m_camera(std::move(camera))
{
    m_timer->setInterval(MessageMs);
    m_timer->setSingleShot(true);
    connect(m_timer, &FormTimer::timeout, this, &StatusLine::timerFired);
}

void StatusLine::displayMessage(const QString &text)
{
    m_timer->setEnabled(false);
    m_line->setAlignment(Qt::AlignCenter);
    m_line->setText(text);
    m_timer->setEnabled(true);
}

void StatusLine::showNumber(const QString &digits)
{
    m_timer->setEnabled(false);
    m_line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_line->setText(digits);
}

void StatusLine::showUntimed(const QString &text)
{
    m_line->setText(text);
}

void StatusLine::stopTimer()
{
    m_timer->setEnabled(false);
}

void StatusLine::startTimer()
{
    m_timer->setEnabled(true);
}

void StatusLine::timerFired()
{
    m_timer->setEnabled(false);
    m_line->setAlignment(Qt::AlignCenter);
    m_line->setText(DomeTexts::camera(m_camera()));
}
